// A search string and a text: when the index's summary of the text rules the search out, the
// matcher fed the same text must not match it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "index/IndexQuery.h"
#include "index/TextSummary.h"
#include "scan/AuditFile.h"
#include "scan/MatchStream.h"
#include "scan/SearchExpression.h"
#include "scan/TextMatcher.h"
#include "text/TextDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    // First byte: piece size and character set; then the search string (UTF-8, else 1252) up
    // to a NUL byte; the rest is the text.
    const std::size_t piece = 1 + data[0] % 16;
    const auto page =
        (data[0] & 0x80) ? quillery::ByteCodePage::Cp437 : quillery::ByteCodePage::Windows1252;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = rest.find('\0');
    if (split == std::string::npos) {
        return 0;
    }
    const std::string searchBytes = rest.substr(0, split);
    const QString utf8 = QString::fromUtf8(searchBytes);
    const QString search = utf8.toUtf8() == QByteArray::fromStdString(searchBytes)
                               ? utf8
                               : quillery::DecodeText(searchBytes, page);
    const std::string text = rest.substr(split + 1);

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
        const quillery::IndexQuery query(expression.kind == quillery::SearchExpression::Kind::AllOf,
                                         expression.terms);
        if (query.entryCannotMatch(summarizer.finish(true)) && stream.finish()) {
            std::abort();
        }
    }
    return 0;
}
