#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scan/FakeScanView.h"
#include "scan/RunState.h"
#include "scan/ScanContext.h"
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

    std::filesystem::path Dir(const std::string& rel) {
        const auto p = root / rel;
        std::filesystem::create_directories(p);
        return p;
    }
    // An archive with one deflated text entry.
    std::filesystem::path Archive(const std::string& rel, const std::string& entry,
                                  const std::string& text) {
        const auto p = root / rel;
        std::filesystem::create_directories(p.parent_path());
        MakeZip(p, {{entry, text}});
        return p;
    }

    TempDir root;
    RunState state;
    FakeScanView view;
    FakeQuestions questions;
    CountingLogger logger;
    ScanContext ctx;
};

}  // namespace quillery::test
