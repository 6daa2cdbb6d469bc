#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillery {

// What a reader process is there for: examining archives (it may write nothing at all), or
// staging one archive's entries into one folder (it may write beneath that folder only).
enum class ReaderMode : std::uint8_t { kScan = 1, kStage = 2 };

// The layers of the sandbox that took effect (bits).
enum SandboxLayer : std::uint8_t {
    kAddressLimit = 1,  // RLIMIT_AS (never under AddressSanitizer)
    kSeccomp = 2,
    kLandlock = 4,
};

// The headroom of address space a reader gets above what it maps when it starts.
constexpr std::uint64_t kReaderAddressHeadroom = std::uint64_t{512} << 20;

// Locks the calling process in for good, before it reads anything it is sent: no core
// files, a bounded address space, no new privileges, killed when its parent goes, and no
// network, no programs started, no other process looked into; in scan mode no file or
// folder created, changed or removed anywhere, in stage mode only beneath stageFolder
// (which is made when it is missing). A layer the kernel lacks is left out, and left gets a
// line saying which and why. parent: the process that started this one; when it is gone
// already, the process ends here. Returns the SandboxLayer bits in force.
std::uint8_t ApplySandbox(ReaderMode mode, const std::filesystem::path& stageFolder, int parent,
                          std::vector<std::string>& left);

}  // namespace quillery
