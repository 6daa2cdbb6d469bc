#include "scan/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "scan/Walk.h"

namespace quillery {

bool ListFolder(const std::filesystem::path& folder, bool allArchives, FolderListing& listing,
                UniqueFd* keep) {
    listing = {};
    UniqueFd opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened.valid()) {
        listing.error = errno;
        return false;
    }
    // The stream owns the descriptor once it is made.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(opened.get()), ::closedir);
    if (!dir) {
        listing.error = errno;
        return false;
    }
    const int fd = opened.release();
    if (keep != nullptr) {
        *keep = UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    }
    // Paths as folder / name would join them.
    std::string base = folder.native();
    if (!base.empty() && base.back() != '/') {
        base += '/';
    }
    const std::size_t baseLength = base.size();
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            listing.error = errno;
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        ++listing.entries;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isFolder = ::fstatat(fd, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        const bool isArchive = IsArchiveName(name, allArchives);
        if ((isFolder && name[0] != '.') || isArchive) {
            base.resize(baseLength);
            base += name;
            if (isFolder && name[0] != '.') {
                listing.subfolders.emplace_back(base);
            }
            if (isArchive) {
                listing.archives.emplace_back(base);
            }
        }
    }
    return true;
}

}  // namespace quillery
