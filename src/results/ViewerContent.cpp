#include "results/ViewerContent.h"

#include <QStringList>
#include <QStringMatcher>
#include <algorithm>

#include "text/TextCase.h"

namespace quillery {

std::vector<QString> ViewerTerms(const QString& searchString) {
    const QString s = UpperSimple(TrimBlanks(QStringView(searchString)));
    QStringList pieces;
    if (s.contains(QStringLiteral("||"))) {
        pieces = s.split(QStringLiteral("||"));
    } else if (s.contains(QStringLiteral("&&"))) {
        pieces = s.split(QStringLiteral("&&"));
    } else {
        pieces = {s};
    }
    std::vector<QString> terms;
    for (const QString& piece : pieces) {
        QString term = TrimBlanks(piece);
        if (!term.isEmpty()) {
            terms.push_back(std::move(term));
        }
    }
    return terms;
}

QString BoxLineBreaks(const QString& text) {
    const auto special = [](char16_t c) {
        return c == u'\r' || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
    };
    const auto* in = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    if (std::none_of(in, in + n, special)) {
        return text;
    }
    QString out(n, Qt::Uninitialized);
    auto* dst = reinterpret_cast<char16_t*>(out.data());
    qsizetype length = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c == u'\r') {
            if (i + 1 < n && in[i + 1] == u'\n') {
                ++i;
            }
            dst[length++] = u'\n';
        } else if (c == 0x2029) {
            dst[length++] = u'\n';
        } else if (c == 0xFDD0 || c == 0xFDD1) {
            dst[length++] = 0xFFFD;
        } else {
            dst[length++] = c;
        }
    }
    out.truncate(length);
    return out;
}

std::vector<ViewerContent::Mark> TermMarks(const QString& text, const QString& searchString) {
    std::vector<ViewerContent::Mark> marks;
    const QString upper = UpperSimple(text);
    for (const QString& term : ViewerTerms(searchString)) {
        const QStringMatcher matcher(term);
        for (qsizetype at = matcher.indexIn(upper); at >= 0; at = matcher.indexIn(upper, at + 1)) {
            marks.push_back({at, term.size()});
        }
    }
    return marks;
}

ViewerContent BuildViewerContent(const std::vector<ViewerFile>& files,
                                 const MarkFinder& findMarks) {
    ViewerContent content;
    QString& text = content.text;
    qsizetype total = 0;
    for (const ViewerFile& file : files) {
        total += 2 * (file.name.size() + 12) + file.text.size() + 2;
    }
    text.reserve(total);
    for (const ViewerFile& file : files) {
        const QString header = QStringLiteral("FileName - ") + UpperSimple(file.name);
        text += header;
        text += QLatin1Char('\n');
        text += QString(header.size(), QLatin1Char('='));
        text += QLatin1Char('\n');
        const QStringView body = TrimBlanks(QStringView(file.text));
        if (!body.isEmpty()) {
            text += BoxLineBreaks(body.size() == file.text.size() ? file.text : body.toString());
            text += QStringLiteral("\n\n");
        }
    }

    content.marks = findMarks(text);
    content.matchPositions.reserve(content.marks.size());
    for (const ViewerContent::Mark& mark : content.marks) {
        content.matchPositions.push_back(mark.start);
    }
    std::sort(content.matchPositions.begin(), content.matchPositions.end());
    content.caret = content.matchPositions.empty() ? 0 : content.matchPositions.front();
    return content;
}

ViewerContent BuildViewerContent(const std::vector<ViewerFile>& files,
                                 const QString& searchString) {
    return BuildViewerContent(
        files, [&searchString](const QString& text) { return TermMarks(text, searchString); });
}

}  // namespace quillery
