#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace quillery {

// Reads one entry of a zip through libarchive, for the compression methods libzip here
// lacks (LZMA, XZ, PPMd, ...). The archive is the bytes in memory when inMemory, else the
// file. The entry is found by its name (UTF-8), or failing that by its place in the archive
// and its size; an encrypted entry is not read (kUnzEncryptedSkipped). consume gets the inflated
// bytes in pieces and returns kUnzOk to go on or the code to stop with. More than limit bytes (0:
// no limit) stop with kUnzTooLarge. Returns kUnzOk or a code of UnzipResult.
int ReadZipEntryWithLibarchive(std::string_view bytes, bool inMemory,
                               const std::filesystem::path& file, const std::string& name,
                               std::uint64_t index, std::uint64_t size, bool sizeKnown,
                               const std::function<int(const char*, std::size_t)>& consume,
                               std::uint64_t limit);

}  // namespace quillery
