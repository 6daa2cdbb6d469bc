#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/UniqueFd.h"

namespace quillery {

// One folder's entries as a walk takes them, in the order the folder lists them.
struct FolderListing {
    std::vector<std::filesystem::path> subfolders;  // names not starting with "."; links too
    std::vector<std::string> archives;              // names IsArchiveName takes (paths)
    std::size_t entries = 0;                        // every entry listed
};

// Lists folder in one pass; false (and an empty listing) when it cannot be opened. An entry
// whose type the listing does not give, or that is a link, is looked up (links followed).
// keep: receives an open descriptor of the folder, for looking names up in it.
bool ListFolder(const std::filesystem::path& folder, bool allArchives, FolderListing& listing,
                UniqueFd* keep = nullptr);

}  // namespace quillery
