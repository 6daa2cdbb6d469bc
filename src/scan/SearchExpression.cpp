#include "scan/SearchExpression.h"

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

RequiredLiterals RequiredLiteralsOf(const SearchExpression& expression) {
    const bool allOf = expression.kind == SearchExpression::Kind::AllOf;
    return {allOf ? RequiredLiterals::Join::AllOf : RequiredLiterals::Join::AnyOf,
            expression.terms};
}

bool ExpressionMatchesText(const SearchExpression& expression, const QString& text) {
    const QString upper = UpperSimple(TrimBlanks(QStringView(text)));
    const std::vector<QString>& terms = expression.terms;
    return TermRule(RequiredLiteralsOf(expression))
        .holds([&](std::size_t i) { return upper.contains(terms[i]); }, !upper.isEmpty());
}

}  // namespace quillery
