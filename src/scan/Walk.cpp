#include "scan/Walk.h"

#include <fcntl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "archive/ArchiveKinds.h"
#include "archive/Staging.h"
#include "archive/StagingSeries.h"
#include "archive/TargetFiles.h"
#include "archive/UnzipResult.h"
#include "index/FileIdentity.h"
#include "scan/ArchivePipeline.h"
#include "scan/ArchiveProblem.h"
#include "scan/FileMatch.h"
#include "scan/FolderListing.h"
#include "scan/Formats.h"
#include "scan/IndexedExamine.h"
#include "scan/ReaderExaminer.h"
#include "scan/TreeLister.h"
#include "text/ShownPath.h"

namespace quillery {

namespace fs = std::filesystem;

namespace {

// Archives are parsed in sandboxed reader processes, never in this one: no file, however it
// was made, can take the search down (see HACKING.md).
ExaminerFactory ExaminersFor(const RunState& state) {
    return [search = SearchOfRun(state)] { return std::make_unique<ReaderExaminer>(search); };
}

// What the walk does while it waits for a verdict: lets events run; false once the run stops.
bool WaitingGoesOn(ScanContext& ctx) {
    ctx.events.waiting();
    return ctx.state.KeepScanning && !ctx.state.closing;
}

struct WalkRun {
    ScanContext& ctx;
    const TextMatcher matcher;
    // The persistent index, unless the run goes without (declared before the pipeline,
    // which uses it, so that it outlives it).
    std::unique_ptr<RunIndex> index;
    // Lists the tree and examines archives ahead of the walk on the worker threads (whole
    // runs only).
    std::unique_ptr<ArchivePipeline> pipeline;
    // The calls for the walk's archives, and whether they are the pipeline's plan.
    StagingSeries calls;
    bool plannedCall = false;
    // The subfolder option, as the run began (the pipeline lists by it).
    bool includeSubFolders = false;
    // The pattern text as typed; whether its default has been shown where it was typed.
    QString patternText;
    bool defaultShown = false;
    // The examiner of a walk without a pipeline.
    std::unique_ptr<ArchiveExaminer> ownExaminer;
    bool examinerWaits = false;  // whether the walk's examiner lets events run as it waits

