#pragma once

#include <filesystem>
#include <vector>

#include "results/ViewerContent.h"

namespace quillery {

// The files of the work folder for the viewer, in listing order, names starting with "."
// left out, each decoded as text; a file that cannot be read has a null text. The files
// are deleted afterwards.
std::vector<ViewerFile> TakeViewerFiles(const std::filesystem::path& workFolder);

}  // namespace quillery
