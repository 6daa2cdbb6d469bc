#pragma once

#include <QString>
#include <string>

#include "scan/RunState.h"

namespace quillery {

// Tells a notice of a run (something that is not a result) as both programs do: one line on
// standard error.
void PrintNotice(const QString& text);

// Tells a sandbox layer a reader process goes without, on standard error, when the
// environment asks for such details (QUILLERY_DEBUG set).
void TellLeftOutLayer(const std::string& text);

// Takes the worker thread count from the environment into the state, printing the warning
// about an unusable setting, if any, on standard error. Both programs do this at start-up.
void TakeWorkerCount(RunState& state);

}  // namespace quillery
