#pragma once

#include <QString>

#include "scan/ScanContext.h"

namespace quillery {

inline const QString kStartCaption = QStringLiteral("&Start Scanning");
inline const QString kStopCaption = QStringLiteral("&Stop Scanning");
inline const QString kNoSearchStringMessage =
    QStringLiteral("You must enter a Search String, before Scanning can begin.");
inline const QString kPickStartFolderPrompt =
    QStringLiteral("Please Select A Folder To Start Search From.");
inline const QString kSortingStatus = QStringLiteral("Sorting File List .....");

// The start/stop button: stops a run in progress, or validates the boxes and starts one.
// A click while a stopped run is still unwinding starts nothing.
void StartStopClick(ScanContext& ctx);

// One run with the current state and boxes, from preparing the window to the summary.
void RunScan(ScanContext& ctx);

// The summary line of a finished run.
QString RunSummary(const RunState& state, const QString& searchBoxText);

}  // namespace quillery
