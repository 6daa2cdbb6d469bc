#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace quillery::fuzz {

// A folder of this fuzzer's own under the temporary folder, made on first use.
inline const std::filesystem::path& Scratch() {
    static const std::filesystem::path root = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillery_fuzz_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return std::filesystem::path(pattern);
    }();
    return root;
}

// Whether an input goes to libarchive: all but what starts as a zip file does ("PK").
inline bool ForLibarchive(const std::uint8_t* data, std::size_t size) {
    return size < 2 || data[0] != 'P' || data[1] != 'K';
}

// Writes the input into Scratch() as input.zip, or as input.7z when ForLibarchive (so that
// the archive layer hands it to libarchive, whatever format it is); returns its path.
inline std::filesystem::path WriteInputArchive(const std::uint8_t* data, std::size_t size) {
    const bool other = ForLibarchive(data, size);
    const std::filesystem::path archive = Scratch() / (other ? "input.7z" : "input.zip");
    std::error_code removed;
    std::filesystem::remove(Scratch() / (other ? "input.zip" : "input.7z"), removed);
    if (std::FILE* f = std::fopen(archive.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return archive;
}

}  // namespace quillery::fuzz
