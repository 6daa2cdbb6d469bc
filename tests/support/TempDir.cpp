#include "TempDir.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace quillery::test {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillery_test_XXXXXX").string();
    if (char* made = ::mkdtemp(pattern.data())) {
        path_ = made;
    }
}

TempDir::~TempDir() {
    if (path_.empty()) {
        return;
    }
    // Tests may leave read-only files and folders behind; make everything removable first.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            ::chmod(it->path().c_str(), 0700);
        }
    }
    ::chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, ec);
}

}  // namespace quillery::test
