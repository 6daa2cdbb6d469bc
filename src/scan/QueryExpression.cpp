#include "scan/QueryExpression.h"

#include <QStringList>
#include <algorithm>
#include <optional>
#include <utility>

namespace quillery {

namespace {

class Parser {
  public:
    explicit Parser(const QString& text) : text_(text) {}

    std::variant<Query, QueryError> parse() {
        std::optional<QueryNode> root = any();
        if (root && !error_) {
            skipBlanks();
            if (at_ < text_.size()) {
                fail(text_[at_] == u')' ? QStringLiteral("a ')' that closes no '('")
                                        : QStringLiteral("an operator expected"));
            }
        }
        if (error_) {
            return *error_;
        }
        return Query{std::move(terms_), std::move(*root)};
    }

  private:
    bool atEnd() const { return at_ >= text_.size(); }
    bool looking(const char* op) const {
        return QStringView(text_).mid(at_).startsWith(QLatin1String(op));
    }
    void skipBlanks() {
        while (!atEnd() && text_[at_].isSpace()) {
            ++at_;
        }
    }
    void fail(const QString& message) {
        if (!error_) {
            error_ = QueryError{at_, message};
        }
    }
    // What may follow a complete operand.
    bool atOperandEnd() {
        skipBlanks();
        return atEnd() || looking("&&") || looking("||") || text_[at_] == u')';
    }

    static QueryNode Joined(QueryNode::Kind kind, std::vector<QueryNode> operands) {
        if (operands.size() == 1) {
            return std::move(operands.front());
        }
        QueryNode node;
        node.kind = kind;
        node.operands = std::move(operands);
        return node;
    }

    // Operands of the next tighter kind joined by op ("||": Any of Alls, "&&": All of
    // unary ones).
    std::optional<QueryNode> joined(QueryNode::Kind kind, const char* op,
                                    std::optional<QueryNode> (Parser::*operandOf)()) {
        std::vector<QueryNode> operands;
        for (;;) {
            std::optional<QueryNode> operand = (this->*operandOf)();
            if (!operand) {
                return std::nullopt;
            }
            operands.push_back(std::move(*operand));
            skipBlanks();
            if (!looking(op)) {
                return Joined(kind, std::move(operands));
            }
            at_ += 2;
        }
    }
    std::optional<QueryNode> any() { return joined(QueryNode::Kind::Any, "||", &Parser::all); }
    std::optional<QueryNode> all() { return joined(QueryNode::Kind::All, "&&", &Parser::unary); }

    std::optional<QueryNode> unary() {
        skipBlanks();
        if (!atEnd() && text_[at_] == u'!') {
            ++at_;
            std::optional<QueryNode> operand = unary();
            if (!operand) {
                return std::nullopt;
            }
            QueryNode node;
            node.kind = QueryNode::Kind::Not;
            node.operands.push_back(std::move(*operand));
            return node;
        }
        return primary();
    }

    std::optional<QueryNode> primary() {
        skipBlanks();
        if (atEnd() || looking("&&") || looking("||") || text_[at_] == u')') {
            fail(QStringLiteral("a term expected"));
            return std::nullopt;
        }
        if (text_[at_] == u'(') {
            // A group, if it is one; otherwise the parenthesis starts a regular expression.
            const qsizetype start = at_;
            const std::size_t termsBefore = terms_.size();
            ++at_;
            std::optional<QueryNode> inner = any();
            if (inner && !error_ && !atEnd() && text_[at_] == u')') {
                ++at_;
                if (atOperandEnd()) {
                    return inner;
                }
            }
            at_ = start;
            error_.reset();
            terms_.resize(termsBefore);
        }
        if (text_[at_] == u'"') {
            return phrase();
        }
        return pattern();
    }

    std::optional<QueryNode> phrase() {
        const qsizetype start = at_;
        ++at_;
        QString text;
        while (!atEnd() && text_[at_] != u'"') {
            if (text_[at_] == u'\\' && at_ + 1 < text_.size() &&
                (text_[at_ + 1] == u'"' || text_[at_ + 1] == u'\\')) {
                ++at_;
            }
            text += text_[at_++];
        }
        if (atEnd()) {
            at_ = start;
            fail(QStringLiteral("a '\"' that is not closed"));
            return std::nullopt;
        }
        ++at_;
        if (text.isEmpty()) {
            at_ = start;
            fail(QStringLiteral("an empty phrase"));
            return std::nullopt;
        }
        return term(QueryTerm{text, true, start});
    }

