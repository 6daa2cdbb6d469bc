// A search string and a text: the matcher fed in pieces must agree with the whole text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "SearchAndText.h"
#include "scan/AuditFile.h"
#include "scan/MatchStream.h"
#include "scan/SearchExpression.h"
#include "scan/TextMatcher.h"
#include "text/TextDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<SearchAndText> input = ReadSearchAndText(data, size);
    if (!input) {
        return 0;
    }
    const auto& [piece, page, searchBytes, text] = *input;
    const QString search = quillery::DecodeText(searchBytes, quillery::ByteCodePage::Windows1252);

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
