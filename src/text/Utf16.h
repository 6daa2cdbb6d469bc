#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillery {

// The byte order a text's first two bytes announce with a UTF-16 byte-order mark (FF FE:
// little-endian, FE FF: big-endian); nullopt when they are no such mark.
enum class Utf16Order { Little, Big };
std::optional<Utf16Order> Utf16MarkOf(std::string_view head);

// Turns UTF-16 that arrives in pieces of any size into UTF-8. Units that do not form a
// character (a lone surrogate, an odd byte at the end) become U+FFFD, so the output is
// always valid UTF-8.
class Utf16ToUtf8 {
  public:
    explicit Utf16ToUtf8(Utf16Order order) : big_(order == Utf16Order::Big) {}

    void feed(const char* data, std::size_t size, std::string& out);
    // Ends the input; whatever is left over becomes U+FFFD.
    void finish(std::string& out);

  private:
    void unit(char16_t u, std::string& out);

    bool big_;
    int oddByte_ = -1;   // the first byte of a unit whose second has not come yet
    char16_t high_ = 0;  // a high surrogate waiting for its low half
};

// Reads a text that arrives in pieces the way every reader of entry texts must read it alike:
// when its first two bytes are a UTF-16 byte-order mark, the text goes on as UTF-8 without
// the mark; otherwise unchanged. text(const char*, std::size_t) receives each piece.
class Utf16MarkFront {
  public:
    template <class Text>
    void feed(const char* data, std::size_t size, Text&& text) {
        if (!markChecked_) {
            while (markLength_ < 2 && size > 0) {
                mark_[markLength_++] = *data++;
                --size;
            }
            if (markLength_ < 2) {
                return;
            }
            markChecked_ = true;
            if (const auto order = Utf16MarkOf(std::string_view(mark_.data(), 2))) {
                utf16_.emplace(*order);
            } else {
                text(mark_.data(), std::size_t{2});
            }
        }
        if (size == 0) {
            return;
        }
        if (!utf16_) {
            text(data, size);
            return;
        }
        converted_.clear();
        utf16_->feed(data, size, converted_);
        text(converted_.data(), converted_.size());
    }
    // Ends the text: a text shorter than two bytes goes on as it is.
    template <class Text>
    void finish(Text&& text) {
        if (!markChecked_) {
            markChecked_ = true;
            text(mark_.data(), markLength_);
        } else if (utf16_) {
            converted_.clear();
            utf16_->finish(converted_);
            text(converted_.data(), converted_.size());
        }
    }

  private:
    std::array<char, 2> mark_{};
    std::size_t markLength_ = 0;
    bool markChecked_ = false;
    std::optional<Utf16ToUtf8> utf16_;
    std::string converted_;
};

}  // namespace quillery
