#include "scan/ScanRun.h"

#include "scan/AuditFile.h"
#include "scan/Formats.h"
#include "scan/Walk.h"
#include "scan/WorkFolder.h"
#include "settings/Product.h"
#include "text/ShownPath.h"

namespace quillery {

namespace {

const QString kFileSizeKey = QStringLiteral("fileSize");
const QString kFilePathKey = QStringLiteral("filePath");

void ShowNoSearchString(ScanContext& ctx) {
    ctx.questions.message(kNoSearchStringMessage, TitleText(), MessageStyle::Exclamation);
}

// Brings the result columns in line with the show-size option.
void FitColumns(ScanView& view) {
    const bool showSize = view.optionChecked(OptionBox::ShowSize);
    const int width = view.resultListWidth();
    const int columns = view.resultColumnCount();
    if (!showSize && columns == 3) {
        view.removeResultColumn(kFileSizeKey);
        view.removeResultColumn(kFilePathKey);
        view.addResultColumn(kFilePathKey, QStringLiteral("File Path"), width - width / 4,
                             ColumnAlignment::Left);
    } else if (showSize && columns == 2) {
        view.removeResultColumn(kFilePathKey);
        view.addResultColumn(kFilePathKey, QStringLiteral("File Path"), width / 2,
                             ColumnAlignment::Left);
        view.addResultColumn(kFileSizeKey, QStringLiteral("Size KB"), width / 5,
                             ColumnAlignment::Right);
    }
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

QString RunSummary(const RunState& state, const QString& searchBoxText) {
    if (state.AuditMode && state.UseAudit) {
        return QStringLiteral("There were ") + QString::number(state.FilesFound) +
               QStringLiteral(" files that contained ") +
               QStringLiteral("strings from the Audit file, from a total of ") +
               QString::number(state.FilesChecked) + QStringLiteral(" files");
    }
    return QStringLiteral("There were ") + QString::number(state.FilesFound) +
           QStringLiteral(" files that contained ") + QLatin1Char('"') + searchBoxText +
           QLatin1Char('"') + QStringLiteral(", from a total of ") +
           QString::number(state.FilesChecked) + QStringLiteral(" files");
}

void StartStopClick(ScanContext& ctx) {
    RunState& state = ctx.state;
    ScanView& view = ctx.view;
    state.KeepScanning = false;
    if (state.ScanIdle && state.runActive) {
        return;  // a stopped run is still unwinding
    }
    state.SearchFolder = view.folderText();
    state.CommandLine.clear();

    if (!state.ScanIdle) {
        state.ScanIdle = true;
        view.setStartCaption(kStartCaption);
        view.setInputsEnabled(true, false, false);
        return;
    }

    state.SearchString = view.searchText();
    state.AuditMode = false;
    state.UseAudit = false;
    if (view.optionChecked(OptionBox::Audit)) {
        state.AuditMode = true;
        LoadAuditFile(state);
        if (state.UseAudit) {
            view.setSearchText(QString());
            state.SearchString.clear();
        } else {
            view.setOptionChecked(OptionBox::Audit, false);
        }
    }

    if (state.SearchString.isEmpty() && !state.UseAudit) {
        ShowNoSearchString(ctx);
        return;
    }
    if (!FolderExists(state.SearchFolder)) {
        state.SearchFolder =
            ctx.questions.browseForFolder(kPickStartFolderPrompt, state.SearchFolder);
        if (state.SearchFolder.isEmpty()) {
            return;
        }
        view.setFolderText(state.SearchFolder);
        state.SearchFolder = view.folderText();
    }
    RunScan(ctx);
}

void RunScan(ScanContext& ctx) {
    RunState& state = ctx.state;
    ScanView& view = ctx.view;
    ActiveRun active(state);

    view.setInputsEnabled(false, false, false);
    view.setStatus(QString());
    view.setFoundCount(FormatCounter(0));
    view.setCheckedCount(FormatCounter(0));
    state.FilesFound = 0;
    state.FilesChecked = 0;
    state.KeepScanning = true;
    view.clearResults();
    view.setResultsSorted(false);
    FitColumns(view);
    state.SearchString = view.searchText();

    const bool somethingToScan =
        !state.SearchString.isEmpty() || !state.SearchFolder.isEmpty() || state.AuditMode;
    const bool auditWithoutStrings =
        state.SearchString.isEmpty() && state.AuditMode && !state.UseAudit;
    if (!somethingToScan || auditWithoutStrings) {
        state.lastRun = RunOutcome::Refused;
        ShowNoSearchString(ctx);
        return;
    }

    FixTrailingSlash(state.SearchFolder, true);
    state.StartFolder = state.SearchFolder;
    state.IncludeSubFolders = view.optionChecked(OptionBox::SubFolders);
    state.staging.allArchives =
        view.optionChecked(OptionBox::AllArchives) || state.AllArchivesSwitch;
    state.IndexEnabled = view.optionChecked(OptionBox::Index) && !state.NoIndexSwitch;
    state.ScanIdle = false;
    view.setStartCaption(kStopCaption);

    view.setDisplayDeferred(true);
    ScanFolder(ctx, PathFromText(state.SearchFolder));
    if (!state.closing) {
        view.setDisplayDeferred(false);
    }
    view.flushDisplay();
    if (state.closing) {
        return;  // the program is ending; shutdown has logged the run already
    }

    state.SearchFolder.clear();
    view.setStatus(kSortingStatus);
    if (ctx.logger != nullptr) {
        ctx.logger->writeRunLog();
    }
    view.setStatus(RunSummary(state, view.searchText()));
    AnimateBusy(ctx, false);
    state.lastRun = state.FilesFound > 0 ? RunOutcome::Matched : RunOutcome::NoMatch;
    state.FilesChecked = 0;
    state.FilesFound = 0;
    view.setInputsEnabled(true, true, true);
    view.setStartCaption(kStartCaption);
    view.setResultsSorted(true);
    state.KeepScanning = true;
    state.ScanIdle = true;
    view.flushDisplay();
}

}  // namespace quillery
