#include "scan/SearchExpression.h"

#include <algorithm>

#include "text/TextCase.h"

namespace quillery {

namespace {

std::vector<QString> SplitTerms(const QString& upper, const QString& separator) {
    std::vector<QString> terms;
    for (const QString& piece : upper.split(separator)) {
        terms.push_back(TrimBlanks(piece));
    }
    return terms;
}

}  // namespace

SearchExpression ParseSearchExpression(const QString& searchString) {
    const QString upper = TrimBlanks(UpperSimple(searchString));
    SearchExpression expression;
    if (upper.contains(QStringLiteral("&&"))) {
        expression.kind = SearchExpression::Kind::AllOf;
        expression.terms = SplitTerms(upper, QStringLiteral("&&"));
    } else if (upper.contains(QStringLiteral("||"))) {
        expression.kind = SearchExpression::Kind::AnyOf;
        expression.terms = SplitTerms(upper, QStringLiteral("||"));
    } else {
        expression.kind = SearchExpression::Kind::Phrase;
        expression.terms.push_back(upper);
    }
    return expression;
}

SearchExpression AuditExpression(const QStringList& auditStrings) {
    SearchExpression expression;
    expression.kind = SearchExpression::Kind::AnyOf;
    for (const QString& line : auditStrings) {
        expression.terms.push_back(UpperSimple(line));
    }
    return expression;
}

bool ExpressionMatchesText(const SearchExpression& expression, const QString& text) {
    const QString upper = UpperSimple(TrimBlanks(QStringView(text)));
    if (upper.isEmpty()) {
        return false;
    }
    const auto contains = [&upper](const QString& term) { return upper.contains(term); };
    switch (expression.kind) {
        case SearchExpression::Kind::AllOf:
            return std::all_of(expression.terms.begin(), expression.terms.end(), contains);
        case SearchExpression::Kind::AnyOf:
        case SearchExpression::Kind::Phrase:
            return std::any_of(expression.terms.begin(), expression.terms.end(), contains);
    }
    return false;
}

}  // namespace quillery
