#include "IsolatedEnvironment.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace quillery::test {

namespace {

std::filesystem::path& Root() {
    static std::filesystem::path root;
    return root;
}

void RemoveRoot() {
    std::error_code ec;
    if (!Root().empty()) {
        std::filesystem::current_path("/", ec);
        std::filesystem::remove_all(Root(), ec);
    }
}

}  // namespace

void IsolateEnvironment() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillery_env_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    Root() = pattern;
    const auto home = Root() / "home";
    const auto config = Root() / "config";
    const auto cache = Root() / "cache";
    const auto tmp = Root() / "tmp";
    const auto work = Root() / "work";
    for (const auto& dir : {home, config, cache, tmp, work}) {
        std::filesystem::create_directories(dir);
    }
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    ::setenv("TMPDIR", tmp.c_str(), 1);
    std::filesystem::current_path(work);
    std::atexit(RemoveRoot);
}

}  // namespace quillery::test
