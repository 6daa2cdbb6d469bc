// The quillery command: runs a search that its arguments ask for without any window, and
// otherwise starts the program with windows (quillery-gui) in its place. A search from the
// command line thus never loads the window system's libraries, which take most of a short
// run's time to load and set up.
#include <unistd.h>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/CommandLine.h"
#include "cli/ConsoleRun.h"
#include "cli/Notices.h"
#include "cli/ProgramStart.h"
#include "cli/RequestCheck.h"
#include "cli/SignalWatcher.h"
#include "cli/Usage.h"
#include "scan/ReaderMain.h"

namespace {

// Replaces this process with the program with windows: beside this one in a build, in the
// package's library folder when installed. Returns only when neither can be started.
int StartWindows(char** argv) {
    std::error_code ec;
    const std::filesystem::path folder =
        std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
    int error = ENOENT;
    for (const char* place : {"quillery-gui", QUILLERY_GUI_FROM_BINDIR}) {
        const std::filesystem::path program = folder / place;
        ::execv(program.c_str(), argv);
        if (errno != ENOENT || error == ENOENT) {
            error = errno;
        }
    }
    std::fprintf(stderr, "quillery: cannot start the window program quillery-gui: %s\n",
                 std::generic_category().message(error).c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    quillery::PrepareProcess();
    if (const int status = quillery::RunReaderIfAsked(argc, argv, quillery::TellLeftOutLayer);
        status >= 0) {
        return status;
    }
    const quillery::ProgramArguments program = quillery::StartProgram(argc, argv);
    if (program.exitStatus) {
        return *program.exitStatus;
    }
    const quillery::ParsedArguments& parsed = program.parsed;
    const QStringList& arguments = program.words;
    if (!quillery::RunsASearch(parsed.request)) {
        if (!quillery::HasDisplay()) {
            // Nothing is shown, loaded or stored: the stored settings stay as they are.
            std::fputs(quillery::NoDisplayText().toLocal8Bit().constData(), stderr);
            return 2;
        }
        return StartWindows(argv);
    }
    // Options and values: a folder that is not there, patterns that select no entry and an
    // audit file that cannot be read are refused before anything runs (the switch line
    // leaves them to the run, as it always has).
    if (parsed.request.separateWords) {
        if (const std::string problem = quillery::RequestProblem(parsed.request);
            !problem.empty()) {
            std::fprintf(stderr, "quillery: %s\n", problem.c_str());
            return 2;
        }
    }
    // Closing the pipe that a list goes to is reported by the write, not by a signal.
    std::signal(SIGPIPE, SIG_IGN);
    quillery::SignalWatcher::installHandlers();
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillery"));
    quillery::ConsoleRun run;
    quillery::SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &quillery::SignalWatcher::received, &run,
                     &quillery::ConsoleRun::interrupt);
    // The argument text: everything after the program name, joined by single blanks.
    return run.run(arguments.join(QLatin1Char(' ')), parsed.request);
}
