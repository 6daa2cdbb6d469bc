#include "cli/CommandLineSession.h"

#include <unistd.h>
#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "cli/CommandLineOutput.h"
#include "scan/ScanRun.h"
#include "scan/WorkFolder.h"
#include "settings/Product.h"
#include "text/ShownPath.h"

namespace quillery {

void StartUp(RunState& state, FormBoxes& view, Questions& questions) {
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
}

CommandLineOutput::Detail DetailOf(const CommandLineRequest& request) {
    using Detail = CommandLineOutput::Detail;
    return request.json      ? Detail::Json
           : request.count   ? Detail::Count
           : request.matches ? Detail::Matches
                             : Detail::None;
}

bool ColorsOn(ColorChoice choice, bool outputIsTerminal, const QString& noColor,
              const QString& term) {
    switch (choice) {
        case ColorChoice::Always:
            return true;
        case ColorChoice::Auto:
            return outputIsTerminal && noColor.isEmpty() && term != QLatin1String("dumb");
        case ColorChoice::Never:
            break;
    }
    return false;
}

bool RunCommandLine(ScanContext& ctx, FormBoxes& form, UnattendedQuestions& answers,
                    const QString& argumentText, const CommandLineRequest& request,
                    CommandLineEnd& end) {
    CommandLineOutput::Choice choice;
    choice.list = request.list;
    choice.nullEnds = request.nullEnds;
    choice.statusLine = ::isatty(STDERR_FILENO) == 1;
    choice.problems = request.separateWords;
    choice.quiet = request.noMessages;
    choice.detail = DetailOf(request);
    choice.colors.on = ColorsOn(request.color, ::isatty(STDOUT_FILENO) == 1,
                                qEnvironmentVariable("NO_COLOR"), qEnvironmentVariable("TERM"));
    CommandLineOutput output(ctx, choice, [&form] { return form.patternText(); });
    ctx.listener = &output;
    answers.setBeforeMessage([&output] { output.erase(); });
    const bool ran = ProcessCommandLine(ctx, form, argumentText, request);
    if (ran && ctx.state.lastRun != RunOutcome::Refused) {
        output.finish();
    }
    answers.setBeforeMessage({});
    ctx.listener = nullptr;
    end.writeError = output.writeError();
    end.problems = output.problems();
    return ran;
}

int FinishCommandLine(const RunState& state, const QString& statusText,
                      const CommandLineRequest& request, CommandLineEnd end) {
    std::string& writeError = end.writeError;
    if (state.lastRun != RunOutcome::Refused) {
        // With the list or the matches on standard output, the summary goes beside it.
        std::FILE* summary =
            request.list || DetailOf(request) != CommandLineOutput::Detail::None ? stderr : stdout;
        errno = 0;
        if ((std::fprintf(summary, "%s\n", statusText.toLocal8Bit().constData()) < 0 ||
             std::fflush(summary) != 0) &&
            summary == stdout && errno != EPIPE && writeError.empty()) {
            writeError = std::generic_category().message(errno != 0 ? errno : EIO);
        }
    }
    if (!writeError.empty()) {
        std::fprintf(stderr, "quillery: write error: %s\n", writeError.c_str());
        return 2;
    }
    switch (state.lastRun) {
        case RunOutcome::Matched:
            return 0;
        case RunOutcome::NoMatch:
            return end.problems > 0 ? 2 : 1;
        default:
            return 2;
    }
}

RunLogInput RunLogInputOf(const RunState& state, const QString& patternText,
                          std::vector<RunLogInput::Row> rows) {
    RunLogInput input;
    input.filesChecked = state.FilesChecked;
    input.filesFound = state.FilesFound;
    input.startFolder = ShownFolder(state.StartFolder);
    input.searchString = state.SearchString;
    input.commandLine = state.CommandLine;
    input.patternText = patternText;
    input.auditMode = state.AuditMode;
    input.useAudit = state.UseAudit;
    if (input.filesChecked != 0) {
        input.rows = std::move(rows);
        for (RunLogInput::Row& row : input.rows) {
            row.filePath = ShownFolder(row.filePath);
        }
    }
    return input;
}

SettingsValues SettingsOf(const RunState& state, const FormBoxes& view) {
    SettingsValues values;
    values.searchString = view.searchText();
    values.searchPath = view.folderText();
    values.fileExtensions = view.patternText();
    values.audit = view.optionChecked(OptionBox::Audit) ? 1 : 0;
    values.internalView = view.optionChecked(OptionBox::InternalViewer) ? 1 : 0;
    values.subFolders = view.optionChecked(OptionBox::SubFolders) ? 1 : 0;
    values.showSize = view.optionChecked(OptionBox::ShowSize) ? 1 : 0;
    values.allArchives = view.optionChecked(OptionBox::AllArchives) ? 1 : 0;
    values.expressions = view.optionChecked(OptionBox::Expressions) ? 1 : 0;
    values.matchCase = view.optionChecked(OptionBox::MatchCase) ? 1 : 0;
    values.wholeWords = view.optionChecked(OptionBox::WholeWords) ? 1 : 0;
    values.noIndex = view.optionChecked(OptionBox::Index) ? 0 : 1;
    if (state.IndexLimitBytes != RunState::kDefaultIndexLimitBytes) {
        values.indexLimitMB = static_cast<int>(state.IndexLimitBytes >> 20);
    }
    return values;
}

void EndSession(ScanContext& ctx, const FormBoxes* store) {
    ctx.state.KeepScanning = false;
    if (ctx.logger != nullptr) {
        ctx.logger->writeRunLog();
    }
    if (store != nullptr) {
        SaveSettings(SettingsOf(ctx.state, *store));
    }
    RemoveWorkFolder(ctx.state);
    // A walk in progress unwinds from its yield without touching the view again.
    ctx.state.closing = true;
    QCoreApplication::quit();
}

}  // namespace quillery
