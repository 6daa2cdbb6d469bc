#include "scan/ArchiveProblem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "archive/UniqueFd.h"
#include "archive/UnzipResult.h"

namespace quillery {

std::string ArchiveProblemText(int result) {
    switch (result) {
        case kUnzCorrupt:
            return "damaged archive";
        case kUnzNotAZip:
            return "not an archive, or damaged";
        case kUnzTooLarge:
            return "an entry is too large to search";
        case kUnzWriteFailed:
            return "its entries could not be written to the work folder";
        default:
            return {};
    }
}

std::string ArchiveProblem(int result, const std::string& failure, const std::string& path) {
    if (!failure.empty()) {
        return failure;
    }
    if (result != kUnzNotAZip) {
        return ArchiveProblemText(result);
    }
    // Not blocking on a pipe or device that bears an archive's name.
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid()) {
        return std::generic_category().message(errno);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return {};
    }
    return ArchiveProblemText(result);
}

}  // namespace quillery
