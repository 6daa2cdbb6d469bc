#pragma once

#include <string_view>

namespace quillery {

// Whether a file name is a zip archive's: it ends with ".zip" in any letter case.
bool IsZipName(std::string_view name);

// Whether a file name is that of an archive read through libarchive: it ends, in any letter
// case, with .7z, .rar, .tar, .tgz, .tar.gz, .tbz, .tbz2, .tar.bz2, .txz, .tar.xz, .tzst,
// .tar.zst, .tar.lz, .cab, .lzh, .lha, .iso, .cpio or .xar.
bool IsOtherArchiveName(std::string_view name);

// Either of the two.
inline bool IsAnyArchiveName(std::string_view name) {
    return IsZipName(name) || IsOtherArchiveName(name);
}

}  // namespace quillery
