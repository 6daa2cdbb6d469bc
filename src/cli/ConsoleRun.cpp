#include "cli/ConsoleRun.h"

#include <cstdio>

#include "cli/CommandLineSession.h"
#include "cli/Notices.h"
#include "cli/SignalWatcher.h"
#include "settings/Product.h"

namespace quillery {

ConsoleRun::ConsoleRun() : context_{state_, form_, questions_, this} {
    TakeWorkerCount(state_);
}

int ConsoleRun::run(const QString& argumentText, const CommandLineRequest& request) {
    writesLog_ = !request.noLog;
    if (request.logFile) {
        log_.setFile(*request.logFile);
    }
    StartUp(state_, form_, questions_);
    std::string writeError;
    if (!RunCommandLine(context_, form_, questions_, argumentText, request, writeError)) {
        // Only a request that RunsASearch takes comes here, so this does not happen; if it
        // did, nothing was run and the stored settings stay as they are.
        std::fputs("quillery: the arguments start no search. See quillery --help.\n", stderr);
        shutdown(false);
        return 2;
    }
    if (interrupted_) {
        return kInterruptedStatus;  // shut down already, for the signal
    }
    const int status = FinishCommandLine(state_, form_.statusText(), request, writeError);
    shutdown(true);
    return status;
}

void ConsoleRun::interrupt() {
    interrupted_ = true;
    shutdown(true);
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
