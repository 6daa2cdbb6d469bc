#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "archive/Staging.h"
#include "scan/WorkerCount.h"

namespace quillery {

// How the last run ended, for the exit status of unattended runs.
enum class RunOutcome { None, Refused, NoMatch, Matched };

// The program's process-wide values, owned by the application and handed by reference to
// everything that reads or changes them.
struct RunState {
    QString SearchString;
    QString SearchFolder;
    QString StartFolder;
    QString CommandLine;
    bool AuditMode = false;
    bool UseAudit = false;
    // How the search string is read and compared: as an expression (regular expressions,
    // "!" and groups), letter case as written, terms only as whole words.
    bool Expressions = false;
    bool MatchCase = false;
    bool WholeWords = false;
    QStringList AuditStrings;  // the loaded lines, trimmed

    // Counts of the current run: 64 bits, so that no collection is too large to count.
    std::int64_t FilesChecked = 0;
    std::int64_t FilesFound = 0;

    bool KeepScanning = false;
    bool ScanIdle = true;
    bool IncludeSubFolders = true;
    bool UseInternalViewer = true;
    // The command line asked for every archive type, for its own run only (the option box
    // keeps its value).
    bool AllArchivesSwitch = false;

    std::filesystem::path WorkFolder;  // ends with the separator; empty until set up
    int animationFrame = 0;
    // Threads that examine archives ahead of the walk.
    unsigned workerThreads = WorkerThreadsFromEnvironment();

    RunOutcome lastRun = RunOutcome::None;

    // A run driver is on the stack (also while a stopped run unwinds).
    bool runActive = false;
    // The program is closing: a run in progress unwinds without touching the window again.
    bool closing = false;

    StagingState staging;

    // The persistent index of archive texts: whether the current run uses it (the options
    // dialog's box, unless -noindex switched it off for this process); its folder (empty: the
    // default under the cache folder) and the most bytes it may take.
    bool IndexEnabled = true;
    bool NoIndexSwitch = false;
    std::filesystem::path IndexFolder;
    static constexpr std::uint64_t kDefaultIndexLimitBytes = std::uint64_t{1} << 30;
    std::uint64_t IndexLimitBytes = kDefaultIndexLimitBytes;
    // Archives of the last walk whose verdict came from the index without reading them.
    std::int64_t IndexAnswers = 0;
};

}  // namespace quillery
