// A search string and a text: the matcher fed in pieces must agree with the whole text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scan/AuditFile.h"
#include "scan/MatchStream.h"
#include "scan/SearchExpression.h"
#include "scan/TextMatcher.h"
#include "text/TextDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    // First byte: piece size and character set; then the search string up to a NUL byte,
    // the rest is the text.
    const std::size_t piece = 1 + data[0] % 16;
    const auto page =
        (data[0] & 0x80) ? quillery::ByteCodePage::Cp437 : quillery::ByteCodePage::Windows1252;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = rest.find('\0');
    if (split == std::string::npos) {
        return 0;
    }
    const QString search =
        quillery::DecodeText(rest.substr(0, split), quillery::ByteCodePage::Windows1252);
    const std::string text = rest.substr(split + 1);

    for (const bool audit : {false, true}) {
        const quillery::SearchExpression expression =
            audit ? quillery::AuditExpression(quillery::ParseAuditStrings(search.toUtf8()))
                  : quillery::ParseSearchExpression(search);
        const quillery::TextMatcher matcher(expression);
        quillery::MatchStream stream(matcher, page);
        for (std::size_t at = 0; at < text.size(); at += piece) {
            stream.feed(text.data() + at, std::min(piece, text.size() - at));
        }
        const bool streamed = stream.finish();
        const bool whole =
            quillery::ExpressionMatchesText(expression, quillery::DecodeText(text, page));
        if (streamed != whole) {
            std::abort();
        }
    }
    return 0;
}
