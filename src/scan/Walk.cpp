#include "scan/Walk.h"

#include <sys/stat.h>

#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "archive/Staging.h"
#include "archive/UnzipResult.h"
#include "results/ShownPath.h"
#include "scan/FileMatch.h"
#include "scan/Formats.h"
#include "scan/MatchingSink.h"

namespace quillery {

namespace fs = std::filesystem;

namespace {

// Identity of a folder on disk, to walk each real folder once.
using FolderId = std::pair<dev_t, ino_t>;

struct WalkRun {
    ScanContext& ctx;
    const TextMatcher matcher;
    std::set<FolderId> visited;
};

bool IsArchiveName(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    const std::string tail = name.substr(name.size() - 4);
    return tail[0] == '.' && (tail[1] == 'z' || tail[1] == 'Z') &&
           (tail[2] == 'i' || tail[2] == 'I') && (tail[3] == 'p' || tail[3] == 'P');
}

bool RunGoesOn(const ScanContext& ctx) {
    return ctx.state.KeepScanning && !ctx.state.closing;
}

QString FolderText(const fs::path& folder) {
    QString text = PathText(folder);
    if (!text.endsWith(PathSeparator())) {
        text += PathSeparator();
    }
    return text;
}

void ExamineArchive(WalkRun& run, const fs::directory_entry& entry, const QString& folderText) {
    ScanContext& ctx = run.ctx;
    MatchingSink sink(run.matcher);
    const int result = StageArchive(ctx.state.staging, ctx.view, ctx.questions, entry.path(),
                                    ctx.state.WorkFolder, true, false, &sink);
    if (result == kUnzOk && sink.matched()) {
        ++ctx.state.FilesFound;
        ctx.view.setFoundCount(FormatCounter(ctx.state.FilesFound));
        ResultRow row;
        row.fileName = ShownFileName(PathText(entry.path().filename()));
        row.filePath = ShownFolder(folderText);
        row.archive = entry.path();
        if (ctx.view.optionChecked(OptionBox::ShowSize)) {
            std::error_code ec;
            const std::uintmax_t size = entry.file_size(ec);
            row.fileSize = FormatSizeKB(ec ? 0 : size);
        }
        ctx.view.addResultRow(row);
    }
    ++ctx.state.FilesChecked;
    ctx.view.setCheckedCount(FormatCounter(ctx.state.FilesChecked));
}

void ScanArchivesOf(WalkRun& run, const fs::path& folder) {
    ScanContext& ctx = run.ctx;
    const QString folderText = FolderText(folder);
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        return;
    }
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        if (!IsArchiveName(it->path().filename().string())) {
            continue;
        }
        ctx.view.yieldToEvents();
        if (!RunGoesOn(ctx)) {
            return;
        }
        AnimateBusy(ctx, true);
        ExamineArchive(run, *it, folderText);
    }
}

void Walk(WalkRun& run, const fs::path& folder) {
    ScanContext& ctx = run.ctx;
    ctx.view.yieldToEvents();

    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 &&
        !run.visited.insert({info.st_dev, info.st_ino}).second) {
        return;  // reached again through a link
    }

    std::vector<fs::path> subfolders;
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        if (!RunGoesOn(ctx)) {
            return;
        }
        AnimateBusy(ctx, true);
        std::error_code typeError;
        const std::string name = it->path().filename().string();
        if (it->is_directory(typeError) && !name.empty() && name[0] != '.') {
            subfolders.push_back(it->path());
        }
    }
    ScanArchivesOf(run, folder);
    if (!ctx.state.IncludeSubFolders) {
        return;
    }
    for (const fs::path& sub : subfolders) {
        Walk(run, sub);
        AnimateBusy(ctx, true);
    }
}

}  // namespace

void ScanFolder(ScanContext& ctx, const fs::path& folder) {
    WalkRun run{ctx, MatcherForRun(ctx.state), {}};
    Walk(run, folder);
}

void ScanArchives(ScanContext& ctx, const fs::path& folder) {
    WalkRun run{ctx, MatcherForRun(ctx.state), {}};
    ScanArchivesOf(run, folder);
}

void AnimateBusy(ScanContext& ctx, bool running) {
    if (!running) {
        ctx.view.showBusyFrame(0);
        return;
    }
    ctx.view.showBusyFrame(ctx.state.animationFrame);
    ctx.state.animationFrame = (ctx.state.animationFrame + 1) % 4;
}

}  // namespace quillery
