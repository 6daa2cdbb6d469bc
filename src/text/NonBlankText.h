#pragma once

#include <array>
#include <cstddef>

namespace quillery {

// Tells whether a text that arrives in pieces holds more than blanks, as matching counts it:
// a UTF-8 byte-order mark as its first three bytes does not count, and blanks never do. The
// matcher and the index summary both decide it here, so that they always agree.
class NonBlankText {
  public:
    void feed(const unsigned char* p, std::size_t n);
    // At the end of the text: one shorter than three bytes is judged by what it holds.
    void finish();
    bool nonBlank() const { return nonBlank_; }

  private:
    bool nonBlank_ = false;
    std::array<unsigned char, 3> head_{};
    std::size_t headLength_ = 0;
};

}  // namespace quillery
