#pragma once

#include <cstddef>
#include <string>

namespace quillery {

// How common a character of an upper-cased term is in ordinary text, as a rough rank
// (higher is more common): searches anchor on the rarest ones.
int Commonness(char32_t c);

// Upper-cases the ASCII letters of n bytes into out (which may be in); other bytes are copied.
void FoldAscii(const char* in, std::size_t n, char* out);

// One upper-cased term looked for in raw bytes without regard to ASCII letter case: a text
// byte matches a term byte when it is the same byte or, for a letter, its lower-case form.
// No copy of the text is made: the search looks for two of the term's rarest bytes at their
// distances, sixteen positions at a time, and compares the term only where both are present.
class FoldedTerm {
  public:
    explicit FoldedTerm(std::string upperTerm);

    const std::string& text() const { return term_; }
    // Whether the whole term lies within [data, data + size).
    bool foundIn(const char* data, std::size_t size) const;

  private:
    bool matchesAt(const char* at) const;

    std::string term_;
    std::size_t first_ = 0;   // offset of the rarest byte
    std::size_t second_ = 0;  // offset of the next rarest one (first_ for a one-byte term)
};

}  // namespace quillery
