#pragma once

#include <QString>
#include <cstddef>
#include <string>

#include "cli/CommandLine.h"
#include "cli/CommandLineOutput.h"
#include "cli/UnattendedQuestions.h"
#include "results/RunLog.h"
#include "scan/ScanContext.h"
#include "settings/Settings.h"

namespace quillery {

// The sequences that the program with windows and the one for the command line share: the
// values every start begins with, a run from the command line, and the end.

// Puts the start-up values into the form and the state (boxes, status, options) and sets up
// an empty work folder.
void StartUp(RunState& state, FormBoxes& form, Questions& questions);

// What a run from the command line met besides its results.
struct CommandLineEnd {
    // Why the output could not be written to standard output, if it could not (a closed
    // pipe is no error).
    std::string writeError;
    // Folders and archives that could not be read and archives that are damaged, each told
    // on standard error (unless silenced): counted in the form of separate words only.
    std::size_t problems = 0;
};

// What the request shows of each matching archive on standard output besides its path.
CommandLineOutput::Detail DetailOf(const CommandLineRequest& request);

// Whether matches are marked with colours: always, never, or (auto) when standard output is
// a terminal, NO_COLOR is empty and TERM is not "dumb".
bool ColorsOn(ColorChoice choice, bool outputIsTerminal, const QString& noColor,
              const QString& term);

// Runs what the arguments ask for, unattended: answers' messages first take the status line
// off the terminal, and the matches are listed as the request says. True when a run took
// place (or was refused); the program then ends.
bool RunCommandLine(ScanContext& ctx, FormBoxes& form, UnattendedQuestions& answers,
                    const QString& argumentText, const CommandLineRequest& request,
                    CommandLineEnd& end);

// Writes the summary line of a run from the command line (to standard error when the list
// takes standard output), unless it was refused, and gives the program's exit status: 2
// after "quillery: write error: ..." when the output could not be written (end's, or the
// summary itself), and 2 when nothing matched and a folder or an archive could not be read.
int FinishCommandLine(const RunState& state, const QString& statusText,
                      const CommandLineRequest& request, CommandLineEnd end);

// What the log records of the last run, from the state, the pattern text and the result
// list's rows.
RunLogInput RunLogInputOf(const RunState& state, const QString& patternText,
                          std::vector<RunLogInput::Row> rows);

// The settings to store: the form's boxes and options.
SettingsValues SettingsOf(const RunState& state, const FormBoxes& form);

// The shutdown sequence: ends a run, writes its log (through ctx.logger), stores the
// settings of the form unless it is null, removes the work folder and lets a walk unwind.
void EndSession(ScanContext& ctx, const FormBoxes* store);

}  // namespace quillery
