#pragma once

#include <QString>
#include <string_view>

#include "text/CodePage.h"

namespace quillery {

// The text of a file's bytes: UTF-8 when the bytes are valid UTF-8 (a leading byte-order
// mark dropped), otherwise one character per byte in the given character set.
QString DecodeText(std::string_view bytes, ByteCodePage page);

}  // namespace quillery
