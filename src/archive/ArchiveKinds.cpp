#include "archive/ArchiveKinds.h"

#include <array>

namespace quillery {

namespace {

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) {
        return false;
    }
    const std::string_view tail = name.substr(name.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != suffix[i]) {
            return false;
        }
    }
    return true;
}

constexpr std::array<std::string_view, 19> kOtherSuffixes = {
    ".7z",      ".rar", ".tar",    ".tgz",  ".tar.gz",  ".tbz",    ".tbz2",
    ".tar.bz2", ".txz", ".tar.xz", ".tzst", ".tar.zst", ".tar.lz", ".cab",
    ".lzh",     ".lha", ".iso",    ".cpio", ".xar"};

}  // namespace

bool IsZipName(std::string_view name) {
    return EndsWithNoCase(name, ".zip");
}

bool IsOtherArchiveName(std::string_view name) {
    for (const std::string_view suffix : kOtherSuffixes) {
        if (EndsWithNoCase(name, suffix)) {
            return true;
        }
    }
    return false;
}

}  // namespace quillery
