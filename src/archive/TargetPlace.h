#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/Outcome.h"
#include "archive/TargetFiles.h"
#include "archive/UnzipCallbacks.h"
#include "archive/UnzipOptions.h"

namespace quillery {

// Message levels of the extractions: progress lines show at quiet level 0, problems up to 1.
constexpr int kProgress = 0;
constexpr int kProblem = 1;
using SayFunction = std::function<void(const std::string& text, int level)>;

// The parts of an entry's path under the target folder, as the options shape it: only the
// components that stay inside, the last one alone without recreated folders, blanks made
// underscores when asked.
std::vector<std::string> TargetParts(const std::string& entryName, const UnzipOptions& options);
// The parts joined with "/".
std::string JoinPath(const std::vector<std::string>& parts);

// Where an entry's file is written, once the options and the replace question have had their
// say. write: the file is to be written into folder as fileName over existing (what stands
// there now); otherwise code is the entry's result.
struct TargetPlace {
    bool write = false;
    Outcome code = Outcome::kOk;
    UniqueFd folder;
    std::string fileName;
    std::string shown;  // the file's path under the target, for messages
    NodeKind existing = NodeKind::kNone;
};
// rootFd: the target folder; entryTime: the entry's modification time, when known.
TargetPlace PlaceTarget(int rootFd, const std::string& entryName,
                        std::optional<std::time_t> entryTime, const UnzipOptions& options,
                        const UnzipCallbacks& callbacks, const SayFunction& say);

}  // namespace quillery
