#include "scan/TextMatcher.h"

#include <algorithm>

namespace quillery {

namespace {

// From this many terms on, one pass over the text for all of them beats one pass each.
constexpr std::size_t kTermSetFrom = 8;

}  // namespace

TextMatcher::TextMatcher(SearchExpression expression)
    : expression_(std::move(expression)), rule_(RequiredLiteralsOf(expression_)) {
    for (const QString& term : expression_.terms) {
        for (const QChar c : term) {
            if (c == u'I' || c == u'S') {
                termsNeedUtf8Letters_ = true;
            }
        }
        wideTerms_.emplace_back(reinterpret_cast<const char16_t*>(term.utf16()),
                                static_cast<std::size_t>(term.size()));
        longestTerm_ = std::max(longestTerm_, static_cast<std::size_t>(term.size()));
    }
    const bool manyTerms = expression_.terms.size() >= kTermSetFrom;
    if (asciiTerms()) {
        byteTerms_.reserve(expression_.terms.size());
        for (const QString& term : expression_.terms) {
            byteTerms_.push_back(term.toLatin1().toStdString());
            if (!manyTerms) {
                foldedTerms_.emplace_back(byteTerms_.back());
            }
        }
    }
    if (manyTerms) {
        if (asciiTerms()) {
            byteSet_ = std::make_shared<const TermSet<char>>(byteTerms_);
        } else {
            wideSet_ = std::make_shared<const TermSet<char16_t>>(wideTerms_);
        }
    }
}

}  // namespace quillery
