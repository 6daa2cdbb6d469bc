#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillery {

// Decodes UTF-8 that arrives in pieces, or only checks it. Overlong forms, surrogates and
// code points above U+10FFFF are invalid; once the input is invalid the decoder stays so and
// ignores further input. A byte-order mark at the very start is dropped.
class Utf8Decoder {
  public:
    // Appends the UTF-16 form of the bytes to out (when out is not null). Returns valid().
    bool feed(const char* data, std::size_t size, std::u16string* out);
    // Ends the input: a sequence left incomplete makes it invalid. Returns valid().
    bool finish();
    bool valid() const { return !invalid_; }

  private:
    void append(char32_t cp, std::u16string* out);

    char32_t cp_ = 0;
    char32_t min_ = 0;
    int need_ = 0;
    bool invalid_ = false;
    bool started_ = false;
};

}  // namespace quillery
