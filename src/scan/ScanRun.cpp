#include "scan/ScanRun.h"

#include "scan/Formats.h"
#include "scan/QueryMatcher.h"
#include "scan/Walk.h"
#include "scan/WorkFolder.h"
#include "settings/Product.h"
#include "text/ShownPath.h"

namespace quillery {

namespace {

void ShowNoSearchString(ScanContext& ctx) {
    ctx.questions.message(kNoSearchStringMessage, TitleText(), MessageStyle::Exclamation);
}

// Keeps runActive set for exactly as long as a run driver is on the stack.
class ActiveRun {
  public:
    explicit ActiveRun(RunState& state) : state_(state), outer_(state.runActive) {
        state_.runActive = true;
    }
    ~ActiveRun() { state_.runActive = outer_; }
    ActiveRun(const ActiveRun&) = delete;
    ActiveRun& operator=(const ActiveRun&) = delete;

  private:
    RunState& state_;
    bool outer_;
};

}  // namespace

QString RunSummary(const RunState& state) {
    if (state.AuditMode && state.UseAudit) {
        return QStringLiteral("There were ") + QString::number(state.FilesFound) +
               QStringLiteral(" files that contained ") +
               QStringLiteral("strings from the Audit file, from a total of ") +
               QString::number(state.FilesChecked) + QStringLiteral(" files");
    }
    return QStringLiteral("There were ") + QString::number(state.FilesFound) +
           QStringLiteral(" files that contained ") + QLatin1Char('"') + state.SearchString +
           QLatin1Char('"') + QStringLiteral(", from a total of ") +
           QString::number(state.FilesChecked) + QStringLiteral(" files");
}

void RunScan(ScanContext& ctx, const RunRequest& request) {
    RunState& state = ctx.state;
    RunEvents& events = ctx.events;
    ActiveRun active(state);

    events.phase(RunPhase::Preparing);
    events.status(QString());
    state.FilesFound = 0;
    state.FilesChecked = 0;
    events.counts(0, 0);
    state.KeepScanning = true;
    state.SearchString = request.searchText;

    const bool somethingToScan =
        !state.SearchString.isEmpty() || !state.SearchFolder.isEmpty() || state.AuditMode;
    const bool auditWithoutStrings =
        state.SearchString.isEmpty() && state.AuditMode && !state.UseAudit;
    if (!somethingToScan || auditWithoutStrings) {
        state.lastRun = RunOutcome::Refused;
        ShowNoSearchString(ctx);
        return;
    }

    if (state.Expressions && !state.AuditMode) {
        if (const QString problem = ExpressionProblem(state.SearchString); !problem.isEmpty()) {
            state.lastRun = RunOutcome::Refused;
            ctx.questions.message(problem, TitleText(), MessageStyle::Exclamation);
            return;
        }
    }

    FixTrailingSlash(state.SearchFolder, true);
    state.StartFolder = state.SearchFolder;
    state.IncludeSubFolders = request.subFolders;
    state.staging.allArchives = request.allArchives || state.AllArchivesSwitch;
    state.IndexEnabled = request.useIndex && !state.NoIndexSwitch;
    state.ScanIdle = false;
    events.phase(RunPhase::Walking);

    ScanFolder(ctx,
               request.folderPath.empty() ? PathFromText(state.SearchFolder) : request.folderPath,
               request.patternText);
    if (state.closing) {
        return;  // the program is ending; shutdown has logged the run already
    }
    events.phase(RunPhase::Walked);

    state.SearchFolder.clear();
    events.status(kSortingStatus);
    if (ctx.logger != nullptr) {
        ctx.logger->writeRunLog();
    }
    events.status(RunSummary(state));
    AnimateBusy(ctx, false);
    state.lastRun = state.FilesFound > 0 ? RunOutcome::Matched : RunOutcome::NoMatch;
    state.FilesChecked = 0;
    state.FilesFound = 0;
    state.KeepScanning = true;
    state.ScanIdle = true;
    events.phase(RunPhase::Finished);
}

}  // namespace quillery
