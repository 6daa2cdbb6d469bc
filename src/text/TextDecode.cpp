#include "text/TextDecode.h"

#include "text/Utf8Decoder.h"

namespace quillery {

QString DecodeText(std::string_view bytes, ByteCodePage page) {
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
