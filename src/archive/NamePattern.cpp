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

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

char32_t AsciiPoint(char c, bool upper) {
    const auto b = static_cast<unsigned char>(c);
    return upper && b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b;
}

// Greedy matching: on a mismatch, let the most recent '*' swallow one more character and
// retry from just after it. Earlier stars never need revisiting, so the work is bounded by
// the product of the two lengths. point(text, i) gives the i-th code point.
template <class Pattern, class Name>
bool GreedyMatch(const Pattern& pat, qsizetype patSize, const Name& str, qsizetype strSize) {
    qsizetype p = 0;
    qsizetype s = 0;
    qsizetype star = -1;  // position of the last '*' seen in the pattern
    qsizetype mark = 0;   // position in the name where that '*' started matching
    while (s < strSize) {
        if (p < patSize && pat(p) == U'*') {
            star = p++;
            mark = s;
        } else if (p < patSize && (pat(p) == U'?' || pat(p) == str(s))) {
            ++p;
            ++s;
        } else if (star >= 0) {
            p = star + 1;
            s = ++mark;
        } else {
            return false;
        }
    }
    while (p < patSize && pat(p) == U'*') {
        ++p;
    }
    return p == patSize;
}

}  // namespace

bool MatchNamePattern(std::string_view pattern, std::string_view name, bool ignoreCase) {
    if (IsAscii(pattern) && IsAscii(name)) {
        // ASCII characters decode to themselves, and none upper-cases beyond ASCII.
        const auto pat = [&](qsizetype i) {
            return AsciiPoint(pattern[static_cast<std::size_t>(i)], ignoreCase);
        };
        const auto str = [&](qsizetype i) {
            return AsciiPoint(name[static_cast<std::size_t>(i)], ignoreCase);
        };
        return GreedyMatch(pat, static_cast<qsizetype>(pattern.size()), str,
                           static_cast<qsizetype>(name.size()));
    }
    const QList<uint> points = CodePoints(pattern, ignoreCase);
    const QList<uint> text = CodePoints(name, ignoreCase);
    return GreedyMatch([&](qsizetype i) { return static_cast<char32_t>(points[i]); }, points.size(),
                       [&](qsizetype i) { return static_cast<char32_t>(text[i]); }, text.size());
}

}  // namespace quillery
