#pragma once

#include <QObject>
#include <QString>

#include "cli/CommandLine.h"
#include "cli/PlainForm.h"
#include "cli/UnattendedQuestions.h"
#include "results/RunLog.h"
#include "scan/RunState.h"
#include "scan/ScanContext.h"

namespace quillery {

// A search asked for on the command line, run without any window: the program's state and
// the main window's values as plain values, with the start-up, run and shutdown sequences of
// the program with windows, so that the log, the settings and the output are the same.
class ConsoleRun : public QObject, private RunLogger {
    Q_OBJECT
  public:
    ConsoleRun();

    // Runs the search and ends; returns the exit status.
    int run(const QString& argumentText, const CommandLineRequest& request);
    // A signal asks the program to end: the run stops and the program ends as it does after
    // a run.
    void interrupt();

  private:
    void writeRunLog() override;
    void shutdown(bool storeSettings);

    RunState state_;
    PlainForm form_{state_};
    UnattendedQuestions questions_;
    RunLogWriter log_;
    ScanContext context_;
    bool writesLog_ = true;
    bool storesSettings_ = true;
    bool shutDown_ = false;
    bool interrupted_ = false;
};

// Whether the request runs a search (a folder, and a search string or audit mode), so that
// no window is needed.
bool RunsASearch(const CommandLineRequest& request);

}  // namespace quillery
