#include "scan/MatchedLines.h"

#include <QStringMatcher>
#include <algorithm>
#include <functional>

#include "scan/QueryMarks.h"
#include "text/TextCase.h"
#include "text/TextDecode.h"

namespace quillery {

namespace {

constexpr char16_t kEllipsis = u'\u2026';

// How positions in the decoded text map back to the entry's bytes.
enum class Encoding { OneBytePerCharacter, Utf8, Utf16 };

Encoding EncodingOf(std::string_view bytes, const QString& text) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        return Encoding::Utf16;
    }
    // One character per byte, or UTF-8 (where the two differ, UTF-8 has fewer characters).
    return static_cast<std::size_t>(text.size()) == bytes.size() ? Encoding::OneBytePerCharacter
                                                                 : Encoding::Utf8;
}

// The UTF-16 units of well-formed UTF-8: one for each character, two beyond the first plane.
std::size_t Utf16Units(std::string_view utf8) {
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) {
            units += byte >= 0xF0 ? 2 : 1;
        }
    }
    return units;
}

}  // namespace

void CutAroundHits(MatchedLine& line, std::uint32_t most) {
    const auto size = static_cast<std::uint32_t>(line.text.size());
    if (size <= most || most < 3) {
        return;
    }
    const std::uint32_t first = line.hits.empty() ? 0 : line.hits.front().start;
    // A third of the room before the first hit, the rest after it.
    std::uint32_t begin = first > most / 3 ? first - most / 3 : 0;
    begin = std::min(begin, size - most);
    const bool before = begin > 0;
    const std::uint32_t room = most - (before ? 1 : 0);
    const bool after = begin + room < size;
    const std::uint32_t kept = room - (after ? 1 : 0);
    QString text;
    text.reserve(most);
    if (before) {
        text += QChar(kEllipsis);
    }
    text += QStringView(line.text).mid(begin, kept);
    if (after) {
        text += QChar(kEllipsis);
    }
    std::vector<LineHit> hits;
    for (const LineHit& hit : line.hits) {
        if (hit.start >= begin && hit.start + hit.length <= begin + kept) {
            hits.push_back({hit.start - begin + (before ? 1 : 0), hit.length, hit.term});
        }
    }
    line.text = std::move(text);
    line.hits = std::move(hits);
}

namespace {

// Finds the hits of one line (its text, and upper-cased).
using LineHits = std::function<void(QStringView line, std::vector<LineHit>& hits)>;

std::vector<MatchedLine> LinesWithHits(std::string_view bytes, ByteCodePage page,
                                       const LineHits& find) {
    std::vector<MatchedLine> lines;
    const QString text = DecodeText(bytes, page);
    const Encoding encoding = EncodingOf(bytes, text);
    const std::uint64_t mark = encoding == Encoding::Utf16 ? 2
                               : encoding == Encoding::Utf8 && bytes.starts_with("\xEF\xBB\xBF")
                                   ? 3
                                   : 0;
    const QStringView all(text);
    std::uint64_t number = 0;
    std::uint64_t offset = mark;  // of the line's start in bytes
    qsizetype at = 0;
    while (at < all.size()) {
        qsizetype end = at;
        while (end < all.size() && all[end] != u'\n' && all[end] != u'\r') {
            ++end;
        }
        qsizetype next = end;
        if (next < all.size()) {
            next += (all[next] == u'\r' && next + 1 < all.size() && all[next + 1] == u'\n') ? 2 : 1;
        }
        ++number;
        const QStringView line = all.mid(at, end - at);
        MatchedLine found;
        find(line, found.hits);
        if (!found.hits.empty()) {
            std::sort(found.hits.begin(), found.hits.end(), [](const LineHit& a, const LineHit& b) {
                return a.start != b.start ? a.start < b.start : a.term < b.term;
            });
            found.number = number;
            found.byteOffset = offset;
            found.text = line.toString();
            CutAroundHits(found, kMostLineUnits);
            lines.push_back(std::move(found));
        }
        const QStringView passed = all.mid(at, next - at);
        switch (encoding) {
            case Encoding::OneBytePerCharacter:
                offset += static_cast<std::uint64_t>(passed.size());
                break;
            case Encoding::Utf16:
                offset += 2 * static_cast<std::uint64_t>(passed.size());
                break;
            case Encoding::Utf8:
                offset += static_cast<std::uint64_t>(passed.toUtf8().size());
                break;
        }
        at = next;
    }
    return lines;
}

}  // namespace

std::vector<MatchedLine> MatchedLines(std::string_view bytes, ByteCodePage page,
                                      const std::vector<QString>& terms) {
    std::vector<QStringMatcher> matchers;
    std::vector<std::uint32_t> termOf;
    for (std::size_t t = 0; t < terms.size(); ++t) {
        if (!terms[t].isEmpty()) {
            matchers.emplace_back(terms[t]);
            termOf.push_back(static_cast<std::uint32_t>(t));
        }
    }
    return LinesWithHits(bytes, page, [&](QStringView line, std::vector<LineHit>& hits) {
        const QString upper = UpperSimple(line);
        for (std::size_t m = 0; m < matchers.size(); ++m) {
            for (qsizetype hit = matchers[m].indexIn(upper); hit >= 0;
                 hit = matchers[m].indexIn(upper, hit + 1)) {
                hits.push_back({static_cast<std::uint32_t>(hit),
                                static_cast<std::uint32_t>(terms[termOf[m]].size()), termOf[m]});
            }
        }
    });
}

std::vector<MatchedLine> MatchedLines(std::string_view bytes, ByteCodePage page,
                                      const QueryMatcher& query) {
    const std::vector<char> positive = ShownTerms(query.query());
    return LinesWithHits(bytes, page, [&](QStringView line, std::vector<LineHit>& hits) {
        const QByteArray utf8 = line.toUtf8();
        const std::string_view text(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        for (std::size_t t = 0; t < positive.size(); ++t) {
            if (positive[t] == 0) {
                continue;
            }
            // From UTF-8 bytes to the line's UTF-16 units, counted on from the last hit (they
            // come in order): a long line with many hits is gone through once.
            std::size_t byte = 0, unit = 0;
            for (const auto& [start, end] : query.hitsInLine(t, text)) {
                unit += Utf16Units(text.substr(byte, start - byte));
                byte = start;
                hits.push_back(
                    {static_cast<std::uint32_t>(unit),
                     static_cast<std::uint32_t>(Utf16Units(text.substr(start, end - start))),
                     static_cast<std::uint32_t>(t)});
            }
        }
    });
}

}  // namespace quillery
