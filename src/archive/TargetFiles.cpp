#include "archive/TargetFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quillery {

UniqueFd OpenTargetRoot(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

}  // namespace

FolderWalk OpenFolder(int rootFd, const std::vector<std::string>& names, bool create,
                      UniqueFd& folder) {
    UniqueFd current(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
    if (!current.valid()) {
        return FolderWalk::kBlocked;
    }
    for (const std::string& name : names) {
        if (create && ::mkdirat(current.get(), name.c_str(), 0755) != 0 && errno != EEXIST) {
            return FolderWalk::kBlocked;
        }
        // O_NOFOLLOW with O_DIRECTORY refuses links (ELOOP) and non-folders (ENOTDIR).
        UniqueFd next(::openat(current.get(), name.c_str(), kFolderFlags));
        if (!next.valid()) {
            return errno == ENOENT ? FolderWalk::kMissing : FolderWalk::kBlocked;
        }
        current = std::move(next);
    }
    folder = std::move(current);
    return FolderWalk::kOpened;
}

NodeKind InspectNode(int folderFd, const std::string& name, std::time_t* modified) {
    struct stat info {};
    if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return NodeKind::kNone;
    }
    if (modified != nullptr) {
        *modified = info.st_mtim.tv_sec;
    }
    if (S_ISREG(info.st_mode)) {
        return NodeKind::kFile;
    }
    if (S_ISDIR(info.st_mode)) {
        return NodeKind::kFolder;
    }
    return NodeKind::kOther;
}

bool RemoveNode(int folderFd, const std::string& name) {
    // Without AT_REMOVEDIR, unlinkat refuses folders.
    return ::unlinkat(folderFd, name.c_str(), 0) == 0;
}

UniqueFd CreateNewFile(int folderFd, const std::string& name) {
    return UniqueFd(::openat(folderFd, name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void SetFileTime(int fd, std::time_t when) {
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ::futimens(fd, times);
}

}  // namespace quillery
