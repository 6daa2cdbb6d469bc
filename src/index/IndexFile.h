#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "index/ArchiveRecord.h"

namespace quillery {

// The records of the archives of one folder, by file name.
using FolderRecords = std::map<std::string, std::shared_ptr<const ArchiveRecord>>;

// The whole content of one folder's index file: a header (kind, version, payload size and a
// checksum of the payload) and the folder's records.
std::string EncodeFolderFile(const std::string& folder, const FolderRecords& records);

enum class FolderFileState { kRead, kMissing, kDamaged };

// Reads a folder's index file. A file that is truncated, damaged, of another version or
// made for another folder is kDamaged and gives no record.
FolderFileState ReadFolderFile(const std::filesystem::path& file, const std::string& folder,
                               FolderRecords& records);

// Writes the content through a new file in the same folder and a rename, so that a reader
// sees the old file or the new one, never a part. False when it could not be written.
bool WriteFileAtomically(const std::filesystem::path& file, const std::string& content);

}  // namespace quillery
