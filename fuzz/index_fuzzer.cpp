// A search string and a text: when the index's summary of the text rules the search out, the
// matcher fed the same text must not match it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "SearchAndText.h"
#include "index/IndexQuery.h"
#include "index/TextSummary.h"
#include "scan/AuditFile.h"
#include "scan/MatchStream.h"
#include "scan/SearchExpression.h"
#include "scan/TextMatcher.h"
#include "text/TextDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The search string is read as UTF-8 when it is that, else in the text's character set.
    const std::optional<SearchAndText> input = ReadSearchAndText(data, size);
    if (!input) {
        return 0;
    }
    const auto& [piece, page, searchBytes, text] = *input;
    const QString utf8 = QString::fromUtf8(searchBytes);
    const QString search = utf8.toUtf8() == QByteArray::fromStdString(searchBytes)
                               ? utf8
                               : quillery::DecodeText(searchBytes, page);

    for (const bool audit : {false, true}) {
        const quillery::SearchExpression expression =
            audit ? quillery::AuditExpression(quillery::ParseAuditStrings(search.toUtf8()))
                  : quillery::ParseSearchExpression(search);
        const quillery::TextMatcher matcher(expression);
        quillery::MatchStream stream(matcher, page);
        quillery::TextSummarizer summarizer(page, (data[0] & 0x40) ? text.size() : 0);
        for (std::size_t at = 0; at < text.size(); at += piece) {
            const std::size_t n = std::min(piece, text.size() - at);
            stream.feed(text.data() + at, n);
            summarizer.feed(text.data() + at, n);
        }
        const quillery::IndexQuery query(quillery::RequiredLiteralsOf(expression));
        if (query.entryCannotMatch(summarizer.finish(true)) && stream.finish()) {
            std::abort();
        }
    }
    return 0;
}
