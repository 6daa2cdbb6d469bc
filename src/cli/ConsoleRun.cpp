#include "cli/ConsoleRun.h"

#include <cstdio>
#include <utility>

#include "cli/CommandLineSession.h"
#include "cli/Notices.h"
#include "cli/SignalWatcher.h"
#include "settings/Product.h"
#include "settings/Settings.h"

namespace quillery {

ConsoleRun::ConsoleRun() : context_{state_, form_, questions_, this} {
    TakeWorkerCount(state_);
}

int ConsoleRun::run(const QString& argumentText, const CommandLineRequest& request) {
    writesLog_ = !request.noLog;
    // The window's remembered values change only when asked for, in the form of separate
    // words (a switch line stores them, as it always has).
    storesSettings_ = !request.separateWords || request.saveSettings;
    if (request.logFile) {
        log_.setFile(*request.logFile);
    }
    StartUp(state_, form_, questions_);
    // The search options of the window are the window's: a run stores them back as they
    // were stored (its own switches apply to it alone).
    const SettingsValues stored = LoadSettings();
    form_.setOptionChecked(OptionBox::Expressions, stored.expressions != 0);
    form_.setOptionChecked(OptionBox::MatchCase, stored.matchCase != 0);
    form_.setOptionChecked(OptionBox::WholeWords, stored.wholeWords != 0);
    CommandLineEnd end;
    if (!RunCommandLine(context_, form_, questions_, argumentText, request, end)) {
        // Only a request that RunsASearch takes comes here, so this does not happen; if it
        // did, nothing was run and the stored settings stay as they are.
        std::fputs("quillery: the arguments start no search. See quillery --help.\n", stderr);
        shutdown(false);
        return 2;
    }
    if (interrupted_) {
        return kInterruptedStatus;  // shut down already, for the signal
    }
    const int status = FinishCommandLine(state_, form_.statusText(), request, std::move(end));
    shutdown(storesSettings_);
    return status;
}

void ConsoleRun::interrupt() {
    interrupted_ = true;
    shutdown(storesSettings_);
}

void ConsoleRun::shutdown(bool storeSettings) {
    if (!shutDown_) {
        shutDown_ = true;
        EndSession(context_, storeSettings ? &form_ : nullptr);
    }
}

void ConsoleRun::writeRunLog() {
    if (!writesLog_) {
        return;
    }
    if (log_.write(RunLogInputOf(state_, form_.patternText(), form_.matches()), QString()).failed) {
        questions_.message(QStringLiteral("Can't open log file - ") + log_.file(), TitleText(),
                           MessageStyle::Critical);
    }
}

bool RunsASearch(const CommandLineRequest& request) {
    const CommandLineSwitches& given = request.switches;
    return !given.folder.value_or(QString()).isEmpty() &&
           (!given.search.value_or(QString()).isEmpty() || given.audit);
}

}  // namespace quillery
