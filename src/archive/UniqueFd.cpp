#include "archive/UniqueFd.h"

#include <unistd.h>

namespace quillery {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool UniqueFd::reset() {
    if (fd_ < 0) {
        return true;
    }
    const int fd = release();
    return ::close(fd) == 0;
}

}  // namespace quillery
