#include "archive/NamePattern.h"

#include <QChar>
#include <QList>
#include <QString>

namespace quillery {

namespace {

// The code points of a UTF-8 string; invalid bytes become U+FFFD.
QList<uint> CodePoints(std::string_view text, bool upper) {
    QList<uint> points =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUcs4();
    if (upper) {
        for (uint& point : points) {
            point = QChar::toUpper(point);
        }
    }
    return points;
}

}  // namespace

bool MatchNamePattern(std::string_view pattern, std::string_view name, bool ignoreCase) {
    const QList<uint> pat = CodePoints(pattern, ignoreCase);
    const QList<uint> str = CodePoints(name, ignoreCase);

    // Greedy matching: on a mismatch, let the most recent '*' swallow one more character and
    // retry from just after it. Earlier stars never need revisiting, so the work is bounded
    // by the product of the two lengths.
    qsizetype p = 0;
    qsizetype s = 0;
    qsizetype star = -1;  // position of the last '*' seen in the pattern
    qsizetype mark = 0;   // position in the name where that '*' started matching
    while (s < str.size()) {
        if (p < pat.size() && pat[p] == U'*') {
            star = p++;
            mark = s;
        } else if (p < pat.size() && (pat[p] == U'?' || pat[p] == str[s])) {
            ++p;
            ++s;
        } else if (star >= 0) {
            p = star + 1;
            s = ++mark;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == U'*') {
        ++p;
    }
    return p == pat.size();
}

}  // namespace quillery
