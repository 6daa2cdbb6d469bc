// Opening a large result in the viewer: an archive whose text entries hold 20 MB with
// 20,000 occurrences of the search term. Prints the time from the double-click's work
// (staging, reading, marking) to the first painted screen, and the time of a next-match step.
//
//   bench_viewer [megabytes=20] [occurrences=20000]

#include <zip.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "SilentParts.h"
#include "archive/Staging.h"
#include "results/ViewerContent.h"
#include "scan/ReaderMain.h"
#include "scan/RunState.h"
#include "scan/ViewerFiles.h"
#include "scan/WorkFolder.h"
#include "ui/ViewerWindow.h"

namespace {

using namespace quillery;
using bench::NoQuestions;

void AddEntry(zip_t* za, const std::string& name, const std::string& data) {
    void* copy = std::malloc(data.size());
    std::memcpy(copy, data.data(), data.size());
    zip_source_t* source = zip_source_buffer(za, copy, data.size(), 1);
    zip_file_add(za, name.c_str(), source, ZIP_FL_ENC_UTF_8);
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = quillery::RunReaderIfAsked(argc, argv); status >= 0) {
        return status;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
    const std::size_t occurrences = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 20000;

    QTemporaryDir dir;
    const std::filesystem::path zip = std::filesystem::path(dir.path().toStdString()) / "big.zip";
    {
        const std::size_t bytesPerEntry = megabytes * 1000 * 1000 / 4;
        const std::size_t gap = megabytes * 1000 * 1000 / occurrences;
        int error = 0;
        zip_t* za = zip_open(zip.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        for (int e = 0; e < 4; ++e) {
            std::string text;
            text.reserve(bytesPerEntry + 100);
            while (text.size() < bytesPerEntry) {
                text += "the quick brown fox jumps over the lazy dog, words and more words\r\n";
            }
            // Plant the occurrences at even distances.
            for (std::size_t at = 0; at + 6 < text.size(); at += gap) {
                std::memcpy(&text[at], "NEEDLE", 6);
            }
            AddEntry(za, "part" + std::to_string(e) + ".txt", text);
        }
        zip_close(za);
    }

    RunState state;
    NoQuestions questions;
    SetUpWorkFolder(state, questions);

    QElapsedTimer timer;
    timer.start();
    StageArchive(state.staging, QStringLiteral("*.txt *.nfo"), questions, zip, state.WorkFolder,
                 false);
    const qint64 staged = timer.elapsed();
    const std::vector<ViewerFile> files = TakeViewerFiles(state.WorkFolder);
    const qint64 read = timer.elapsed();
    ViewerContent content = BuildViewerContent(files, "needle");
    const qint64 built = timer.elapsed();
    ViewerWindow viewer;
    viewer.setContent(content);
    const qint64 filled = timer.elapsed();
    viewer.show();
    QApplication::processEvents();
    viewer.repaint();
    const qint64 shown = timer.elapsed();

    QElapsedTimer step;
    step.start();
    for (int i = 0; i < 100; ++i) {
        viewer.gotoNextMatch();
        viewer.textBox()->viewport()->repaint();
    }
    const double perStep = static_cast<double>(step.nsecsElapsed()) / 1e6 / 100.0;

    std::printf("text %.1f MB, %zu occurrences marked\n",
                static_cast<double>(content.text.size()) / 1e6, content.marks.size());
    std::printf(
        "staged %lld ms, read %lld ms, text built and marked %lld ms, box filled %lld ms, "
        "shown %lld ms; total %lld ms\n",
        static_cast<long long>(staged), static_cast<long long>(read - staged),
        static_cast<long long>(built - read), static_cast<long long>(filled - built),
        static_cast<long long>(shown - filled), static_cast<long long>(shown));
    std::printf("next-match step with repaint: %.2f ms\n", perStep);
    RemoveWorkFolder(state);
    return 0;
}
