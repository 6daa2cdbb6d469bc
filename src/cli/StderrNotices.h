#pragma once

#include <QString>

#include "scan/RunEvents.h"
#include "scan/RunState.h"

namespace quillery {

// What a run has to tell that is not a result, as the command line tells it: each notice
// one line on standard error.
class StderrNotices : public RunEvents {
  public:
    void notice(const QString& text) override;
};

// Takes the worker thread count from the environment into the state, printing the warning
// about an unusable setting, if any, on standard error. Both programs do this at start-up.
void TakeWorkerCount(RunState& state);

}  // namespace quillery
