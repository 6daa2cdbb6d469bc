#include "scan/ReaderSearch.h"

#include "scan/FileMatch.h"

namespace quillery {

ReaderSearch SearchOfRun(const RunState& state) {
    return ReaderSearch{state.SearchString, state.AuditMode, state.UseAudit, state.AuditStrings};
}

TextMatcher MatcherForSearch(const ReaderSearch& search) {
    RunState state;
    state.SearchString = search.searchString;
    state.AuditMode = search.auditMode;
    state.UseAudit = search.useAudit;
    state.AuditStrings = search.auditStrings;
    return MatcherForRun(state);
}

}  // namespace quillery
