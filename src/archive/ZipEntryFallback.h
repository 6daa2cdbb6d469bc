#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "archive/ArchiveReader.h"

namespace quillery {

// Reads one entry of a zip through libarchive, for the compression methods libzip here
// lacks (XZ, PPMd, ...). The archive is the bytes in memory when inMemory, else the file.
// The entry is found by its name (UTF-8), or failing that by its place in the archive and
// its size; an encrypted entry is not read (kEncryptedSkipped). consume gets the inflated
// bytes in pieces. Returns kOk, kWarning for a method libarchive lacks too, kCorrupt, or what
// consume stopped with.
Outcome ReadZipEntryWithLibarchive(std::string_view bytes, bool inMemory,
                                   const std::filesystem::path& file, const std::string& name,
                                   std::uint64_t index, std::uint64_t size, bool sizeKnown,
                                   const ByteConsumer& consume);

}  // namespace quillery
