#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "scan/AuditFile.h"
#include "scan/RecordingEvents.h"
#include "scan/RunState.h"
#include "scan/ScanContext.h"
#include "scan/ScanRun.h"
#include "scan/WorkFolder.h"
#include "support/FakeQuestions.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {

// Counts the log entries a run asks for.
class CountingLogger : public RunLogger {
  public:
    void writeRunLog() override { ++entries; }
    int entries = 0;
};

// A fresh program state with its work folder, a recording of what runs report and a folder
// tree to scan.
class ScanFixture : public ::testing::Test {
  protected:
    ScanFixture() : ctx{state, events, questions, &logger} {
        SetUpWorkFolder(state, questions);
        request.folder = QString::fromStdString(root.path().string());
        request.patternText = QStringLiteral("*.nfo *.diz *.txt");
        request.useIndex = false;  // the index has tests of its own
    }
    ~ScanFixture() override { RemoveWorkFolder(state); }

    std::filesystem::path Archive(const std::string& rel, const std::string& entry,
                                  const std::string& text) {
        return MakeArchive(root.path(), rel, entry, text);
    }
    // Seven archives in each of seven folders, a hidden one among them: found behind a large
    // entry, missed, damaged, cut short, encrypted, holding an audit line only, found in a large
    // stored entry; besides a folder named like an archive and a file that is no archive.
    // Returns the archives holding "needle" in an *.nfo, *.diz or *.txt entry that can be read.
    std::set<std::string> MakeMixedTree() {
        std::string filler;
        while (filler.size() < 1024 * 1024) {
            filler += "filler text for a larger entry\r\n";
        }
        const std::vector<std::vector<ZipEntry>> kinds = {
            {{"big.txt", filler}, {"x.nfo", "the Needle"}},
            {{"a.txt", "nothing"}, {"b.bin", "needle"}},
            {{"a.txt", filler + "needle"}},
            {{"a.txt", filler + "needle"}},
            {{"a.txt", "needle", true, "pw"}},
            {{"a.diz", "an audit line"}},
            {{"a.nfo", "nothing here"}, {"b.txt", filler + "the NEEDLE", false}}};
        std::set<std::string> matching;
        int n = 0;
        for (const std::string folder : {"", "a/", "a/x/", "a/x/deep/", "b/", ".cache/", "c/y/"}) {
            std::filesystem::create_directories(root / folder);
            for (int i = 0; i < 7; ++i, ++n) {
                const auto zip = root / (folder + "arc" + std::to_string(n) + ".zip");
                MakeZip(zip, kinds[n % 7]);
                if (n % 7 == 2) {
                    CorruptCrc(zip, "a.txt");
                } else if (n % 7 == 3) {
                    std::filesystem::resize_file(zip, std::filesystem::file_size(zip) / 2);
                } else if (n % 7 == 0 || n % 7 == 6) {
                    matching.insert(zip.string());
                }
            }
        }
        std::filesystem::create_directories(root / "folder.zip");
        WriteFileBytes(root / "fake.zip", "this is no archive");
        return matching;
    }
    // Starts a run of the request with this search over the entries the patterns select, as
    // the window's start button does (an audit request loads the audit file first).
    void Search(const QString& text, const QString& patterns = QStringLiteral("*.txt")) {
        request.searchText = text;
        request.patternText = patterns;
        events.statusHistory.clear();
        events.phases.clear();
        events.yields = 0;
        state.KeepScanning = false;
        state.SearchFolder = request.folder;
        state.CommandLine.clear();
        state.SearchString = text;
        state.AuditMode = request.audit;
        state.UseAudit = false;
        if (request.audit) {
            LoadAuditFile(state);
            if (state.UseAudit) {
                request.searchText.clear();
            }
        }
        RunScan(ctx, request);
    }
    // The archives the run examined, in order, from its status lines.
    QStringList Checked() const {
        QStringList checked;
        for (const QString& s : events.statusHistory) {
            if (s.startsWith("Checking ... ")) {
                checked.push_back(s.mid(13));
            }
        }
        return checked;
    }
    QString Summary(int found, int total, const QString& search) const {
        return QStringLiteral("There were %1 files that contained \"%2\", from a total of %3 files")
            .arg(found)
            .arg(search)
            .arg(total);
    }

    TempDir root;
    RunState state;
    RunRequest request;
    RecordingEvents events;
    FakeQuestions questions;
    CountingLogger logger;
    ScanContext ctx;
};

}  // namespace quillery::test
