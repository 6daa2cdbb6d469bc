#include "text/TextDecode.h"

#include <string>

#include "text/Utf16.h"
#include "text/Utf8Decoder.h"

namespace quillery {

QString DecodeText(std::string_view bytes, ByteCodePage page) {
    if (const auto order = Utf16MarkOf(bytes)) {
        // Read as UTF-8 of the same characters, so that every reader of texts (the matcher
        // that streams them too) sees exactly the same characters.
        Utf16ToUtf8 convert(*order);
        std::string utf8;
        utf8.reserve(bytes.size() * 3 / 2);
        convert.feed(bytes.data() + 2, bytes.size() - 2, utf8);
        convert.finish(utf8);
        return DecodeText(utf8, page);
    }
    Utf8Decoder check;
    if (check.feed(bytes.data(), bytes.size(), nullptr) && check.finish()) {
        // Valid UTF-8: Qt's decoder gives the same characters, faster; the mark is dropped.
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            bytes.remove_prefix(3);
        }
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        *out++ = ByteToChar(static_cast<unsigned char>(c), page);
    }
    return text;
}

}  // namespace quillery
