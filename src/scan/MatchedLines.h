#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/QueryMatcher.h"
#include "text/CodePage.h"

namespace quillery {

// A term's occurrence in a line's text: where it is (UTF-16 units) and which term it is.
struct LineHit {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint32_t term = 0;
    bool operator==(const LineHit&) const = default;
};

// A line of an entry's text that holds at least one term.
struct MatchedLine {
    std::uint64_t number = 0;      // counted from 1
    std::uint64_t byteOffset = 0;  // of the line's start, in the entry's bytes
    QString text;                  // decoded, without its line break (see CutAroundHits)
    std::vector<LineHit> hits;     // in text order
    bool operator==(const MatchedLine&) const = default;
};

// The matched lines of one entry.
struct EntryLines {
    // The inner archive the entry is in, as a path of entry names below the file on disk
    // ("" for an entry of the file itself).
    std::string inner;
    std::string entry;  // the entry's name in its archive
    std::vector<MatchedLine> lines;
    bool operator==(const EntryLines&) const = default;
};

// The text of a line longer than most units: most units around its first hit, with "…"
// where something was cut off (the hits moved along, those outside left out).
void CutAroundHits(MatchedLine& line, std::uint32_t most);

// The lines of an entry's bytes that hold one of terms (upper-cased, as a search expression
// holds them; empty ones are left out), decoded as the viewer decodes the entry (DecodeText
// with page) and compared as the search compares (upper-cased). Lines end at LF, CR LF or a
// lone CR. Each line is cut to kMostLineUnits around its first hit.
std::vector<MatchedLine> MatchedLines(std::string_view bytes, ByteCodePage page,
                                      const std::vector<QString>& terms);
// The same for an expression: the hits of every term that is not negated.
std::vector<MatchedLine> MatchedLines(std::string_view bytes, ByteCodePage page,
                                      const QueryMatcher& query);
constexpr std::uint32_t kMostLineUnits = 4096;

}  // namespace quillery
