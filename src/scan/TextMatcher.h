#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scan/ByteSearch.h"
#include "scan/QueryMatcher.h"
#include "scan/SearchExpression.h"
#include "scan/TermSet.h"
#include "text/TermRule.h"

namespace quillery {

// A search expression prepared for matching texts that arrive as bytes in pieces
// (MatchStream). Built once per run and shared by every text of the run.
class TextMatcher {
  public:
    explicit TextMatcher(SearchExpression expression);

    const SearchExpression& expression() const { return expression_; }
    // What the expression requires of a text, and how that is tested (the index tests it
    // the same way).
    const TermRule& rule() const { return rule_; }

    // Every term is ASCII: texts are matched on their bytes without decoding them.
    bool asciiTerms() const { return rule_.asciiLiterals(); }
    // Some term holds 'I' or 'S', which the UTF-8 letters dotless i and long s upper-case to.
    bool termsNeedUtf8Letters() const { return termsNeedUtf8Letters_; }
    const std::vector<std::string>& byteTerms() const { return byteTerms_; }
    // The byte terms prepared for searching raw bytes without regard to ASCII case (none
    // when byteSet() is there).
    const std::vector<FoldedTerm>& foldedTerms() const { return foldedTerms_; }
    const std::vector<std::u16string>& wideTerms() const { return wideTerms_; }
    // With many terms (the audit strings), all of them in one structure that finds them in
    // one pass; null otherwise, and then each term is looked for by itself.
    const TermSet<char>* byteSet() const { return byteSet_.get(); }
    const TermSet<char16_t>* wideSet() const { return wideSet_.get(); }
    bool hasEmptyTerm() const { return rule_.hasEmptyLiteral(); }
    // The length of the longest term, in bytes for byteTerms and UTF-16 units for wideTerms.
    std::size_t longestTerm() const { return longestTerm_; }

    // A search read as an expression or compared with the options of one (case as written,
    // whole words) is matched by this instead, line by line; the literal parts above then
    // mean nothing (and the index is not asked).
    const QueryMatcher* query() const { return query_.get(); }
    void setQuery(std::shared_ptr<const QueryMatcher> query) { query_ = std::move(query); }

  private:
    SearchExpression expression_;
    TermRule rule_;
    bool termsNeedUtf8Letters_ = false;
    std::vector<std::string> byteTerms_;
    std::vector<FoldedTerm> foldedTerms_;
    std::vector<std::u16string> wideTerms_;
    std::shared_ptr<const TermSet<char>> byteSet_;
    std::shared_ptr<const TermSet<char16_t>> wideSet_;
    std::size_t longestTerm_ = 0;
    std::shared_ptr<const QueryMatcher> query_;
};

}  // namespace quillery
