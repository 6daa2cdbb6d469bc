#include "archive/Extraction.h"

#include <algorithm>
#include <cassert>
#include <ctime>
#include <memory>

#include "archive/LibarchiveReader.h"
#include "archive/NamePattern.h"
#include "archive/TargetPlace.h"
#include "archive/ZipReader.h"

namespace quillery {

namespace {

constexpr auto Discard = [](const char*, std::size_t) { return Outcome::kOk; };

}  // namespace

Outcome Extraction::run(ArchiveReader& reader) {
    if (options_.zipFileName.empty() || (writesFiles() && options_.extractFolder.empty())) {
        return Outcome::kBadOptions;
    }
    reader_ = &reader;
    if (const Outcome opened = reader.open(); opened != Outcome::kOk) {
        return opened;
    }
    if (context_.reporter.speaks(kProgress)) {
        say("Archive:  " + options_.zipFileName.string() + "\n", kProgress);
    }
    if (options_.displayComment && callbacks_.print) {
        if (const std::string comment = reader.comment(); !comment.empty()) {
            callbacks_.print(comment + "\n");
        }
    }
    return reader.traits().indexed ? runIndexed() : runInOnePass();
}

Outcome Extraction::runIndexed() {
    std::vector<ArchiveEntry> entries;
    for (ArchiveEntry entry; reader_->next(entry);) {
        if (isChosen(entry)) {
            entries.push_back(std::move(entry));
        }
    }
    if (const Outcome failure = reader_->failure(); failure != Outcome::kOk) {
        return failure;
    }
    const bool anyFile = std::any_of(entries.begin(), entries.end(),
                                     [](const ArchiveEntry& e) { return !e.folder; });
    if (!include_.empty() && !anyFile) {
        say("caution: no entry matched\n", kProblem);
        return Outcome::kNoMatch;
    }
    if (options_.listContents) {
        for (const ArchiveEntry& entry : entries) {
            list(entry);
        }
        return Outcome::kOk;
    }
    if (writesFiles() && !openRoot()) {
        return Outcome::kWriteFailed;
    }
    Outcome result = Outcome::kOk;
    for (const ArchiveEntry& entry : entries) {
        if (!Record(result, extract(entry))) {
            break;
        }
    }
    return result;
}

Outcome Extraction::runInOnePass() {
    if (writesFiles() && !openRoot()) {
        return Outcome::kWriteFailed;
    }
    Outcome result = Outcome::kOk;
    bool anyFile = false;
    for (ArchiveEntry entry; reader_->next(entry);) {
        if (!isChosen(entry)) {
            continue;
        }
        anyFile = anyFile || !entry.folder;
        if (options_.listContents) {
            if (!entry.folder) {
                list(entry);
            }
            continue;
        }
        if (!Record(result, extract(entry))) {
            break;
        }
    }
    Record(result, reader_->failure());
    if (result == Outcome::kOk && !include_.empty() && !anyFile) {
        say("caution: no entry matched\n", kProblem);
        return Outcome::kNoMatch;
    }
    return result;
}

bool Extraction::isSelected(const std::string& name) const {
    const bool ignoreCase = options_.caseInsensitiveNames != 0;
    const auto matches = [&](const std::string& pattern) {
        return MatchNamePattern(pattern, name, ignoreCase);
    };
    if (!include_.empty() && std::none_of(include_.begin(), include_.end(), matches)) {
        return false;
    }
    return std::none_of(exclude_.begin(), exclude_.end(), matches);
}

bool Extraction::isChosen(const ArchiveEntry& entry) const {
    return !entry.special &&
           (isSelected(entry.name) || (!entry.folder && OpensAsInnerArchive(options_, entry.name)));
}

bool Extraction::openRoot() {
    root_ = OpenTargetRoot(options_.extractFolder);
    if (!root_.valid()) {
        say("error: cannot create folder " + options_.extractFolder.string() + "\n", kProblem);
        return false;
    }
    return true;
}

void Extraction::list(const ArchiveEntry& entry) const {
    if (!callbacks_.message) {
        return;
    }
    EntryListing line;
    line.name = entry.name;
    line.size = entry.size;
    line.compressedSize = entry.compressedSize;
    line.crc = entry.crc;
    line.method = entry.method;
    line.encrypted = entry.encrypted;
    std::tm local{};
    if (entry.mtime && localtime_r(&*entry.mtime, &local) != nullptr) {
        line.year = local.tm_year + 1900;
        line.month = local.tm_mon + 1;
        line.day = local.tm_mday;
        line.hour = local.tm_hour;
        line.minute = local.tm_min;
    }
    callbacks_.message(line);
}

Outcome Extraction::extract(const ArchiveEntry& entry) {
    if (entry.folder) {
        return writesFiles() && options_.recreateFolders ? makeFolder(entry) : Outcome::kOk;
    }
    if (callbacks_.service && callbacks_.service(entry.name, entry.size) != 0) {
        return Outcome::kCancelled;
    }
    if (entry.sizeKnown && !context_.limit.allows(entry.size)) {
        say("error: " + entry.name + " is too large\n", kProblem);
        return Outcome::kTooLarge;
    }
    if (OpensAsInnerArchive(options_, entry.name)) {
        return openInner(entry);
    }
    if (options_.testOnly) {
        return test(entry);
    }
    if (options_.writeToStdout) {
        return stream(entry);
    }
    return write(entry);
}

Outcome Extraction::makeFolder(const ArchiveEntry& entry) {
    const std::vector<std::string> parts = TargetParts(entry.name, options_);
    if (parts.empty() || options_.freshenExisting) {
        return Outcome::kOk;
    }
    const std::string shown = (options_.extractFolder / JoinPath(parts)).string();
    UniqueFd folder;
    if (OpenFolder(root_.get(), parts, true, folder) != FolderWalk::kOpened) {
        say("error: cannot create folder " + shown + "\n", kProblem);
        return Outcome::kWriteFailed;
    }
    if (reader_->traits().announcesFolders) {
        say("   creating: " + shown + "/\n", kProgress);
    }
    return Outcome::kOk;
}

Outcome Extraction::readEntry(const ArchiveEntry& entry, const ByteConsumer& consume) {
    std::uint64_t total = 0;
    const Outcome outcome = reader_->read(entry, [&](const char* data, std::size_t size) {
        total += size;
        if (!context_.limit.allows(total)) {
            say("error: " + entry.name + " is too large\n", kProblem);
            return Outcome::kTooLarge;
        }
        return consume(data, size);
    });
    context_.limit.charge(total);
    return outcome;
}

Outcome Extraction::test(const ArchiveEntry& entry) {
    if (const Outcome prepared = reader_->prepare(entry); prepared != Outcome::kOk) {
        return prepared;
    }
    const Outcome outcome = readEntry(entry, Discard);
    const bool good = outcome == Outcome::kOk;
    const int level = good ? kProgress : kProblem;
    if (context_.reporter.speaks(level)) {
        say("    testing: " + entry.name + (good ? "   OK\n" : "   bad\n"), level);
    }
    return outcome;
}

Outcome Extraction::stream(const ArchiveEntry& entry) {
    if (const Outcome prepared = reader_->prepare(entry); prepared != Outcome::kOk) {
        return prepared;
    }
    EntrySink* sink = callbacks_.output;
    if (sink == nullptr) {
        return readEntry(entry, [this](const char* data, std::size_t size) {
            if (callbacks_.print) {
                callbacks_.print(std::string_view(data, size));
            }
            return Outcome::kOk;
        });
    }
    sink->begin(EntryInfo{entry.name, entry.size, options_.zipFileName.native()});
    const Outcome outcome = readEntry(entry, [sink](const char* data, std::size_t size) {
        return sink->write(data, size) ? Outcome::kOk : Outcome::kCancelled;
    });
    sink->end(outcome == Outcome::kOk);
    return outcome;
}

Outcome Extraction::write(const ArchiveEntry& entry) {
    const TargetPlace place =
        PlaceTarget(root_.get(), entry.name, entry.mtime, options_, callbacks_,
                    [this](const std::string& text, int level) { say(text, level); });
    if (!place.write) {
        return place.code;
    }
    const int folder = place.folder.get();
    const std::string& shown = place.shown;

    // Prepare the entry before touching the old file: a skipped password leaves it alone.
    if (const Outcome prepared = reader_->prepare(entry); prepared != Outcome::kOk) {
        return prepared;
    }
    UniqueFd out;
    bool blocked = false;
    // Symbolic-link entries land here too and become ordinary files holding the link text.
    const auto create = [&]() {
        if (!out.valid() && !blocked) {
            blocked = (place.existing != NodeKind::kNone && !RemoveNode(folder, place.fileName)) ||
                      !(out = CreateNewFile(folder, place.fileName)).valid();
        }
        return out.valid();
    };
    if (reader_->traits().createsBeforeReading) {
        if (place.existing != NodeKind::kNone && !RemoveNode(folder, place.fileName)) {
            say("error: cannot replace " + shown + "\n", kProblem);
            return Outcome::kWriteFailed;
        }
        out = CreateNewFile(folder, place.fileName);
        if (!out.valid()) {
            say("error: cannot create " + shown + "\n", kProblem);
            return Outcome::kWriteFailed;
        }
    }
    if (context_.reporter.speaks(kProgress)) {
        say((entry.stored ? " extracting: " : "  inflating: ") + shown + "\n", kProgress);
    }
    Outcome outcome = readEntry(entry, [&](const char* data, std::size_t size) {
        return create() && WriteAll(out.get(), data, size) ? Outcome::kOk : Outcome::kWriteFailed;
    });
    if (outcome == Outcome::kOk && !create()) {
        outcome = Outcome::kWriteFailed;
    }
    if (out.valid()) {
        if (outcome == Outcome::kOk && entry.mtime) {
            SetFileTime(out.get(), *entry.mtime);
        }
        if (!out.reset() && outcome == Outcome::kOk) {
            outcome = Outcome::kWriteFailed;
        }
        if (outcome != Outcome::kOk) {
            RemoveNode(folder, place.fileName);
        }
    }
    if (outcome == Outcome::kWriteFailed) {
        say("error: cannot write " + shown + "\n", kProblem);
    }
    return outcome;
}

Outcome Extraction::openInner(const ArchiveEntry& entry) {
    const ArchiveSource& source = context_.source;
    if (source.depth >= kMaxNestDepth) {
        say("   skipping: " + entry.name + "  (nested too deep)\n", kProblem);
        return Outcome::kOk;
    }
    const std::uint64_t held = source.budget != nullptr ? source.budget->held : 0;
    const std::string tooLargeText =
        "   skipping: " + entry.name + "  (too large to open inside an archive)\n";
    if (entry.sizeKnown && held + entry.size > kNestedArchiveBytes) {
        say(tooLargeText, kProblem);
        return Outcome::kOk;
    }
    if (const Outcome prepared = reader_->prepare(entry); prepared != Outcome::kOk) {
        return prepared;
    }
    std::string bytes;
    bool tooLarge = false;
    const Outcome outcome = readEntry(entry, [&](const char* data, std::size_t size) {
        if (held + bytes.size() + size > kNestedArchiveBytes) {
            tooLarge = true;
            return Outcome::kCancelled;
        }
        bytes.append(data, size);
        return Outcome::kOk;
    });
    if (tooLarge) {
        say(tooLargeText, kProblem);
        return Outcome::kOk;
    }
    if (outcome != Outcome::kOk) {
        return outcome;
    }
    return ExtractInnerArchive(entry.name, bytes, include_, exclude_, options_, callbacks_,
                               source.depth, source.budget);
}

Outcome ExtractArchive(ArchiveFormat format, const std::vector<std::string>& include,
                       const std::vector<std::string>& exclude, const UnzipOptions& options,
                       const UnzipCallbacks& callbacks, const ArchiveSource& source) {
    const Reporter reporter(options, callbacks);
    const InflateLimit limit(options.maxEntryBytes, source.budget);
    const ExtractionContext context{options, callbacks, source, reporter, limit};
    std::unique_ptr<ArchiveReader> reader;
    if (format == ArchiveFormat::kZip) {
        reader = std::make_unique<ZipReader>(context);
    } else {
        reader = std::make_unique<LibarchiveReader>(context);
    }
    return Extraction(include, exclude, context).run(*reader);
}

}  // namespace quillery
