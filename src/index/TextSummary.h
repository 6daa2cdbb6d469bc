#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "text/CodePage.h"
#include "text/NonBlankText.h"
#include "text/Utf16.h"
#include "text/Utf8Decoder.h"

namespace quillery {

// What the index keeps of one entry's text: enough to prove that a search term cannot occur
// in any reading the matcher may give the text, never enough to prove that one does.
//
// The filter is a bit set of hashed trigrams of 16-bit units, taken from the bytes with
// ASCII letters upper-cased (the reading of ASCII terms, and, through a byte's possible
// characters, of the one-byte character set) and, for a text that is valid UTF-8 and not
// ASCII only, from its decoded, upper-cased characters. A term none of whose trigrams is
// missing from the set may occur; one with a missing trigram cannot.
struct EntrySummary {
    enum Flag : std::uint8_t {
        kComplete = 1,    // the entry inflated completely (else it can never match)
        kNonEmpty = 2,    // the text holds more than blanks (after a byte-order mark)
        kUtf8 = 4,        // the whole text is valid UTF-8: its decoded reading is the one
        kCp437 = 8,       // not UTF-8: its bytes are code page 437 characters (else 1252)
        kHasFilter = 16,  // bits holds the trigram filter; without it nothing is proven
    };
    std::uint8_t flags = 0;
    std::vector<std::uint64_t> bits;  // a power of two of bits, at least 64

    bool has(Flag flag) const { return (flags & flag) != 0; }
    bool operator==(const EntrySummary&) const = default;
};

// An entry's summary where it lies: in an EntrySummary, or in the bytes of an index file
// (the words of the filter in memory order, not necessarily aligned).
struct SummaryView {
    std::uint8_t flags = 0;
    const char* bits = nullptr;
    std::size_t words = 0;

    SummaryView() = default;
    SummaryView(std::uint8_t f, const char* b, std::size_t w) : flags(f), bits(b), words(w) {}
    explicit SummaryView(const EntrySummary& entry)
        : flags(entry.flags),
          bits(reinterpret_cast<const char*>(entry.bits.data())),
          words(entry.bits.size()) {}
    bool has(EntrySummary::Flag flag) const { return (flags & flag) != 0; }
    // Whether bit h of the filter (of words * 64 bits, h taken modulo their count) is set.
    bool bit(std::uint32_t h) const {
        assert(std::has_single_bit(words));  // the mask below takes the low bits of h
        const std::uint32_t at = h & static_cast<std::uint32_t>(words * 64 - 1);
        std::uint64_t word = 0;
        std::memcpy(&word, bits + std::size_t{at >> 6} * 8, sizeof word);
        return ((word >> (at & 63)) & 1) != 0;
    }
};

// The hash of a trigram of units; a bit set of 2^k bits uses its low k bits.
inline std::uint32_t TrigramHash(std::uint64_t units48) {
    return static_cast<std::uint32_t>((units48 * 0x9E3779B97F4A7C15ULL) >> 32);
}

// Builds the summary of one text that arrives in pieces.
class TextSummarizer {
  public:
    // page: the entry's one-byte character set; sizeHint: its expected size in bytes.
    TextSummarizer(ByteCodePage page, std::uint64_t sizeHint);
    ~TextSummarizer();
    TextSummarizer(const TextSummarizer&) = delete;
    TextSummarizer& operator=(const TextSummarizer&) = delete;

    void feed(const char* data, std::size_t size);
    // complete: whether the text arrived whole.
    EntrySummary finish(bool complete);

  private:
    // The text as the matcher reads it: after a UTF-16 byte-order mark, its UTF-8 form.
    void feedText(const char* data, std::size_t size);

    ByteCodePage page_;
    // The working set: the thread's shared one, or own_ while that one is in use.
    std::uint64_t* bits_ = nullptr;
    std::size_t words_ = 0;
    bool sharedWords_ = false;
    std::vector<std::uint64_t> own_;
    std::uint32_t mask_ = 0;
    std::uint64_t byteWindow_ = 0, wideWindow_ = 0, rawWindow_ = 0;
    std::uint64_t bytesSeen_ = 0, wideSeen_ = 0;
    bool nonAscii_ = false;
    NonBlankText content_;
    Utf8Decoder utf8_;
    std::u16string decoded_;
    Utf16MarkFront front_;
};

}  // namespace quillery
