#include "archive/TargetPlace.h"

#include <algorithm>

#include "archive/EntryPath.h"

namespace quillery {

std::vector<std::string> TargetParts(const std::string& entryName, const UnzipOptions& options) {
    std::vector<std::string> parts = SafeEntryComponents(entryName);
    if (!options.recreateFolders && parts.size() > 1) {
        parts.erase(parts.begin(), parts.end() - 1);
    }
    if (options.spaceToUnderscore) {
        for (std::string& part : parts) {
            std::replace(part.begin(), part.end(), ' ', '_');
        }
    }
    return parts;
}

std::string JoinPath(const std::vector<std::string>& parts) {
    std::string joined;
    for (const std::string& part : parts) {
        if (!joined.empty()) {
            joined += '/';
        }
        joined += part;
    }
    return joined;
}

TargetPlace PlaceTarget(int rootFd, const std::string& entryName,
                        std::optional<std::time_t> entryTime, const UnzipOptions& options,
                        const UnzipCallbacks& callbacks, const SayFunction& say) {
    TargetPlace place;
    std::vector<std::string> parts = TargetParts(entryName, options);
    if (parts.empty()) {
        say("   skipping: " + entryName + "  (no usable name)\n", kProblem);
        place.code = Outcome::kWarning;
        return place;
    }
    place.shown = (options.extractFolder / JoinPath(parts)).string();
    place.fileName = parts.back();
    parts.pop_back();

    // Freshening never creates anything new, folders included.
    switch (OpenFolder(rootFd, parts, !options.freshenExisting, place.folder)) {
        case FolderWalk::kOpened:
            break;
        case FolderWalk::kMissing:
            place.code = Outcome::kOk;
            return place;
        case FolderWalk::kBlocked:
            say("error: cannot create folder for " + place.shown + "\n", kProblem);
            place.code = Outcome::kWriteFailed;
            return place;
    }

    std::time_t existingTime = 0;
    place.existing = InspectNode(place.folder.get(), place.fileName, &existingTime);
    if (place.existing == NodeKind::kNone) {
        place.code = Outcome::kOk;
        place.write = !options.freshenExisting;
        return place;
    }
    if (options.extractOnlyNewer && entryTime && existingTime >= *entryTime) {
        place.code = Outcome::kOk;
        return place;
    }
    if (!options.overwriteExisting) {
        const int answer = options.promptToOverwrite && callbacks.replace
                               ? callbacks.replace(entryName)
                               : kReplaceNo;
        if (answer == kReplaceCancel) {
            place.code = Outcome::kCancelled;
            return place;
        }
        if (answer != kReplaceYes) {
            say("   skipping: " + place.shown + "  (exists)\n", kProgress);
            place.code = Outcome::kOk;
            return place;
        }
    }
    if (place.existing == NodeKind::kFolder) {
        say("error: " + place.shown + " is a folder\n", kProblem);
        place.code = Outcome::kWriteFailed;
        return place;
    }
    place.write = true;
    return place;
}

}  // namespace quillery
