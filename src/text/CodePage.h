#pragma once

#include <QChar>
#include <string_view>

namespace quillery {

// The one-byte character sets used for text that is not valid UTF-8.
enum class ByteCodePage {
    Cp437,        // .nfo and .diz files: box-drawing art
    Windows1252,  // everything else
};

// Chooses the character set by the file's name: code page 437 for ".nfo" and ".diz"
// (any letter case), Windows-1252 for all others.
ByteCodePage CodePageForName(std::string_view fileName);

// The character a byte stands for. Bytes below 0x80 are ASCII in both sets.
QChar ByteToChar(unsigned char byte, ByteCodePage page);

}  // namespace quillery
