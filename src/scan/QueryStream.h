#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "scan/QueryMatcher.h"
#include "text/CodePage.h"
#include "text/Utf16.h"

namespace quillery {

// Tests an entry's text against an expression as it arrives in pieces of any size: the
// unfinished last line of a piece is carried into the next one, and a line longer than
// QueryMatcher::kMostLineBytes is looked at up to there. The text is read as every reader of
// entry texts reads it (a UTF-16 mark turns the rest into UTF-8); each line is then taken as
// UTF-8 when it is valid UTF-8, else as one character per byte in page. The text is taken in
// blocks of whole lines; a block none of whose bytes hold the literal atoms some term needs is
// not split into lines at all (an atom is ASCII, and the bytes that are not ASCII read as
// characters that are not either, whatever the reading). The lines of other blocks are
// searched together, joined by LF, which is what a search of each line alone finds.
class QueryStream {
  public:
    QueryStream(const QueryMatcher& matcher, ByteCodePage page);

    void feed(const char* data, std::size_t size);
    // Ends the text and returns whether the expression holds for it.
    bool finish();

  private:
    void text(const char* data, std::size_t size);
    // Takes the first size bytes of raw_ as a block: skipped when it ends at the end of a
    // line (whole) and no term not found yet may occur in it, else split into lines and
    // searched.
    void block(std::size_t size, bool whole);
    void splitLines(const char* data, std::size_t size);
    void endLine();
    // Looks for the terms not found yet in the lines gathered so far, then lets them go.
    void searchLines();

    const QueryMatcher& matcher_;
    const ByteCodePage page_;
    Utf16MarkFront front_;
    std::string raw_;             // text not taken as a block yet
    std::size_t lastEnd_ = 0;     // raw_ up to here ends with a line end (0: none)
    std::vector<char> mayOccur_;  // per term, in the block being taken
    std::string line_;            // the line so far, up to the most kept
    std::string lines_;           // the lines read since the last search, as UTF-8, joined by LF
    bool haveLines_ = false;      // lines_ holds a line (perhaps an empty one)
    bool afterCr_ = false;        // the last byte ended a line with CR (an LF next belongs to it)
    bool firstLine_ = true;
    std::vector<char> found_;
    std::size_t left_ = 0;  // terms not found yet
};

}  // namespace quillery
