// The input of the fuzz targets that feed a search and a text to the matcher: the first byte
// gives the piece size and the character set, then come the search string's bytes up to a
// NUL byte, and the rest is the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "text/CodePage.h"

struct SearchAndText {
    std::size_t piece = 1;
    quillery::ByteCodePage page = quillery::ByteCodePage::Windows1252;
    std::string searchBytes;
    std::string text;
};

// Nothing when the input is too short or has no NUL byte after its first.
inline std::optional<SearchAndText> ReadSearchAndText(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return std::nullopt;
    }
    SearchAndText input;
    input.piece = 1 + data[0] % 16;
    input.page =
        (data[0] & 0x80) ? quillery::ByteCodePage::Cp437 : quillery::ByteCodePage::Windows1252;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = rest.find('\0');
    if (split == std::string::npos) {
        return std::nullopt;
    }
    input.searchBytes = rest.substr(0, split);
    input.text = rest.substr(split + 1);
    return input;
}
