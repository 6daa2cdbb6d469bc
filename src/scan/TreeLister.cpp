#include "scan/TreeLister.h"

#include <sys/stat.h>

#include <cassert>
#include <utility>

namespace quillery {

namespace fs = std::filesystem;

TreeLister::TreeLister(fs::path root, bool includeSubFolders, bool allArchives)
    : root_(std::move(root)), subFolders_(includeSubFolders), allArchives_(allArchives) {}

bool TreeLister::next(TreeStep& step) {
    if (!rootGiven_) {
        rootGiven_ = true;
        enter(root_, 0, step);
        return true;
    }
    while (!stack_.empty()) {
        Frame& frame = stack_.back();
        const ListedFolder& listed = *frame.folder;
        if (frame.nextArchive < listed.listing.archives.size()) {
            step.kind = TreeStep::Kind::Archive;
            step.path = listed.listing.archives[frame.nextArchive];
            step.depth = stack_.size() - 1;
            step.folder = frame.folder;
            step.sequence = listed.firstArchive + frame.nextArchive;
            step.identified = false;
            ++frame.nextArchive;
            return true;
        }
        if (subFolders_ && frame.nextSub < listed.listing.subfolders.size()) {
            // The listing outlives the frame, which enter may move.
            const fs::path& sub = listed.listing.subfolders[frame.nextSub++];
            enter(sub, stack_.size(), step);
            return true;
        }
        stack_.pop_back();
    }
    return false;
}

void TreeLister::enter(const fs::path& folder, std::size_t depth, TreeStep& step) {
    step.kind = TreeStep::Kind::Folder;
    step.path = folder.native();
    step.depth = depth;
    step.folder = nullptr;
    step.sequence = 0;
    struct stat info {};
    step.identified = ::stat(folder.c_str(), &info) == 0;
    step.id = {info.st_dev, info.st_ino};
    if (step.identified && !visited_.insert(step.id).second) {
        return;  // reached again through a link
    }
    auto listed = std::make_shared<ListedFolder>();
    UniqueFd folderFd;
    const bool keep = *descriptors_ < kMostFolderDescriptors;
    ListFolder(folder, allArchives_, listed->listing, keep ? &folderFd : nullptr);
    if (folderFd.valid()) {
        ++*descriptors_;
        listed->descriptor = std::shared_ptr<const UniqueFd>(
            new UniqueFd(std::move(folderFd)), [count = descriptors_](const UniqueFd* fd) {
                delete fd;
                --*count;
            });
    }
    listed->firstArchive = nextSequence_;
    nextSequence_ += listed->listing.archives.size();
    stack_.push_back({listed});
    step.folder = std::move(listed);
}

void TreeLister::taken(const TreeStep& folder) {
    assert(folder.kind == TreeStep::Kind::Folder);
    // The parent of a folder is the last folder taken one level up, and is still walked.
    assert(folder.depth == 0 ? walked_.empty() : walked_.size() >= folder.depth);
    while (walked_.size() > folder.depth) {
        walked_.pop_back();
    }
    if (!walked_.empty()) {
        ++walked_.back().nextSub;
    }
    if (folder.folder) {
        walked_.push_back({folder.folder, folder.folder->listing.archives.size()});
    }
}

void TreeLister::resume(Rest rest, const std::vector<TreeStep>& untaken) {
    assert(rootGiven_ && !walked_.empty());
    for (const TreeStep& step : untaken) {
        assert(step.kind == TreeStep::Kind::Folder);
        if (step.folder && step.identified) {
            visited_.erase(step.id);
        }
    }
    if (rest == Rest::Folder) {
        walked_.pop_back();
    }
    stack_ = walked_;
}

}  // namespace quillery
