#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/Outcome.h"
#include "archive/UnzipCallbacks.h"
#include "archive/UnzipOptions.h"

namespace quillery {

// Archives inside archives are opened to this many levels below the file on disk; one
// nested deeper is skipped.
constexpr int kMaxNestDepth = 3;
// The most bytes the inner archives of one entry of the file on disk may hold in memory
// together; an inner archive that would go beyond is skipped like one nested too deep.
constexpr std::uint64_t kNestedArchiveBytes = std::uint64_t{48} << 20;

// What the levels below one entry of the file on disk share: the bytes inflated at every
// level together (held to the options' entry limit) and the bytes of the inner archives held
// in memory.
struct NestBudget {
    std::uint64_t inflated = 0;
    std::uint64_t held = 0;
};

// Where one extraction reads its archive from: the file options.zipFileName names, or bytes
// in memory (an inner archive, named options.zipFileName / its entry name for messages).
struct ArchiveSource {
    std::string_view memory;
    bool inMemory = false;
    int depth = 0;                 // 0: the file on disk
    NestBudget* budget = nullptr;  // null on the file on disk
};

// Whether an entry of that name is opened as an archive in turn.
bool OpensAsInnerArchive(const UnzipOptions& options, const std::string& entryName);

// Searches the inner archive entryName, whose bytes are in memory, with the outer call's
// lists, options and callbacks, one level deeper. Returns the result as it counts for the
// outer archive: an inner archive that cannot be read is a damaged entry (kCorrupt), one
// that selects nothing is no problem (kOk). budget: the outer level's (null in the file on
// disk, whose entry starts one); the inner archive's bytes are held in it meanwhile.
Outcome ExtractInnerArchive(const std::string& entryName, std::string_view bytes,
                            const std::vector<std::string>& include,
                            const std::vector<std::string>& exclude, const UnzipOptions& options,
                            const UnzipCallbacks& callbacks, int depth, NestBudget* budget);

}  // namespace quillery
