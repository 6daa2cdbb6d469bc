#pragma once

#include <QString>
#include <cstddef>
#include <variant>
#include <vector>

namespace quillery {

// A search string read as an expression: terms joined by "&&" (all must occur in an entry)
// and "||" (one suffices), "!" before a term or group (it must not occur), groups in "( )";
// "&&" binds tighter than "||". A term is a regular expression in RE2's syntax, matched within
// one line, or, in double quotes, a literal phrase ("a && b" finds the text a && b; inside,
// a backslash takes the quote or backslash after it as it is).
struct QueryTerm {
    QString text;  // the pattern, or the phrase without its quotes
    bool literal = false;
    qsizetype at = 0;  // where it starts in the search string, in characters from 0
    bool operator==(const QueryTerm&) const = default;
};

struct QueryNode {
    enum class Kind { Term, All, Any, Not };
    Kind kind = Kind::Term;
    std::size_t term = 0;             // Term: its place in Query::terms
    std::vector<QueryNode> operands;  // All and Any: two or more; Not: one
    bool operator==(const QueryNode&) const = default;
};

struct Query {
    std::vector<QueryTerm> terms;
    QueryNode root;
};

// Where a search string stops being an expression, and why.
struct QueryError {
    qsizetype at = 0;
    QString message;
    bool operator==(const QueryError&) const = default;
};

// The search string as an expression. A "(" opens a group when what it encloses is an
// expression followed by an operator, a ")" or the end; otherwise it belongs to a regular
// expression ("(a+)+$" is one term).
std::variant<Query, QueryError> ParseQuery(const QString& text);

// Whether node holds for an entry in which the terms marked in found occur.
bool QueryHolds(const QueryNode& node, const std::vector<char>& found);

// Whether node may come out as wanted (true: hold) for an entry in which only the terms marked
// in mayOccur may occur, each of them possibly missing too. It errs only towards "may".
bool QueryMayHold(const QueryNode& node, const std::vector<char>& mayOccur, bool wanted = true);

// The expression written back, each group and negation in parentheses and each term as
// /pattern/ or "phrase": for messages and tests.
QString DescribeQuery(const Query& query);

}  // namespace quillery
