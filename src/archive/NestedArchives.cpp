#include "archive/NestedArchives.h"

#include "archive/ArchiveKinds.h"
#include "archive/Extraction.h"

namespace quillery {

bool OpensAsInnerArchive(const UnzipOptions& options, const std::string& entryName) {
    // Inner archives are searched and viewed; listing, testing and whole-archive extraction
    // take them as the files they are.
    return options.allArchives && !options.recreateFolders && !options.listContents &&
           !options.testOnly && !entryName.empty() && entryName.back() != '/' &&
           IsAnyArchiveName(entryName);
}

Outcome ExtractInnerArchive(const std::string& entryName, std::string_view bytes,
                            const std::vector<std::string>& include,
                            const std::vector<std::string>& exclude, const UnzipOptions& options,
                            const UnzipCallbacks& callbacks, int depth, NestBudget* budget) {
    NestBudget top{bytes.size(), 0};
    NestBudget& shared = budget != nullptr ? *budget : top;
    UnzipOptions inner = options;
    inner.zipFileName = options.zipFileName / entryName;
    ArchiveSource source;
    source.memory = bytes;
    source.inMemory = true;
    source.depth = depth + 1;
    source.budget = &shared;
    shared.held += bytes.size();
    const ArchiveFormat format = IsZipName(entryName) ? ArchiveFormat::kZip : ArchiveFormat::kOther;
    const Outcome outcome = ExtractArchive(format, include, exclude, inner, callbacks, source);
    shared.held -= bytes.size();
    switch (outcome) {
        case Outcome::kNoMatch:
            return Outcome::kOk;
        case Outcome::kNotAnArchive:
        case Outcome::kBadOptions:
            return Outcome::kCorrupt;
        default:
            return outcome;
    }
}

}  // namespace quillery
