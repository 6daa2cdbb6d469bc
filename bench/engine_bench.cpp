// Full scans through the engine over a generated collection of archives. Prints archives
// per second and megabytes of selected text per second; no pass or fail.
//
//   bench_engine [archives=300] [rounds=5]

#include <zip.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "SilentParts.h"
#include "scan/ReaderMain.h"
#include "scan/RunState.h"
#include "scan/ScanContext.h"
#include "scan/Walk.h"
#include "scan/WorkFolder.h"

namespace {

using namespace quillery;
using bench::NoQuestions;
using bench::SilentEvents;
namespace fs = std::filesystem;

std::string Words(std::mt19937& random, std::size_t bytes) {
    static const char* const kWords[] = {"release", "group", "greets", "cracked", "supplied",
                                         "packed",  "date",  "disks",  "notes",   "install"};
    std::string text;
    text.reserve(bytes + 16);
    while (text.size() < bytes) {
        text += kWords[random() % 10];
        text += (random() % 12 == 0) ? "\r\n" : " ";
    }
    return text;
}

void AddEntry(zip_t* za, const std::string& name, const std::string& data, bool deflate) {
    void* copy = std::malloc(data.size() + 1);
    std::memcpy(copy, data.data(), data.size());
    zip_source_t* source = zip_source_buffer(za, copy, data.size(), 1);
    const zip_int64_t index = zip_file_add(za, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    zip_set_file_compression(za, static_cast<zip_uint64_t>(index),
                             deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
}

// Makes the collection; returns the bytes of text the default patterns select.
std::uint64_t MakeCollection(const fs::path& root, int archives) {
    std::mt19937 random(42);
    std::uint64_t selected = 0;
    for (int i = 0; i < archives; ++i) {
        const fs::path folder =
            root / ("group" + std::to_string(i % 7)) / ("year" + std::to_string(i % 3));
        fs::create_directories(folder);
        int error = 0;
        zip_t* za = zip_open((folder / ("release" + std::to_string(i) + ".zip")).c_str(),
                             ZIP_CREATE | ZIP_TRUNCATE, &error);
        const int entries = 3 + static_cast<int>(random() % 4);
        for (int e = 0; e < entries; ++e) {
            static const char* const kKinds[] = {".nfo", ".diz", ".txt", ".doc", ".exe"};
            const std::string kind = kKinds[random() % 5];
            std::string data = Words(random, 1000 + random() % 60000);
            if (i % 50 == 0 && e == 0) {
                data += " the hidden needle ";
            }
            if (kind != ".doc" && kind != ".exe") {
                selected += data.size();
            }
            AddEntry(za, "file" + std::to_string(e) + kind, data, random() % 4 != 0);
        }
        zip_close(za);
    }
    return selected;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = quillery::RunReaderIfAsked(argc, argv); status >= 0) {
        return status;
    }
    QCoreApplication app(argc, argv);
    const int archives = argc > 1 ? std::atoi(argv[1]) : 300;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

    QTemporaryDir corpus;
    const fs::path root = corpus.path().toStdString();
    const std::uint64_t selected = MakeCollection(root, archives);

    RunState state;
    SilentEvents view(true);
    NoQuestions questions;
    ScanContext ctx{state, view, questions, nullptr};
    SetUpWorkFolder(state, questions);
    state.SearchString = QStringLiteral("hidden needle");
    state.IncludeSubFolders = true;

    std::printf("collection: %d archives, %.1f MB of selected text\n", archives,
                static_cast<double>(selected) / 1e6);
    for (int round = 0; round < rounds; ++round) {
        state.KeepScanning = true;
        state.FilesChecked = state.FilesFound = 0;
        view.rows = 0;
        const auto start = std::chrono::steady_clock::now();
        ScanFolder(ctx, root, QStringLiteral("*.nfo *.diz *.txt"));
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("round %d: %lld examined, %lld matched, %.3f s, %.0f archives/s, %.1f MB/s\n",
                    round + 1, static_cast<long long>(state.FilesChecked),
                    static_cast<long long>(state.FilesFound), seconds,
                    static_cast<double>(state.FilesChecked) / seconds,
                    static_cast<double>(selected) / 1e6 / seconds);
    }
    RemoveWorkFolder(state);
    return 0;
}