    // A regular expression: up to an operator or a ")" outside its own parentheses, its
    // classes ([...]) and escapes.
    std::optional<QueryNode> pattern() {
        const qsizetype start = at_;
        int depth = 0;
        qsizetype opened = 0;  // where the outermost open parenthesis is
        while (!atEnd()) {
            const QChar c = text_[at_];
            if (depth == 0 && (looking("&&") || looking("||") || c == u')')) {
                break;
            }
            if (c == u'\\') {
                at_ = std::min(at_ + 2, text_.size());
                continue;
            }
            if (c == u'[') {
                // A class ends at the first "]" that is not its first character.
                qsizetype end = at_ + 1;
                if (end < text_.size() && text_[end] == u'^') {
                    ++end;
                }
                if (end < text_.size() && text_[end] == u']') {
                    ++end;
                }
                while (end < text_.size() && text_[end] != u']') {
                    end += text_[end] == u'\\' ? 2 : 1;
                }
                at_ = std::min(end + 1, text_.size());
                continue;
            }
            if (c == u'(' && depth++ == 0) {
                opened = at_;
            } else if (c == u')') {
                --depth;
            }
            ++at_;
        }
        if (depth > 0) {
            at_ = opened;
            fail(QStringLiteral("a '(' that is not closed"));
            return std::nullopt;
        }
        const QString text = QStringView(text_).mid(start, at_ - start).trimmed().toString();
        return term(QueryTerm{text, false, start});
    }

    QueryNode term(QueryTerm term) {
        QueryNode node;
        node.term = terms_.size();
        terms_.push_back(std::move(term));
        return node;
    }

    const QString& text_;
    qsizetype at_ = 0;
    std::vector<QueryTerm> terms_;
    std::optional<QueryError> error_;
};

QString Described(const Query& query, const QueryNode& node) {
    switch (node.kind) {
        case QueryNode::Kind::Term: {
            const QueryTerm& term = query.terms[node.term];
            return term.literal ? QLatin1Char('"') + term.text + QLatin1Char('"')
                                : QLatin1Char('/') + term.text + QLatin1Char('/');
        }
        case QueryNode::Kind::Not:
            return QStringLiteral("!") + Described(query, node.operands.front());
        case QueryNode::Kind::All:
        case QueryNode::Kind::Any: {
            QStringList parts;
            for (const QueryNode& operand : node.operands) {
                parts << Described(query, operand);
            }
            return QLatin1Char('(') +
                   parts.join(node.kind == QueryNode::Kind::All ? QStringLiteral(" && ")
                                                                : QStringLiteral(" || ")) +
                   QLatin1Char(')');
        }
    }
    return {};
}

}  // namespace

std::variant<Query, QueryError> ParseQuery(const QString& text) {
    return Parser(text).parse();
}

bool QueryHolds(const QueryNode& node, const std::vector<char>& found) {
    switch (node.kind) {
        case QueryNode::Kind::Term:
            return node.term < found.size() && found[node.term] != 0;
        case QueryNode::Kind::Not:
            return !QueryHolds(node.operands.front(), found);
        case QueryNode::Kind::All:
            for (const QueryNode& operand : node.operands) {
                if (!QueryHolds(operand, found)) {
                    return false;
                }
            }
            return true;
        case QueryNode::Kind::Any:
            for (const QueryNode& operand : node.operands) {
                if (QueryHolds(operand, found)) {
                    return true;
                }
            }
            return false;
    }
    return false;
}

bool QueryMayHold(const QueryNode& node, const std::vector<char>& mayOccur, bool wanted) {
    switch (node.kind) {
        case QueryNode::Kind::Term:
            // A term may always be missing; it may occur only where mayOccur says so.
            return !wanted || (node.term < mayOccur.size() && mayOccur[node.term] != 0);
        case QueryNode::Kind::Not:
            return QueryMayHold(node.operands.front(), mayOccur, !wanted);
        case QueryNode::Kind::All:
        case QueryNode::Kind::Any: {
            // All holds when every operand does and fails when one fails; Any the other way.
            const bool every = (node.kind == QueryNode::Kind::All) == wanted;
            for (const QueryNode& operand : node.operands) {
                if (QueryMayHold(operand, mayOccur, wanted) != every) {
                    return !every;
                }
            }
            return every;
        }
    }
    return true;
}

QString DescribeQuery(const Query& query) {
    return Described(query, query.root);
}

}  // namespace quillery
