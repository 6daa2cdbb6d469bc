#include "results/TextDecode.h"

#include "results/Utf8Decoder.h"

namespace quillery {

QString DecodeText(std::string_view bytes, ByteCodePage page) {
    std::u16string utf16;
    utf16.reserve(bytes.size());
    Utf8Decoder decoder;
    if (decoder.feed(bytes.data(), bytes.size(), &utf16) && decoder.finish()) {
        return QString::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size()));
    }
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        *out++ = ByteToChar(static_cast<unsigned char>(c), page);
    }
    return text;
}

}  // namespace quillery
