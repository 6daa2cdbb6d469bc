// Times a search run from the shown main window against the same run with a window that
// shows nothing, over one folder: what the window's updates (status line, counters,
// animation, event handling) cost. Run it in a scratch folder (each run appends to the log
// there) with a fresh HOME, XDG_CONFIG_HOME and TMPDIR, since the program keeps its settings
// and work folder there:
//
//   bench_gui FOLDER TEXT [rounds=3]
//   bench_gui --stop FOLDER [rounds=3]
//
// --stop: a run over every archive type in FOLDER (which should hold an archive whose reader
// never returns) is stopped with the Start/Stop button after 1.5 s; prints the time from the
// click to the end of the run ("stop SECONDS") for each round.
//
// Uses the platform named by QT_QPA_PLATFORM (offscreen when unset and no display).

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SilentParts.h"
#include "app/Application.h"
#include "scan/ReaderMain.h"
#include "scan/ScanRun.h"
#include "scan/Walk.h"
#include "scan/WorkFolder.h"
#include "ui/StartStop.h"

namespace {

using namespace quillery;
using bench::NoQuestions;
using bench::SilentEvents;

}  // namespace

int main(int argc, char** argv) {
    if (const int status = quillery::RunReaderIfAsked(argc, argv); status >= 0) {
        return status;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_gui FOLDER TEXT [rounds] | --stop FOLDER [rounds]\n");
        return 2;
    }
    const bool stopping = std::strcmp(argv[1], "--stop") == 0;
    if (stopping) {
        ++argv;
        --argc;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication qt(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString text = stopping ? QStringLiteral("needle") : QString::fromLocal8Bit(argv[2]);
    const int rounds = argc > (stopping ? 2 : 3) ? std::atoi(argv[stopping ? 2 : 3]) : 3;

    NoQuestions questions;
    Application app(&questions, true);
    app.start(QString());  // shows the window
    QApplication::processEvents();

    RunState silentState;
    SilentEvents silent(false);
    ScanContext silentContext{silentState, silent, questions, nullptr};
    SetUpWorkFolder(silentState, questions);

    // The same options for both: subfolders on, the default patterns (the silent run without
    // the index).
    RunRequest request;
    request.patternText = QStringLiteral("*.nfo *.diz *.txt");
    request.useIndex = false;
    app.form().setOptionChecked(OptionBox::SubFolders, true);
    app.form().setOptionChecked(OptionBox::Audit, false);
    app.form().setOptionChecked(OptionBox::ShowSize, false);
    app.form().setPatternText(request.patternText);
    if (stopping) {
        app.form().setOptionChecked(OptionBox::AllArchives, true);
        app.form().setPatternText(QStringLiteral("*.*"));
        for (int round = 0; round < rounds; ++round) {
            app.form().setFolderText(folder);
            app.form().setSearchText(text);
            QElapsedTimer sinceClick;
            QTimer::singleShot(1500, &app.window(), [&] {
                sinceClick.start();
                StartStopClick(app.context(), app.window());
            });
            StartStopClick(app.context(), app.window());  // returns when the run has ended
            std::printf("stop %.3f\n", static_cast<double>(sinceClick.nsecsElapsed()) / 1e9);
        }
        app.shutdown();
        return 0;
    }
    for (int round = 0; round < rounds; ++round) {
        app.form().setFolderText(folder);
        app.form().setSearchText(text);
        QElapsedTimer timer;
        timer.start();
        StartStopClick(app.context(), app.window());
        QApplication::processEvents();
        const double window = static_cast<double>(timer.nsecsElapsed()) / 1e9;

        request.folder = folder;
        request.searchText = text;
        silentState.SearchFolder = folder;
        timer.restart();
        RunScan(silentContext, request);
        const double bare = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        std::printf("round %d: shown window %.3f s, silent view %.3f s (rows: %d, %d)\n", round + 1,
                    window, bare, app.window().resultRowCount(), silent.rows);
    }
    RemoveWorkFolder(silentState);
    app.shutdown();  // removes its work folder; writes its settings to the fresh folders
    return 0;
}
