#include "scan/QueryMarks.h"

#include <string>
#include <string_view>
#include <variant>

namespace quillery {

namespace {

void MarkShown(const QueryNode& node, bool negated, std::vector<char>& shown) {
    if (node.kind == QueryNode::Kind::Term) {
        if (!negated && node.term < shown.size()) {
            shown[node.term] = 1;
        }
        return;
    }
    for (const QueryNode& operand : node.operands) {
        MarkShown(operand, negated != (node.kind == QueryNode::Kind::Not), shown);
    }
}

// A line in UTF-8, as the matcher reads it, and for each of its bytes the UTF-16 unit of the
// line where that byte's character starts, with one entry more for the line's end. A
// surrogate without its partner is read as U+FFFD.
void EncodeLine(QStringView line, std::string& bytes, std::vector<qsizetype>& unitOf) {
    bytes.clear();
    unitOf.clear();
    for (qsizetype i = 0; i < line.size(); ++i) {
        const qsizetype start = i;
        char32_t c = line[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < line.size() && line[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(line[i], line[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = QChar::ReplacementCharacter;
        }
        std::size_t n = 0;
        char encoded[4];
        if (c < 0x80) {
            encoded[n++] = static_cast<char>(c);
        } else if (c < 0x800) {
            encoded[n++] = static_cast<char>(0xC0 | (c >> 6));
            encoded[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            encoded[n++] = static_cast<char>(0xE0 | (c >> 12));
            encoded[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            encoded[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            encoded[n++] = static_cast<char>(0xF0 | (c >> 18));
            encoded[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            encoded[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            encoded[n++] = static_cast<char>(0x80 | (c & 0x3F));
        }
        bytes.append(encoded, n);
        unitOf.insert(unitOf.end(), n, start);
    }
    unitOf.push_back(line.size());
}

}  // namespace

std::vector<char> ShownTerms(const Query& query) {
    std::vector<char> shown(query.terms.size(), 0);
    MarkShown(query.root, false, shown);
    return shown;
}

std::vector<ViewerContent::Mark> QueryMarks(const QString& text, const QueryMatcher& matcher) {
    const std::vector<char> shown = ShownTerms(matcher.query());
    std::vector<std::vector<ViewerContent::Mark>> byTerm(shown.size());
    std::string bytes;
    std::vector<qsizetype> unitOf;
    const QStringView all(text);
    qsizetype at = 0;
    while (at < all.size()) {
        qsizetype end = all.indexOf(u'\n', at);
        if (end < 0) {
            end = all.size();
        }
        EncodeLine(all.sliced(at, end - at), bytes, unitOf);
        for (std::size_t t = 0; t < shown.size(); ++t) {
            if (shown[t] == 0) {
                continue;
            }
            for (const auto& [from, to] : matcher.hitsInLine(t, std::string_view(bytes))) {
                byTerm[t].push_back({at + unitOf[from], unitOf[to] - unitOf[from]});
            }
        }
        at = end + 1;
    }
    std::vector<ViewerContent::Mark> marks;
    for (std::vector<ViewerContent::Mark>& term : byTerm) {
        marks.insert(marks.end(), term.begin(), term.end());
    }
    return marks;
}

ViewerContent ViewerContentFor(const std::vector<ViewerFile>& files, const QString& searchString,
                               bool expressions, QueryOptions options) {
    if (!expressions && options == QueryOptions{}) {
        return BuildViewerContent(files, searchString);
    }
    const std::variant<QueryMatcher, QueryError> made =
        expressions ? QueryMatcher::Make(searchString, options)
                    : QueryMatcher::MakeLiteral(searchString, options);
    const auto* matcher = std::get_if<QueryMatcher>(&made);
    return BuildViewerContent(files, [matcher](const QString& text) {
        return matcher != nullptr ? QueryMarks(text, *matcher) : std::vector<ViewerContent::Mark>{};
    });
}

}  // namespace quillery
