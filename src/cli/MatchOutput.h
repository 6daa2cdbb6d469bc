#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/MatchedLines.h"

namespace quillery {

// The marks of grep's default colours (GREP_COLORS' defaults): matches, file names, line
// numbers and separators.
struct OutputColors {
    bool on = false;
    const char* match = "01;31";
    const char* path = "35";
    const char* number = "32";
    const char* separator = "36";
};

// The columns a shown line keeps at most, cut around its first hit.
constexpr std::uint32_t kShownLineUnits = 240;

// Where a matched line came from, as the output names it.
struct LinePlace {
    const std::string* archive;  // the file on disk, its path's bytes
    const EntryLines* entry;
    // What each term (a hit's term) is called: the search's terms, or the audit strings.
    const std::vector<QString>* terms;
    bool audit = false;  // an audit run: the lines say which audit strings they hold
};

// One line of --matches: "ARCHIVE:ENTRY:LINE:TEXT" ("ARCHIVE:INNER:ENTRY:..." for an entry of
// an inner archive; in an audit run the audit strings found, quoted, before TEXT), the text
// with tabs and control characters shown as ^I, ^A ..., cut to kShownLineUnits around its
// first hit, hits marked when colors are on. Ends with a line end.
std::string MatchesLine(const LinePlace& place, const MatchedLine& line,
                        const OutputColors& colors);

// One line of --count: "ARCHIVE:N".
std::string CountLine(const std::string& archive, std::uint64_t lines, const OutputColors& colors);

// One JSON object (one line) for each hit of line: archive, inner (null for the file
// itself), entry, line number, the line's byte offset in the entry, the line's text, the
// hit's start and end (UTF-8 byte positions in text) and the term (the audit string in an
// audit run).
std::string JsonHits(const LinePlace& place, const MatchedLine& line);

// The closing JSON object: the archives checked and matched, the matching entries, lines and
// hits.
std::string JsonSummary(std::uint64_t checked, std::uint64_t matched, std::uint64_t entries,
                        std::uint64_t lines, std::uint64_t hits);

// A JSON string of text (bytes that are not UTF-8 become U+FFFD).
std::string JsonString(std::string_view bytes);

}  // namespace quillery
