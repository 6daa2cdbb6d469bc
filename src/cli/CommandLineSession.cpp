#include "cli/CommandLineSession.h"

#include <unistd.h>
#include <QCoreApplication>

#include <cstdio>

#include "cli/CommandLineOutput.h"
#include "scan/ScanRun.h"
#include "scan/WorkFolder.h"
#include "settings/Product.h"
#include "text/ShownPath.h"

namespace quillery {

void StartUp(RunState& state, ScanView& view, Questions& questions) {
    view.setCheckedCount(QStringLiteral("     0"));
    view.setFoundCount(QStringLiteral("     0"));
    view.setSearchText(QString());
    view.setFolderText(QString());
    view.setPatternText(QStringLiteral("*.nfo *.diz *.txt"));
    view.setStatus(kProductName + kVersionText +
                   QStringLiteral("- find text inside zip archives."));
    state.KeepScanning = false;
    state.FilesChecked = 0;
    state.FilesFound = 0;
    state.SearchFolder.clear();
    state.AuditMode = false;
    state.UseAudit = false;
    state.ScanIdle = true;
    view.setOptionChecked(OptionBox::SubFolders, true);
    view.setOptionChecked(OptionBox::InternalViewer, true);
    view.setOptionChecked(OptionBox::Index, true);
    state.UseInternalViewer = true;
    state.IncludeSubFolders = true;
    SetUpWorkFolder(state, questions);
    ShellDelete(state.WorkFolder);
    view.setStartCaption(kStartCaption);
}

bool RunCommandLine(ScanContext& ctx, UnattendedQuestions& answers, const QString& argumentText,
                    const CommandLineRequest& request) {
    CommandLineOutput output(ctx.state,
                             {request.list, request.nullEnds, ::isatty(STDERR_FILENO) == 1});
    ctx.listener = &output;
    answers.setBeforeMessage([&output] { output.erase(); });
    const bool ran = ProcessCommandLine(ctx, argumentText, request);
    answers.setBeforeMessage({});
    ctx.listener = nullptr;
    return ran;
}

int FinishCommandLine(const RunState& state, const QString& statusText,
                      const CommandLineRequest& request) {
    if (state.lastRun != RunOutcome::Refused) {
        // With the list on standard output, the summary goes beside it.
        std::FILE* summary = request.list ? stderr : stdout;
        std::fprintf(summary, "%s\n", statusText.toLocal8Bit().constData());
        std::fflush(summary);
    }
    switch (state.lastRun) {
        case RunOutcome::Matched:
            return 0;
        case RunOutcome::NoMatch:
            return 1;
        default:
            return 2;
    }
}

RunLogInput RunLogInputOf(const RunState& state, const ScanView& view) {
    RunLogInput input;
    input.filesChecked = state.FilesChecked;
    input.filesFound = state.FilesFound;
    input.startFolder = ShownFolder(state.StartFolder);
    input.searchString = state.SearchString;
    input.commandLine = state.CommandLine;
    input.patternText = view.patternText();
    input.auditMode = state.AuditMode;
    input.useAudit = state.UseAudit;
    if (input.filesChecked != 0) {
        const int rows = view.resultRowCount();
        input.rows.reserve(static_cast<std::size_t>(rows));
        for (int i = 0; i < rows; ++i) {
            const ResultRow row = view.resultRow(i);
            input.rows.push_back({ShownFolder(row.filePath), row.fileName});
        }
    }
    return input;
}

SettingsValues SettingsOf(const RunState& state, const ScanView& view) {
    SettingsValues values;
    values.searchString = view.searchText();
    values.searchPath = view.folderText();
    values.fileExtensions = view.patternText();
    values.audit = view.optionChecked(OptionBox::Audit) ? 1 : 0;
    values.internalView = view.optionChecked(OptionBox::InternalViewer) ? 1 : 0;
    values.subFolders = view.optionChecked(OptionBox::SubFolders) ? 1 : 0;
    values.showSize = view.optionChecked(OptionBox::ShowSize) ? 1 : 0;
    values.allArchives = view.optionChecked(OptionBox::AllArchives) ? 1 : 0;
    values.noIndex = view.optionChecked(OptionBox::Index) ? 0 : 1;
    if (state.IndexLimitBytes != RunState::kDefaultIndexLimitBytes) {
        values.indexLimitMB = static_cast<int>(state.IndexLimitBytes >> 20);
    }
    return values;
}

void EndSession(ScanContext& ctx, bool storeSettings) {
    ctx.state.KeepScanning = false;
    if (ctx.logger != nullptr) {
        ctx.logger->writeRunLog();
    }
    if (storeSettings) {
        SaveSettings(SettingsOf(ctx.state, ctx.view));
    }
    RemoveWorkFolder(ctx.state);
    // A walk in progress unwinds from its yield without touching the view again.
    ctx.state.closing = true;
    QCoreApplication::quit();
}

}  // namespace quillery
