#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "scan/TreeLister.h"
#include "scan/Walk.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// Where a walk leaves the rest of a folder out, as a stopped run does: right after entering
// it (Folder), or after its first archive (Archives).
struct Leave {
    bool anywhere = false;
    std::string folder;  // relative to the root ("": the root)
    TreeLister::Rest rest = TreeLister::Rest::Folder;

    bool at(const fs::path& root, const fs::path& path) const {
        return anywhere && path == (folder.empty() ? root : root / folder);
    }
};

// The walk done plainly, one folder at a time: "F path" for a folder entered, "R path" for
// one reached again, "A path" for an archive.
class PlainWalk {
  public:
    PlainWalk(const fs::path& root, bool subFolders, Leave leave)
        : root_(root), subFolders_(subFolders), leave_(std::move(leave)) {}

    std::vector<std::string> walk() {
        walk(root_);
        return steps_;
    }

  private:
    void walk(const fs::path& folder) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0 &&
            !visited_.insert({info.st_dev, info.st_ino}).second) {
            steps_.push_back("R " + folder.native());
            return;
        }
        steps_.push_back("F " + folder.native());
        const bool here = leave_.at(root_, folder);
        if (here && leave_.rest == TreeLister::Rest::Folder) {
            return;
        }
        std::vector<fs::path> subfolders;
        std::size_t archives = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().native();
            std::error_code ec;
            if (entry.is_directory(ec) && name[0] != '.') {
                subfolders.push_back(entry.path());
            }
            if (IsArchiveName(name, false) && !(here && archives > 0)) {
                steps_.push_back("A " + entry.path().native());
                ++archives;
            }
        }
        for (const fs::path& sub : subFolders_ ? subfolders : std::vector<fs::path>{}) {
            walk(sub);
        }
    }

    const fs::path root_;
    const bool subFolders_;
    const Leave leave_;
    std::set<std::pair<dev_t, ino_t>> visited_;
    std::vector<std::string> steps_;
};

// The lister run as far ahead as it goes before the walk takes each step; where the walk
// leaves a folder's rest out, what was listed ahead is forgotten and the lister resumes.
std::vector<std::string> ListedWalk(const fs::path& root, bool subFolders, const Leave& leave) {
    TreeLister lister(root, subFolders, false);
    std::deque<TreeStep> ahead;
    const auto listAll = [&] {
        TreeStep step;
        while (lister.next(step)) {
            ahead.push_back(step);
        }
    };
    listAll();
    std::vector<std::string> steps;
    bool archiveSeen = false;
    std::uint64_t lastSequence = 0;
    bool leaving = false;
    while (!ahead.empty()) {
        const TreeStep step = ahead.front();
        ahead.pop_front();
        if (step.kind == TreeStep::Kind::Folder) {
            lister.taken(step);
            steps.push_back((step.folder ? "F " : "R ") + step.path);
            leaving = step.folder && leave.at(root, step.path);
            if (leaving && leave.rest == TreeLister::Rest::Archives) {
                continue;  // after its first archive
            }
        } else {
            steps.push_back("A " + step.path);
            // Numbered in walk order, each its folder's listing's in turn.
            EXPECT_TRUE(!archiveSeen || step.sequence > lastSequence) << step.path;
            EXPECT_EQ(step.folder->listing.archives.at(step.sequence - step.folder->firstArchive),
                      step.path);
            archiveSeen = true;
            lastSequence = step.sequence;
        }
        if (leaving) {
            leaving = false;
            std::vector<TreeStep> untaken;
            for (const TreeStep& later : ahead) {
                if (later.kind == TreeStep::Kind::Folder) {
                    untaken.push_back(later);
                }
            }
            ahead.clear();
            lister.resume(leave.rest, untaken);
            listAll();
        }
    }
    return steps;
}

TEST(TreeListerTest, ListsTheTreeInTheOrderOfAPlainWalk) {
    TempDir root;
    for (const char* file :
         {"a.zip", "b.ZIP", "notes.txt", ".hidden/h.zip", "p/p1.zip", "p/p2.zip", "p/q/q.zip",
          "r/r1.zip", "r/r2.zip", "r/s/s.zip", "folder.zip/inner.zip", "deep/er/still/d.zip"}) {
        fs::create_directories((root / file).parent_path());
        WriteFileBytes(root / file, "");
    }
    fs::create_directories(root / "empty" / "emptier");
    // A loop back to the root, and each of two folders linked from the other's subfolder, so
    // that whichever is listed first, the later one reaches into the earlier one's tree.
    fs::create_directory_symlink(root.path(), root / "deep" / "loop");
    fs::create_directory_symlink(root / "r" / "s", root / "p" / "to-s");
    fs::create_directory_symlink(root / "p" / "q", root / "r" / "to-q");

    using Rest = TreeLister::Rest;
    const struct {
        const char* name;
        bool subFolders;
        Leave leave;
    } cases[] = {
        {"whole tree", true, {}},
        {"top folder only", false, {}},
        {"leaving p", true, {true, "p", Rest::Folder}},
        {"leaving r", true, {true, "r", Rest::Folder}},
        {"leaving p's later archives", true, {true, "p", Rest::Archives}},
        {"leaving the root's later archives", true, {true, "", Rest::Archives}},
        {"leaving the root's later archives, top folder only", false, {true, "", Rest::Archives}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ListedWalk(root.path(), c.subFolders, c.leave),
                  PlainWalk(root.path(), c.subFolders, c.leave).walk());
    }
}

}  // namespace
}  // namespace quillery::test
