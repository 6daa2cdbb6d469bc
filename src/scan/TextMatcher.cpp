#include "scan/TextMatcher.h"

#include <algorithm>

namespace quillery {

TextMatcher::TextMatcher(SearchExpression expression) : expression_(std::move(expression)) {
    for (const QString& term : expression_.terms) {
        for (const QChar c : term) {
            if (c.unicode() >= 0x80) {
                asciiTerms_ = false;
            }
            if (c == u'I' || c == u'S') {
                termsNeedUtf8Letters_ = true;
            }
        }
        wideTerms_.emplace_back(reinterpret_cast<const char16_t*>(term.utf16()),
                                static_cast<std::size_t>(term.size()));
        longestTerm_ = std::max(longestTerm_, static_cast<std::size_t>(term.size()));
    }
    if (asciiTerms_) {
        for (const QString& term : expression_.terms) {
            byteTerms_.push_back(term.toLatin1().toStdString());
        }
    }
}

}  // namespace quillery
