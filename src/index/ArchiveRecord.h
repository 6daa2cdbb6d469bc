#pragma once

#include <string>
#include <vector>

#include "index/FileIdentity.h"
#include "index/TextSummary.h"

namespace quillery {

// What the index knows of one archive file: the file it was taken from, the extraction call
// it was taken with (everything but the archive's path, as CallKey gives it), that call's
// result, and a summary of each entry the call handed over, in order.
struct ArchiveRecord {
    FileIdentity identity;
    std::string callKey;
    int result = 0;
    std::vector<EntrySummary> entries;

    bool operator==(const ArchiveRecord&) const = default;
};

}  // namespace quillery
