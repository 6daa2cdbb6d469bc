#pragma once

#include <fcntl.h>

#include <cstdint>
#include <string>

namespace quillery {

// What identifies the content of a file on disk without reading it: any write, truncation,
// replacement by rename or copy changes at least one field (the status-change time moves
// with every change, even when the modification time is set back).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at path (links followed); false when it cannot be read. folder:
// an open descriptor of the folder that holds the file, in which only the file's name (what
// follows path's last "/") is looked up.
bool ReadFileIdentity(const std::string& path, FileIdentity& identity, int folder = AT_FDCWD);

// Whether an identity may be kept: a file changed so recently that a further change could
// leave its times as they are (file-system clocks tick coarsely) must be read again next time.
bool SettledIdentity(const FileIdentity& identity);

}  // namespace quillery
