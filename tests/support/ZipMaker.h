#pragma once

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

inline ZipEntry Folder(std::string name) {
    ZipEntry entry(std::move(name), {});
    entry.directory = true;
    return entry;
}
inline ZipEntry Link(std::string name, std::string target) {
    ZipEntry entry(std::move(name), std::move(target), false);
    entry.symlink = true;
    return entry;
}

// Writes a real zip archive with libzip. Fails the calling test on error.
void MakeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries);

// root/rel, made with its folders, holding one deflated text entry.
std::filesystem::path MakeArchive(const std::filesystem::path& root, const std::string& rel,
                                  const std::string& entry, const std::string& text);

// Writes a file of `lines` lines of 1023 bytes each, then `tail`, and zips it as big.txt.
void MakeBigArchive(const std::filesystem::path& zip, int lines, const std::string& tail);

// Bytes that do not compress, the same for the same seed.
std::string Noise(std::size_t size, unsigned seed);

// Reads and writes whole files as bytes.
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// Changes the stored CRC of the named entry in its local and central headers, so that the
// entry fails its check when it is inflated.
void CorruptCrc(const std::filesystem::path& zip, const std::string& entryName);

// Everything below a folder (regular files only, or folders and links too), as sorted
// relative paths.
std::vector<std::string> FilesBelow(const std::filesystem::path& root, bool everything = false);

// The expected output stored in tests/golden/NAME, with each {KEY} replaced by its value.
std::string Golden(const std::string& name,
                   const std::vector<std::pair<std::string, std::string>>& values = {});

}  // namespace quillery::test
