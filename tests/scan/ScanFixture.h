#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scan/FakeScanView.h"
#include "scan/RunState.h"
#include "scan/ScanContext.h"
#include "scan/ScanRun.h"
#include "scan/WorkFolder.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {

// Counts the log entries a run asks for.
class CountingLogger : public RunLogger {
  public:
    void writeRunLog() override { ++entries; }
    int entries = 0;
};

// A fresh program state with its work folder, a fake main window and a folder tree to scan.
class ScanFixture : public ::testing::Test {
  protected:
    ScanFixture() : view(state), ctx{state, view, questions, &logger} {
        SetUpWorkFolder(state, questions);
        view.folder = QString::fromStdString(root.path().string());
    }
    ~ScanFixture() override { RemoveWorkFolder(state); }

    std::filesystem::path Archive(const std::string& rel, const std::string& entry,
                                  const std::string& text) {
        return MakeArchive(root.path(), rel, entry, text);
    }
    // Clicks start with this search over the entries the patterns select.
    void Search(const QString& text, const QString& patterns = QStringLiteral("*.txt")) {
        view.search = text;
        view.patterns = patterns;
        view.statusHistory.clear();
        view.yields = view.flushes = 0;
        StartStopClick(ctx);
    }
    // The archives the run examined, in order, from its status lines.
    QStringList Checked() const {
        QStringList checked;
        for (const QString& s : view.statusHistory) {
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
    FakeScanView view;
    FakeQuestions questions;
    CountingLogger logger;
    ScanContext ctx;
};

}  // namespace quillery::test
