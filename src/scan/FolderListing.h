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
    int error = 0;  // the errno value of why the folder could not be listed (in full), or 0
};

// Lists folder in one pass; false (and an empty listing, with its error) when it cannot be
// opened. A listing that fails part way keeps what it read, with its error. An entry
// whose type the listing does not give, or that is a link, is looked up (links followed).
// keep: receives an open descriptor of the folder, for looking names up in it.
bool ListFolder(const std::filesystem::path& folder, bool allArchives, FolderListing& listing,
                UniqueFd* keep = nullptr);

}  // namespace quillery
