#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "scan/QueryStream.h"
#include "scan/TextMatcher.h"
#include "text/CodePage.h"
#include "text/NonBlankText.h"
#include "text/Utf16.h"
#include "text/Utf8Decoder.h"

namespace quillery {

// Tests one text, arriving as bytes in pieces of any size, against a TextMatcher, with
// memory bounded by the longest term, whatever the text's length. The result is exactly
// that of decoding the whole text with DecodeText (UTF-16 by its mark, else UTF-8 when
// valid, else the byte character set), upper-casing and trimming it and testing it with
// ExpressionMatchesText. A UTF-16 text is turned into UTF-8 on the way in, as DecodeText
// does, and is then tested as that.
//
// ASCII terms are matched on the bytes: ASCII bytes decode to themselves in every case and
// no other character of the byte sets upper-cases to ASCII, so only the UTF-8 letters
// dotless i and long s (which upper-case to I and S) need a second view of the bytes, and
// only while the text may still be valid UTF-8. Other terms are matched on the decoded text,
// in both readings at once until the UTF-8 one turns out invalid.
class MatchStream {
  public:
    MatchStream(const TextMatcher& matcher, ByteCodePage page);
    ~MatchStream();
    MatchStream(const MatchStream&) = delete;
    MatchStream& operator=(const MatchStream&) = delete;

    void feed(const char* data, std::size_t size);
    // True once the result can only be a match, however the text goes on.
    bool decided() const { return decided_; }
    // Ends the text and returns whether it matched.
    bool finish();

  private:
    template <class CharT>
    struct Branch {
        std::basic_string<CharT> window;  // the kept tail of the text, then the new piece
        std::vector<char> found;
    };
    using ByteBranch = Branch<char>;
    using WideBranch = Branch<char16_t>;

    // The bytes as they come, before the check for a UTF-16 mark.
    void feedText(const char* data, std::size_t size);
    bool evaluate(const std::vector<char>& found) const;
    void scanBytes(ByteBranch& branch, std::size_t keep);
    void scanWide(WideBranch& branch);
    void scanPlain(const char* data, std::size_t size);
    void feedBytes(const char* data, std::size_t size);
    void feedWide(const char* data, std::size_t size);
    bool hasLetterPair(const unsigned char* p, std::size_t n) const;
    void updateDecided();

    const TextMatcher& matcher_;
    std::unique_ptr<QueryStream> query_;  // for a matcher with a query: it does everything
    std::size_t keep_ = 0;

    // Whether the trimmed text is non-empty, so that empty terms are contained.
    NonBlankText content_;

    bool decided_ = false;
    bool finished_ = false;
    bool result_ = false;

    // Byte matching: the plain view, and the UTF-8 view made when a letter pair turns up.
    // With few terms the plain view's window holds the unconverted tail of the text, with
    // many terms (TermSet) an upper-cased copy; the UTF-8 view's is always upper-cased.
    ByteBranch plain_;
    std::string junction_;
    std::unique_ptr<ByteBranch> utf8Letters_;
    unsigned char lastByte_ = 0;

    // Decoded matching: the byte character set's reading and the UTF-8 reading.
    std::array<char16_t, 256> upperByteTable_{};
    WideBranch bytes8_;
    std::unique_ptr<WideBranch> utf8_;
    std::u16string decoded_;

    Utf8Decoder validator_;
    bool checkUtf8_ = false;

    Utf16MarkFront front_;
};

}  // namespace quillery