    ArchiveExaminer& examiner() {
        if (!pipeline && !ownExaminer) {
            ownExaminer = ExaminersFor(ctx.state)();
        }
        ArchiveExaminer& chosen = pipeline ? pipeline->walkExaminer() : *ownExaminer;
        if (!examinerWaits) {
            chosen.whileWaiting([this] { return WaitingGoesOn(ctx); });
            examinerWaits = true;
        }
        return chosen;
    }
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

// sequence: the archive's number in walk order (with the pipeline).
void ExamineArchive(WalkRun& run, const std::string& path, std::uint64_t sequence,
                    const QString& folderText, int folderFd) {
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
    FileIdentity listed, now;
    // A verdict made ahead that would add a row holds only if the archive is still the file
    // that was examined (a verdict without a row is what an earlier look would have found).
    if (!run.pipeline || !run.pipeline->take(sequence, run.plannedCall, verdict, listed) ||
        (verdict.result == kUnzOk && verdict.matched &&
         (!ReadFileIdentity(path, now, folderFd) || now != listed))) {
        if (RunGoesOn(run)) {
            // A scan never asks a question (no password prompt), so no state is needed here.
            verdict = IndexedExamine(run.calls.call(), run.examiner(), run.index.get());
        } else {
            verdict.result = kUnzCancelled;  // stopped while it was being read
        }
    }
    staging.LastUnzipResult = verdict.result;
    bool told = false;
    if (ctx.listener != nullptr && (!verdict.failure.empty() || verdict.result != kUnzOk)) {
        if (const std::string problem = ArchiveProblem(verdict.result, verdict.failure, path);
            !problem.empty()) {
            told = ctx.listener->problem(path, problem);
        }
    }
    if (!verdict.failure.empty() && !told) {
        ctx.events.notice(QStringLiteral("quillery: ") + PathText(fs::path(path)) +
                          QStringLiteral(": ") + QString::fromStdString(verdict.failure));
    }
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

// Examines the listed archives of one folder in turn. firstArchive: the number in walk order
// of the first. folderFd: an open descriptor of the folder (or AT_FDCWD), in which the
// archives' names are looked up.
void ScanListedArchives(WalkRun& run, const fs::path& folder,
                        const std::vector<std::string>& archives, std::uint64_t firstArchive,
                        int folderFd) {
    ScanContext& ctx = run.ctx;
    const QString folderText = FolderText(folder);
    for (std::size_t i = 0; i < archives.size(); ++i) {
        ctx.events.yieldToEvents();
        if (!RunGoesOn(run)) {
            if (run.pipeline) {
                run.pipeline->skip(TreeLister::Rest::Archives);
            }
            break;
        }
        AnimateBusy(ctx, true);
        ExamineArchive(run, archives[i], firstArchive + i, folderText, folderFd);
    }
    // The state names the last archive staged, as it would after each.
    run.calls.settle(ctx.state.staging);
}

void ScanArchivesOf(WalkRun& run, const fs::path& folder) {
    FolderListing listing;
    UniqueFd folderFd;
    const bool listed = ListFolder(folder, run.ctx.state.staging.allArchives, listing, &folderFd);
    if (listing.error != 0 && run.ctx.listener != nullptr) {
        run.ctx.listener->problem(folder.native(), std::generic_category().message(listing.error));
    }
    if (listed) {
        ScanListedArchives(run, folder, listing.archives, 0,
                           folderFd.get() >= 0 ? folderFd.get() : AT_FDCWD);
    }
}

void Walk(WalkRun& run, const fs::path& folder) {
    ScanContext& ctx = run.ctx;
    ctx.events.yieldToEvents();

    // The pipeline's listing, the one listing of the tree, has the folder next.
    const std::shared_ptr<const ListedFolder> listed = run.pipeline->enter(folder.native());
    if (!listed) {
        return;  // reached again through a link
    }
    const FolderListing& listing = listed->listing;
    if (ctx.listener != nullptr) {
        ctx.listener->folderEntered(folder);
        if (listing.error != 0) {
            ctx.listener->problem(folder.native(), std::generic_category().message(listing.error));
        }
    }

    for (std::size_t i = 0; i < listing.entries; ++i) {
        if (!RunGoesOn(run)) {
            run.pipeline->skip(TreeLister::Rest::Folder);
            return;
        }
        AnimateBusy(ctx, true);
    }
    ScanListedArchives(run, folder, listing.archives, listed->firstArchive,
                       listed->descriptor ? listed->descriptor->get() : AT_FDCWD);
    if (!run.includeSubFolders) {
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
    WalkRun run{ctx,   MatcherForRun(ctx.state),    nullptr,     nullptr, {},
                false, ctx.state.IncludeSubFolders, patternText, false,   nullptr,
                false};
    run.index = IndexForRun(ctx.state, run.matcher);
    ctx.state.IndexAnswers = 0;
    run.pipeline = std::make_unique<ArchivePipeline>(
        ExaminersFor(ctx.state),
        PlannedStagingCall(ctx.state.staging, EffectivePatternText(patternText), {},
                           ctx.state.WorkFolder, false, true),
        folder, run.includeSubFolders, ctx.state.workerThreads, run.index.get());
    // The walk only waits for verdicts, letting events run meanwhile.
    run.pipeline->setWalkExamines(false);
    run.pipeline->setWalkWait([&ctx] { return WaitingGoesOn(ctx); });
    Walk(run, folder);
    run.pipeline.reset();
    if (run.index) {
        SaveRunIndex(*run.index, &ctx.events);
    }
}

void ScanArchives(ScanContext& ctx, const fs::path& folder, const QString& patternText) {
    WalkRun run{ctx,     MatcherForRun(ctx.state),
                nullptr, nullptr,
                {},      false,
                false,   patternText,
                false,   nullptr,
                false};
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
