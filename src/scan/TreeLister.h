#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "archive/UniqueFd.h"
#include "scan/FolderListing.h"

namespace quillery {

// A folder as the lister listed it: its entries, an open descriptor of it (null when it could
// not be kept) and the number in walk order of its first archive (the others follow it).
struct ListedFolder {
    FolderListing listing;
    std::shared_ptr<const UniqueFd> descriptor;
    std::uint64_t firstArchive = 0;
};

// One step of the walk over a tree.
struct TreeStep {
    enum class Kind { Folder, Archive };
    Kind kind = Kind::Folder;
    std::string path;       // of the folder or the archive
    std::size_t depth = 0;  // of the folder (the root's is 0); of the archive's folder
    // Folder: its listing, or null when it is a folder walked before (reached again through a
    // link). Archive: its folder's.
    std::shared_ptr<const ListedFolder> folder;
    std::uint64_t sequence = 0;  // archive: its number in walk order
    // Folder: its identity on disk, when it could be read.
    bool identified = false;
    std::pair<dev_t, ino_t> id{};
};

// Lists a tree once, in the walk's order: a folder, then its archives in listing order, then,
// with the subfolder option, each subfolder's tree in listing order (names not starting with
// "." only); every real folder is listed once, and a folder reached again through a link is a
// step without a listing. The lister may run ahead of the walk (next), while the walk tells
// it which folder steps it took (taken); next is used by one thread at a time, taken by
// another, and resume by no other at the same time.
class TreeLister {
  public:
    // What the walk leaves out of the folder it took last.
    enum class Rest {
        Archives,  // the archives it has not examined yet; its subfolders follow
        Folder,    // everything it has not examined yet, subfolders too
    };

    // Folder descriptors that listings keep open at once, at most. A listing holds its folder's
    // descriptor until the walk is done with the folder; without a bound, a tree of many
    // folders listed ahead would hold one for each and run into the limit of open files (1024
    // on most desktops), so that archives, folders and the index could no longer be opened.
    // Listings beyond it keep no descriptor: their archives are found by path.
    static constexpr int kMostFolderDescriptors = 128;

    TreeLister(std::filesystem::path root, bool includeSubFolders, bool allArchives);

    // The next step after those given so far; false when the tree is done.
    bool next(TreeStep& step);
    // The walk took this folder step; folder steps are taken in the order next gave them.
    void taken(const TreeStep& folder);
    // Lists on from where the walk is, leaving rest of the folder it took last out. untaken:
    // the folder steps given but not taken, in order (they are forgotten, so their folders
    // count as not reached yet). Archive numbers go on from the highest one given.
    void resume(Rest rest, const std::vector<TreeStep>& untaken);

  private:
    struct Frame {
        std::shared_ptr<const ListedFolder> folder;
        std::size_t nextArchive = 0, nextSub = 0;
    };

    void enter(const std::filesystem::path& folder, std::size_t depth, TreeStep& step);

    const std::filesystem::path root_;
    const bool subFolders_;
    const bool allArchives_;
    bool rootGiven_ = false;
    std::uint64_t nextSequence_ = 0;
    std::vector<Frame> stack_;  // where next is
    std::set<std::pair<dev_t, ino_t>> visited_;
    // Where the walk is: the folders it is in, their archives counted as done (they are when
    // the lister resumes from there).
    std::vector<Frame> walked_;
    // The descriptors of listings alive, wherever they are (released on any thread).
    std::shared_ptr<std::atomic<int>> descriptors_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace quillery
