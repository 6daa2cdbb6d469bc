#pragma once

#include <QString>
#include <QStringList>

#include "scan/RunState.h"
#include "scan/TextMatcher.h"

namespace quillery {

// What a run searches for, as far as the matcher depends on it: enough to build the same
// matcher in another process.
struct ReaderSearch {
    QString searchString;
    bool auditMode = false;
    bool useAudit = false;
    QStringList auditStrings;
    bool expressions = false;
    bool matchCase = false;
    bool wholeWords = false;

    bool operator==(const ReaderSearch&) const = default;
};

// The search of the state's current run.
ReaderSearch SearchOfRun(const RunState& state);

// The matcher MatcherForRun builds for a state with this search.
TextMatcher MatcherForSearch(const ReaderSearch& search);

}  // namespace quillery
