#include "archive/NestedArchives.h"

#include "archive/ArchiveKinds.h"
#include "archive/UnzipResult.h"

namespace quillery {

int ResultSeverity(int code) {
    switch (code) {
        case kUnzCancelled:
            return 6;
        case kUnzWriteFailed:
            return 5;
        case kUnzTooLarge:
            return 4;
        case kUnzCorrupt:
            return 3;
        case kUnzEncryptedSkipped:
            return 2;
        case kUnzWarning:
            return 1;
        default:
            return 0;
    }
}

bool ResultStopsExtraction(int code) {
    return ResultSeverity(code) >= ResultSeverity(kUnzCorrupt);
}

bool OpensAsInnerArchive(const UnzipOptions& options, const std::string& entryName) {
    // Inner archives are searched and viewed; listing, testing and whole-archive extraction
    // take them as the files they are.
    return options.allArchives && !options.recreateFolders && !options.listContents &&
           !options.testOnly && !entryName.empty() && entryName.back() != '/' &&
           IsAnyArchiveName(entryName);
}

int ExtractInnerArchive(const std::string& entryName, std::string_view bytes,
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
    const int code = IsZipName(entryName)
                         ? ExtractZipArchive(include, exclude, inner, callbacks, source)
                         : ExtractOtherArchive(include, exclude, inner, callbacks, source);
    shared.held -= bytes.size();
    switch (code) {
        case kUnzNoMatch:
            return kUnzOk;
        case kUnzNotAZip:
        case kUnzBadOptions:
            return kUnzCorrupt;
        default:
            return code;
    }
}

}  // namespace quillery
