#pragma once

#include "scan/ScanContext.h"

namespace quillery {

class MainWindow;

// The start/stop button: stops a run in progress, or reads and checks the window's boxes
// and starts one (refusing a search string that is to be read as an expression and is none,
// offering the folder picker for a folder that does not exist). A click
// while a stopped run is still unwinding starts nothing. ctx.events is the window.
void StartStopClick(ScanContext& ctx, MainWindow& window);

}  // namespace quillery
