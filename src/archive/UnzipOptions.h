#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>

namespace quillery {

// What one extraction holds in memory at most: the archive when it is read whole, and the
// compressed and the inflated bytes of an entry inflated in one go (two buffers of entry).
struct MemoryCaps {
    std::uint64_t wholeArchive;
    std::uint64_t entry;
};

// The caps under an extraction's memory limit (0: the built-in 8 MiB each).
constexpr MemoryCaps CapsForLimit(std::uint64_t memoryLimit) {
    constexpr std::uint64_t kBuiltIn = std::uint64_t{8} << 20;
    if (memoryLimit == 0) {
        return {kBuiltIn, kBuiltIn};
    }
    return {std::min(kBuiltIn, memoryLimit / 2), std::min(kBuiltIn, memoryLimit / 4)};
}

// The extraction layer's option record: fifteen flags followed by the archive and the
// target folder. A flag is "on" when it is non-zero.
struct UnzipOptions {
    std::int32_t extractOnlyNewer = 0;      // 1  extract only files newer than those on disk
    std::int32_t spaceToUnderscore = 0;     // 2  convert blanks in names to underscores
    std::int32_t promptToOverwrite = 0;     // 3  ask the replace callback before overwriting
    std::int32_t quietLevel = 0;            // 4  0 prints progress lines, higher prints less
    std::int32_t writeToStdout = 0;         // 5  hand the bytes to the output sink, write no file
    std::int32_t testOnly = 0;              // 6  inflate and check, write nothing
    std::int32_t listContents = 0;          // 7  list the entries through the message callback
    std::int32_t freshenExisting = 0;       // 8  extract only files that exist already
    std::int32_t displayComment = 0;        // 9  print the archive comment
    std::int32_t recreateFolders = 0;       // 10 re-create the entries' folders (else flat)
    std::int32_t overwriteExisting = 0;     // 11 overwrite existing files without asking
    std::int32_t convertLineEnds = 0;       // 12 accepted; text is always written unchanged
    std::int32_t detailedListing = 0;       // 13 accepted; the listing is always the same
    std::int32_t caseInsensitiveNames = 0;  // 14 compare entry names without regard to case
    std::int32_t restorePermissions = 0;    // 15 accepted; files are always created 0644
    std::filesystem::path zipFileName;      // 16 the archive
    std::filesystem::path extractFolder;    // 17 the target folder

    // Not part of the record above: the most bytes one entry may inflate to before the
    // extraction stops with kUnzTooLarge (0: no limit).
    std::uint64_t maxEntryBytes = 0;
    // Entries that are archives themselves (any format, zip included) are searched in turn,
    // when searching or viewing (flat), to a few levels; see NestedArchives.h.
    bool allArchives = false;
    // The most bytes the extraction holds in memory for the archive and one entry (0: the
    // built-in limits). Larger archives are read from the file and larger entries streamed.
    std::uint64_t memoryLimit = 0;
    // The archive's size in bytes when the caller listed it (0: not known). A file of that
    // size is read without asking for its size again; any other is looked at as usual.
    std::uint64_t listedSize = 0;

    bool operator==(const UnzipOptions&) const = default;
};

}  // namespace quillery
