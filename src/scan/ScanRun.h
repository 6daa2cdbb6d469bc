#pragma once

#include <QString>

#include "scan/RunRequest.h"
#include "scan/ScanContext.h"

namespace quillery {

inline const QString kStartCaption = QStringLiteral("&Start Scanning");
inline const QString kStopCaption = QStringLiteral("&Stop Scanning");
inline const QString kNoSearchStringMessage =
    QStringLiteral("You must enter a Search String, before Scanning can begin.");
inline const QString kPickStartFolderPrompt =
    QStringLiteral("Please Select A Folder To Start Search From.");
inline const QString kSortingStatus = QStringLiteral("Sorting File List .....");

// One run of the request, from its preparation to the summary. The caller has set the
// state's folder (SearchFolder) and, in an audit run, loaded the audit strings; it reads
// the request's values from wherever they are typed once, before the call. Every step is
// reported through ctx.events in order; the stop flag (KeepScanning) is read at the yields.
void RunScan(ScanContext& ctx, const RunRequest& request);

// The summary line of a finished run, with the search string as it is now.
QString RunSummary(const RunState& state);

}  // namespace quillery
