#pragma once

#include "archive/Questions.h"
#include "scan/RunState.h"
#include "scan/ScanView.h"

namespace quillery {

// Writes the log entry of the run described by the state (at the end of every run).
class RunLogger {
  public:
    virtual ~RunLogger() = default;
    virtual void writeRunLog() = 0;
};

// What every engine operation works with: the program's state, the main window, the modal
// questions and the log.
struct ScanContext {
    RunState& state;
    ScanView& view;
    Questions& questions;
    RunLogger* logger = nullptr;
};

}  // namespace quillery
