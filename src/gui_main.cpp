// The program with windows: starts the application with the argument text and runs its
// window. The quillery command starts it when its arguments run no search.
#include <QApplication>
#include <QString>
#include <QStringList>

#include <csignal>

#include "app/Application.h"
#include "cli/CommandLine.h"
#include "cli/Notices.h"
#include "cli/ProgramStart.h"
#include "cli/SignalWatcher.h"
#include "scan/ReaderMain.h"

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
    // Closing the pipe that a list goes to is reported by the write, not by a signal.
    std::signal(SIGPIPE, SIG_IGN);
    quillery::SignalWatcher::installHandlers();

    const bool hasDisplay = quillery::HasDisplay();
    if (!hasDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Options and values given as separate words are all the program's own: Qt sees none.
    int qtArgc = parsed.request.separateWords ? 1 : argc;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillery"));
    QApplication::setDesktopFileName(QStringLiteral("quillery"));
    quillery::Application quillery(nullptr, hasDisplay);
    quillery::SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &quillery::SignalWatcher::received, &quillery,
                     &quillery::Application::interrupt);
    // The argument text: everything after the program name, joined by single blanks, taken
    // before Qt looks at the arguments.
    const int status = quillery.start(arguments.join(QLatin1Char(' ')), parsed.request);
    if (status >= 0) {
        return status;
    }
    const int exitCode = QApplication::exec();
    return quillery.interrupted() ? quillery::kInterruptedStatus : exitCode;
}
