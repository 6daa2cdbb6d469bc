#pragma once

#include <filesystem>
#include <string>

#include "archive/Questions.h"
#include "scan/RunEvents.h"
#include "scan/RunState.h"

namespace quillery {

// Writes the log entry of the run described by the state (at the end of every run).
class RunLogger {
  public:
    virtual ~RunLogger() = default;
    virtual void writeRunLog() = 0;
};

// Hears what the walk decides, in walk order, as it decides it.
class RunListener {
  public:
    virtual ~RunListener() = default;
    virtual void folderEntered(const std::filesystem::path& folder) = 0;
    // An archive was examined and counted; matched: it became a result row.
    virtual void archiveDecided(const std::string& archive, bool matched) = 0;
    // A folder or an archive could not be read, or an archive is damaged: its path and why
    // (before the archive is decided). True when the listener has told the user (or keeps
    // quiet on purpose); otherwise the run tells what it tells everyone.
    virtual bool problem(const std::string& path, const std::string& reason) {
        (void)path;
        (void)reason;
        return false;
    }
};

// What every engine operation works with: the program's state, whoever shows the run, the
// modal questions and the log.
struct ScanContext {
    RunState& state;
    RunEvents& events;
    Questions& questions;
    RunLogger* logger = nullptr;
    RunListener* listener = nullptr;
};

}  // namespace quillery
