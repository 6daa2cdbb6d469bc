#include "ui/StartStop.h"

#include "scan/AuditFile.h"
#include "scan/QueryMatcher.h"
#include "scan/ScanRun.h"
#include "scan/WorkFolder.h"
#include "settings/Product.h"
#include "ui/MainWindow.h"

namespace quillery {

void StartStopClick(ScanContext& ctx, MainWindow& window) {
    RunState& state = ctx.state;
    state.KeepScanning = false;
    if (state.ScanIdle && state.runActive) {
        return;  // a stopped run is still unwinding
    }
    state.SearchFolder = window.folderText();
    state.CommandLine.clear();

    if (!state.ScanIdle) {
        state.ScanIdle = true;
        window.setStartCaption(kStartCaption);
        window.setInputsEnabled(true, false, false);
        return;
    }

    state.SearchString = window.searchText();
    // How the search string is read: as the boxes are now, also when the options dialog was
    // closed by its frame.
    state.Expressions = window.optionChecked(OptionBox::Expressions);
    state.MatchCase = window.optionChecked(OptionBox::MatchCase);
    state.WholeWords = window.optionChecked(OptionBox::WholeWords);
    state.AuditMode = false;
    state.UseAudit = false;
    if (window.optionChecked(OptionBox::Audit)) {
        state.AuditMode = true;
        LoadAuditFile(state);
        if (state.UseAudit) {
            window.setSearchText(QString());
            state.SearchString.clear();
        } else {
            window.setOptionChecked(OptionBox::Audit, false);
        }
    }

    if (state.SearchString.isEmpty() && !state.UseAudit) {
        ctx.questions.message(kNoSearchStringMessage, TitleText(), MessageStyle::Exclamation);
        return;
    }
    if (state.Expressions && !state.AuditMode) {
        if (const QString problem = ExpressionProblem(state.SearchString); !problem.isEmpty()) {
            ctx.questions.message(problem, TitleText(), MessageStyle::Exclamation);
            return;
        }
    }
    if (!FolderExists(state.SearchFolder)) {
        state.SearchFolder =
            ctx.questions.browseForFolder(kPickStartFolderPrompt, state.SearchFolder);
        if (state.SearchFolder.isEmpty()) {
            return;
        }
        window.setFolderText(state.SearchFolder);
        state.SearchFolder = window.folderText();
    }
    RunScan(ctx, window.runRequest());
}

}  // namespace quillery
