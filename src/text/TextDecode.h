#pragma once

#include <QString>
#include <string_view>

#include "text/CodePage.h"

namespace quillery {

// The text of a file's bytes: UTF-16 in the announced order when they start with a UTF-16
// byte-order mark (the mark dropped, units that form no character as U+FFFD); else UTF-8
// when the bytes are valid UTF-8 (a leading byte-order mark dropped); otherwise one
// character per byte in the given character set.
QString DecodeText(std::string_view bytes, ByteCodePage page);

}  // namespace quillery
