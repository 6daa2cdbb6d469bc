#pragma once

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

}  // namespace quillery
