#include "scan/QueryMatcher.h"

#include <re2/re2.h>

#include <QStringList>
#include <algorithm>
#include <cassert>

#include "text/TextCase.h"

namespace quillery {

namespace {

// A word's characters: letters, digits, marks and the underscore.
constexpr const char* kNotWord = R"([^\pL\pN\pM_])";

// Multi-line, so that ^ and $ match at every line's ends when lines are matched together,
// joined by LF (which never_nl keeps every match from taking in).
std::string PatternOf(const QueryTerm& term, const QueryOptions& options) {
    const std::string body =
        term.literal ? RE2::QuoteMeta(term.text.toStdString()) : term.text.toStdString();
    if (!options.wholeWords) {
        return "(?m)(" + body + ")";
    }
    return std::string("(?m)(?:^|") + kNotWord + ")(" + body + ")(?:" + kNotWord + "|$)";
}

// Whether a pattern may hold \A or \z, which match only at the ends of the whole text, or
// flags of its own (which may turn the multi-line mode off): these tell lines matched together
// from lines matched one by one.
bool AnchorsTheText(const QueryTerm& term) {
    return !term.literal &&
           (term.text.contains(QStringLiteral("\\A")) ||
            term.text.contains(QStringLiteral("\\z")) || term.text.contains(QStringLiteral("(?")));
}

}  // namespace

QString ExpressionProblem(const QString& searchString) {
    const std::variant<QueryMatcher, QueryError> made = QueryMatcher::Make(searchString, {});
    if (const QueryError* error = std::get_if<QueryError>(&made)) {
        return QStringLiteral("The search expression is not valid at character %1: %2.")
            .arg(error->at + 1)
            .arg(error->message);
    }
    return {};
}

QueryMatcher::QueryMatcher(QueryMatcher&&) noexcept = default;
QueryMatcher& QueryMatcher::operator=(QueryMatcher&&) noexcept = default;
QueryMatcher::~QueryMatcher() = default;

std::variant<QueryMatcher, QueryError> QueryMatcher::MakeLiteral(const QString& searchString,
                                                                 QueryOptions options) {
    const QString text = TrimBlanks(searchString);
    const QString op = text.contains(QStringLiteral("&&"))   ? QStringLiteral("&&")
                       : text.contains(QStringLiteral("||")) ? QStringLiteral("||")
                                                             : QString();
    Query query;
    query.root.kind = op == QStringLiteral("||") ? QueryNode::Kind::Any : QueryNode::Kind::All;
    qsizetype at = 0;
    for (const QString& piece :
         op.isEmpty() ? QStringList{text} : text.split(op, Qt::KeepEmptyParts)) {
        QueryNode node;
        node.term = query.terms.size();
        query.terms.push_back(QueryTerm{TrimBlanks(piece), true, at});
        query.root.operands.push_back(std::move(node));
        at += piece.size() + op.size();
    }
    return Compiled(std::move(query), options);
}

std::variant<QueryMatcher, QueryError> QueryMatcher::Make(const QString& searchString,
                                                          QueryOptions options) {
    std::variant<Query, QueryError> parsed = ParseQuery(searchString);
    if (QueryError* error = std::get_if<QueryError>(&parsed)) {
        return *error;
    }
    return Compiled(std::move(std::get<Query>(parsed)), options);
}

std::variant<QueryMatcher, QueryError> QueryMatcher::Compiled(Query query, QueryOptions options) {
    QueryMatcher matcher;
    matcher.query_ = std::move(query);
    RE2::Options compile;
    compile.set_case_sensitive(options.matchCase);
    compile.set_log_errors(false);
    compile.set_never_nl(true);
    for (const QueryTerm& term : matcher.query_.terms) {
        auto re = std::make_unique<RE2>(PatternOf(term, options), compile);
        if (!re->ok()) {
            return QueryError{term.at, QStringLiteral("not a regular expression: ") +
                                           QString::fromStdString(re->error())};
        }
        matcher.terms_.push_back(std::move(re));
        matcher.lineByLine_.push_back(AnchorsTheText(term) ? 1 : 0);
    }
    std::vector<const RE2*> compiled;
    for (const auto& term : matcher.terms_) {
        compiled.push_back(term.get());
    }
    matcher.prefilter_ = std::make_shared<const QueryPrefilter>(compiled);
    return matcher;
}

bool QueryMatcher::termInLine(std::size_t term, std::string_view line) const {
    line = line.substr(0, std::min(line.size(), kMostLineBytes));
    return RE2::PartialMatch(re2::StringPiece(line.data(), line.size()), *terms_.at(term));
}

bool QueryMatcher::termInLines(std::size_t term, std::string_view lines) const {
    assert(!lineByLine(term));
    return RE2::PartialMatch(re2::StringPiece(lines.data(), lines.size()), *terms_.at(term));
}

std::vector<std::pair<std::size_t, std::size_t>> QueryMatcher::hitsInLine(
    std::size_t term, std::string_view line) const {
    line = line.substr(0, std::min(line.size(), kMostLineBytes));
    const RE2& re = *terms_.at(term);
    const re2::StringPiece text(line.data(), line.size());
    std::vector<std::pair<std::size_t, std::size_t>> hits;
    re2::StringPiece groups[2];
    std::size_t from = 0;
    while (from <= line.size() && re.Match(text, from, line.size(), RE2::UNANCHORED, groups, 2)) {
        const auto start = static_cast<std::size_t>(groups[1].data() - line.data());
        const std::size_t end = start + groups[1].size();
        if (end > start) {
            hits.emplace_back(start, end);
        }
        // On from the hit's end, not the match's: a whole word's match takes the character
        // after it, which may be the one before the next word.
        from = end > start ? end : start + 1;
    }
    return hits;
}

bool QueryMatcher::holds(std::string_view text) const {
    std::vector<char> found(terms_.size(), 0);
    std::size_t left = terms_.size();
    std::size_t at = 0;
    while (at < text.size() && left > 0) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(at, end - at);
        for (std::size_t t = 0; t < terms_.size(); ++t) {
            if (found[t] == 0 && termInLine(t, line)) {
                found[t] = 1;
                --left;
            }
        }
        at = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
    }
    return QueryHolds(query_.root, found);
}

}  // namespace quillery
