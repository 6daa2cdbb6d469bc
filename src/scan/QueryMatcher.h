#pragma once

#include <QString>
#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "scan/QueryExpression.h"
#include "scan/QueryPrefilter.h"

namespace re2 {
class RE2;
}

namespace quillery {

// Why searchString, read as an expression, cannot be searched for ("... at character N:
// reason", counted from 1), or an empty text when it can.
QString ExpressionProblem(const QString& searchString);

// How an expression's terms compare.
struct QueryOptions {
    bool matchCase = false;   // else without regard to case (Unicode's simple case folding)
    bool wholeWords = false;  // a term matches only between word boundaries
    bool operator==(const QueryOptions&) const = default;
};

// An expression with its terms compiled (RE2: linear in the text, whatever the pattern), to
// test entries' text line by line. Text is UTF-8.
class QueryMatcher {
  public:
    // The matcher of a search string; a QueryError where it is not an expression or one of
    // its terms is not a regular expression (at: the term's place).
    static std::variant<QueryMatcher, QueryError> Make(const QString& searchString,
                                                       QueryOptions options);
    // The matcher of a search string read as the plain search reads it (a phrase, or terms
    // joined by "&&" or by "||", "&&" first), its terms literal: for the options without the
    // expression language.
    static std::variant<QueryMatcher, QueryError> MakeLiteral(const QString& searchString,
                                                              QueryOptions options);
    QueryMatcher(QueryMatcher&&) noexcept;
    QueryMatcher& operator=(QueryMatcher&&) noexcept;
    ~QueryMatcher();

    const Query& query() const { return query_; }
    // Term's compiled pattern (its pattern and options, as they are matched).
    const re2::RE2& compiled(std::size_t term) const { return *terms_.at(term); }
    // Whether term occurs in line (one line, without its line break).
    bool termInLine(std::size_t term, std::string_view line) const;
    // Whether term occurs in one of lines, each cut at kMostLineBytes and joined by LF: the
    // same as termInLine for each, for a term that is not lineByLine.
    bool termInLines(std::size_t term, std::string_view lines) const;
    // Marks, one per term, the terms that may occur in lines (as for termInLines): every one
    // that does, and perhaps others.
    void termsMayOccurIn(std::string_view lines, std::vector<char>& mayOccur) const {
        prefilter_->termsIn(lines, mayOccur);
    }
    // The literal atoms of the terms, shared with whoever keeps them beyond the matcher.
    std::shared_ptr<const QueryPrefilter> prefilter() const { return prefilter_; }
    // Whether term must be looked for in each line alone (it anchors at the text's ends).
    bool lineByLine(std::size_t term) const { return lineByLine_.at(term) != 0; }
    // Each place where term occurs in line, as byte ranges (start, end), in order.
    std::vector<std::pair<std::size_t, std::size_t>> hitsInLine(std::size_t term,
                                                                std::string_view line) const;
    // Whether the expression holds for text: each term looked for in every line (lines end
    // at LF, CR LF or a lone CR; a line is looked at up to kMostLineBytes).
    bool holds(std::string_view text) const;

    static constexpr std::size_t kMostLineBytes = std::size_t{1} << 20;

  private:
    QueryMatcher() = default;
    static std::variant<QueryMatcher, QueryError> Compiled(Query query, QueryOptions options);

    Query query_;
    std::vector<std::unique_ptr<re2::RE2>> terms_;  // each with the term as group 1
    std::vector<char> lineByLine_;                  // per term
    std::shared_ptr<const QueryPrefilter> prefilter_;
};

}  // namespace quillery
