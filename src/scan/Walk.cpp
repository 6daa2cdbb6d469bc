#include "scan/Walk.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "archive/ArchiveKinds.h"
#include "archive/Staging.h"
#include "archive/StagingSeries.h"
#include "archive/TargetFiles.h"
#include "archive/UnzipResult.h"
#include "scan/ArchivePipeline.h"
#include "scan/FileMatch.h"
#include "scan/FolderListing.h"
#include "scan/Formats.h"
#include "scan/IndexedExamine.h"
#include "text/ShownPath.h"

namespace quillery {

namespace fs = std::filesystem;

namespace {

// Identity of a folder on disk, to walk each real folder once.
using FolderId = std::pair<dev_t, ino_t>;

struct WalkRun {
    ScanContext& ctx;
    const TextMatcher matcher;
    std::set<FolderId> visited;
    // The persistent index, unless the run goes without (declared before the pipeline,
    // which uses it, so that it outlives it).
    std::unique_ptr<RunIndex> index;
    // Examines archives ahead of the walk on the worker threads (whole runs only).
    std::unique_ptr<ArchivePipeline> pipeline;
    // The calls for the walk's archives, and whether they are the pipeline's plan.
    StagingSeries calls;
    bool plannedCall = false;
    // The pattern text as typed; whether its default has been shown where it was typed.
    QString patternText;
    bool defaultShown = false;
};

// Whether the run goes on; when it does not, nothing is examined ahead any more.
bool RunGoesOn(WalkRun& run) {
    const bool goesOn = run.ctx.state.KeepScanning && !run.ctx.state.closing;
    if (!goesOn && run.pipeline) {
        run.pipeline->stop();
    }
    return goesOn;
}

QString FolderText(const fs::path& folder) {
    QString text = PathText(folder);
    if (!text.endsWith(PathSeparator())) {
        text += PathSeparator();
    }
    return text;
}

void ExamineArchive(WalkRun& run, const std::string& path, const QString& folderText,
                    int folderFd) {
    ScanContext& ctx = run.ctx;
    StagingState& staging = ctx.state.staging;
    ctx.events.checking(path);
    run.calls.next(staging, run.patternText, path, ctx.state.WorkFolder);
    if (run.calls.renewed() && run.patternText.isEmpty() && !run.defaultShown) {
        ctx.events.patternTextSet(kDefaultPatternText);
        run.defaultShown = true;
    }
    if (run.calls.renewed() && run.pipeline) {
        StagingCall planned = run.pipeline->plan();
        planned.options.zipFileName = path;
        run.plannedCall = planned == run.calls.call();
    }
    ArchiveVerdict verdict;
    FileStamp listed;
    // A verdict made ahead that would add a row holds only if the archive is still the file
    // that was examined (a verdict without a row is what an earlier look would have found).
    if (!run.pipeline || !run.pipeline->take(path, run.plannedCall, verdict, listed) ||
        (verdict.result == kUnzOk && verdict.matched && StampOf(path, folderFd) != listed)) {
        // A scan never asks a question (no password prompt), so no state is needed here.
        verdict = IndexedExamine(run.calls.call(), run.matcher, run.index.get());
    }
    staging.LastUnzipResult = verdict.result;
    if (verdict.fromIndex) {
        ++ctx.state.IndexAnswers;
    }
    const bool matched = verdict.result == kUnzOk && verdict.matched;
    if (matched) {
        const fs::path archive(path);
        ++ctx.state.FilesFound;
        ctx.events.counts(ctx.state.FilesChecked, ctx.state.FilesFound);
        FoundArchive found;
        found.fileName = ShownFileName(PathText(archive.filename()));
        found.filePath = ShownFolder(folderText);
        found.archive = archive;
        ctx.events.archiveFound(found);
    }
    ++ctx.state.FilesChecked;
    ctx.events.counts(ctx.state.FilesChecked, ctx.state.FilesFound);
    if (ctx.listener != nullptr) {
        ctx.listener->archiveDecided(path, matched);
    }
}

// Examines the listed archives of one folder in turn. folderFd: an open descriptor of the
// folder (or AT_FDCWD), in which the archives' names are looked up.
void ScanListedArchives(WalkRun& run, const fs::path& folder,
                        const std::vector<std::string>& archives, int folderFd) {
    ScanContext& ctx = run.ctx;
    const QString folderText = FolderText(folder);
    for (const std::string& archive : archives) {
        ctx.events.yieldToEvents();
        if (!RunGoesOn(run)) {
            break;
        }
        AnimateBusy(ctx, true);
        ExamineArchive(run, archive, folderText, folderFd);
    }
    // The state names the last archive staged, as it would after each.
    run.calls.settle(ctx.state.staging);
}

void ScanArchivesOf(WalkRun& run, const fs::path& folder) {
    FolderListing listing;
    UniqueFd folderFd;
    if (ListFolder(folder, run.ctx.state.staging.allArchives, listing, &folderFd)) {
        ScanListedArchives(run, folder, listing.archives,
                           folderFd.get() >= 0 ? folderFd.get() : AT_FDCWD);
    }
}

void Walk(WalkRun& run, const fs::path& folder) {
    ScanContext& ctx = run.ctx;
    ctx.events.yieldToEvents();

    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 &&
        !run.visited.insert({info.st_dev, info.st_ino}).second) {
        return;  // reached again through a link
    }
    if (ctx.listener != nullptr) {
        ctx.listener->folderEntered(folder);
    }

