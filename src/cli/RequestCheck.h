#pragma once

#include <string>

#include "cli/CommandLine.h"

namespace quillery {

// Why folder (its name's bytes) cannot be searched, as "FOLDER: reason" (the reason as the
// system words it), or an empty text when it is a folder. A name that starts with "~" and does
// not exist gets a hint: the shell leaves "~" as it is after "=" (--folder=~/zips).
std::string FolderProblem(const std::string& folder);

// Why a request given as separate words cannot run, in one line for standard error after
// "quillery: ", or an empty text when it can: its folder (FolderProblem), entry patterns that
// select no entry, or an audit file that cannot be read.
std::string RequestProblem(const CommandLineRequest& request);

}  // namespace quillery
