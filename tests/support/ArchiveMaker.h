#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quillery::test {

// One entry of an archive written by libarchive; a symbolic link's data is its target.
struct ArchiveFile {
    std::string name;
    std::string data;
    bool symlink = false;
    bool directory = false;
};

// Writes a real archive with libarchive's writer: format as libarchive names it ("7zip",
// "pax", "cpio", "iso9660", "xar", "zip"), filter "" for none or its name ("gzip", "xz"...).
// Fails the calling test on error.
void WriteArchive(const std::filesystem::path& path, const std::string& format,
                  const std::string& filter, const std::vector<ArchiveFile>& entries);

// Copies a test archive into the folder QUILLERY_FUZZ_SEEDS names, when it is set (scripts/test
// sets it), as a seed for the fuzz targets that read archives.
void KeepAsFuzzSeed(const std::filesystem::path& archive);

// Runs the 7z tool with the arguments, quietly; false when it is missing or fails.
bool Run7z(const std::vector<std::string>& arguments);

}  // namespace quillery::test
