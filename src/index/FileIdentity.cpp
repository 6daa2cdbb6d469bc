#include "index/FileIdentity.h"

#include <sys/stat.h>
#include <ctime>

#include <algorithm>
#include <string>

namespace quillery {

namespace {

// Well above the tick of any clock that stamps file times on Linux (at most 10 ms).
constexpr std::int64_t kSettleNs = 100'000'000;

std::int64_t Nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

bool ReadFileIdentity(const std::string& path, FileIdentity& identity, int folder) {
    const char* name = path.c_str();
    if (folder != AT_FDCWD) {
        const std::size_t slash = path.rfind('/');
        name += slash == std::string::npos ? 0 : slash + 1;
    }
    struct stat info {};
    if (::fstatat(folder, name, &info, 0) != 0) {
        return false;
    }
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.inode = static_cast<std::uint64_t>(info.st_ino);
    identity.size = static_cast<std::uint64_t>(info.st_size);
    identity.modifiedNs = Nanoseconds(info.st_mtim);
    identity.changedNs = Nanoseconds(info.st_ctim);
    return true;
}

bool SettledIdentity(const FileIdentity& identity) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t latest = std::max(identity.modifiedNs, identity.changedNs);
    return Nanoseconds(now) - latest >= kSettleNs;
}

}  // namespace quillery
