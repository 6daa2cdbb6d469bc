#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace quillery::test {

// One entry of an archive made for a test.
struct ZipEntry {
    ZipEntry() = default;
    ZipEntry(std::string entryName, std::string content, bool deflated = true,
             std::string pass = {})
        : name(std::move(entryName)),
          data(std::move(content)),
          deflate(deflated),
          password(std::move(pass)) {}

    std::string name;
    std::string data;
    bool deflate = true;
    std::string password;  // non-empty: encrypted with traditional PKWARE encryption
    bool directory = false;
    bool symlink = false;  // stored with Unix symbolic-link attributes; data is the target
};

// Writes a real zip archive with libzip. Fails the calling test on error.
void MakeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries);

// Writes an archive holding one deflated entry whose content is read from a file on disk, so
// that entries far larger than memory can be made.
void MakeZipFromFile(const std::filesystem::path& zip, const std::string& entryName,
                     const std::filesystem::path& content);

// Reads and writes whole files as bytes.
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
// Changes the stored CRC of the named entry in its local and central headers, so that the
// entry fails its check when it is inflated.
void CorruptCrc(const std::filesystem::path& zip, const std::string& entryName);

// Cuts the archive to the given number of bytes.
void Truncate(const std::filesystem::path& zip, std::uintmax_t size);

}  // namespace quillery::test
