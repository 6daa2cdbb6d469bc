#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "text/TermRule.h"

namespace quillery {

// A search as the matcher applies it to one text. Terms are upper-cased; an empty term is
// contained in every non-empty text.
struct SearchExpression {
    enum class Kind {
        Phrase,  // the one term must be contained
        AllOf,   // every term must be contained ("&&")
        AnyOf,   // one term suffices ("||", and the audit strings)
    };
    Kind kind = Kind::Phrase;
    std::vector<QString> terms;

    bool operator==(const SearchExpression&) const = default;
};

// The search string read as an expression: upper-cased and trimmed of blanks; with "&&"
// an AllOf list, else with "||" an AnyOf list (terms trimmed, empty pieces kept), else the
// whole string as one phrase. "&&" binds first: "||" inside an AND term is ordinary text.
SearchExpression ParseSearchExpression(const QString& searchString);

// The audit strings as an AnyOf list, each upper-cased as it stands.
SearchExpression AuditExpression(const QStringList& auditStrings);

// What the expression requires of a text: its terms, all of them (AllOf) or any (Phrase and
// AnyOf).
RequiredLiterals RequiredLiteralsOf(const SearchExpression& expression);

// Whether text contains the expression: text is upper-cased and trimmed, then every term
// is looked for as a contiguous run of characters.
bool ExpressionMatchesText(const SearchExpression& expression, const QString& text);

}  // namespace quillery
