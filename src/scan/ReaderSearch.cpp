#include "scan/ReaderSearch.h"

#include "scan/FileMatch.h"

namespace quillery {

ReaderSearch SearchOfRun(const RunState& state) {
    return ReaderSearch{state.SearchString, state.AuditMode, state.UseAudit,  state.AuditStrings,
                        state.Expressions,  state.MatchCase, state.WholeWords};
}

TextMatcher MatcherForSearch(const ReaderSearch& search) {
    RunState state;
    state.SearchString = search.searchString;
    state.AuditMode = search.auditMode;
    state.UseAudit = search.useAudit;
    state.AuditStrings = search.auditStrings;
    state.Expressions = search.expressions;
    state.MatchCase = search.matchCase;
    state.WholeWords = search.wholeWords;
    return MatcherForRun(state);
}

}  // namespace quillery