    // One listing serves the subfolders and the archives: the pool's, when it listed the
    // folder already, else the walk's own.
    const std::shared_ptr<const ListedFolder> listed =
        run.pipeline ? run.pipeline->takeListing(folder.native()) : nullptr;
    FolderListing own;
    UniqueFd ownFd;
    if (!listed) {
        ListFolder(folder, ctx.state.staging.allArchives, own, &ownFd);
    }
    const FolderListing& listing = listed ? listed->listing : own;
    const UniqueFd* folderFd = listed ? listed->descriptor.get() : &ownFd;
    for (std::size_t i = 0; i < listing.entries; ++i) {
        if (!RunGoesOn(run)) {
            return;
        }
        AnimateBusy(ctx, true);
    }
    ScanListedArchives(run, folder, listing.archives,
                       folderFd != nullptr && folderFd->valid() ? folderFd->get() : AT_FDCWD);
    if (!ctx.state.IncludeSubFolders) {
        return;
    }
    for (const fs::path& sub : listing.subfolders) {
        Walk(run, sub);
        AnimateBusy(ctx, true);
    }
}

}  // namespace

bool IsArchiveName(const std::string& name, bool allArchives) {
    return IsZipName(name) || (allArchives && IsOtherArchiveName(name));
}

void ScanFolder(ScanContext& ctx, const fs::path& folder, const QString& patternText) {
    WalkRun run{ctx, MatcherForRun(ctx.state), {}, nullptr, nullptr, {}, false, patternText};
    run.index = IndexForRun(ctx.state, run.matcher);
    ctx.state.IndexAnswers = 0;
    run.pipeline = std::make_unique<ArchivePipeline>(
        run.matcher,
        PlannedStagingCall(ctx.state.staging, EffectivePatternText(patternText), {},
                           ctx.state.WorkFolder, false, true),
        folder, ctx.state.IncludeSubFolders, ctx.state.workerThreads, run.index.get());
    Walk(run, folder);
    run.pipeline.reset();
    if (run.index) {
        SaveRunIndex(*run.index, &ctx.events);
    }
}

void ScanArchives(ScanContext& ctx, const fs::path& folder, const QString& patternText) {
    WalkRun run{ctx, MatcherForRun(ctx.state), {}, nullptr, nullptr, {}, false, patternText};
    ScanArchivesOf(run, folder);
}

void AnimateBusy(ScanContext& ctx, bool running) {
    if (!running) {
        ctx.events.busyFrame(0);
        return;
    }
    ctx.events.busyFrame(ctx.state.animationFrame);
    ctx.state.animationFrame = (ctx.state.animationFrame + 1) % 4;
}

}  // namespace quillery
