#pragma once

#include <cassert>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "index/ArchiveRecord.h"

namespace quillery {

// The records of the archives of one folder, by file name.
using FolderRecords = std::map<std::string, std::shared_ptr<const ArchiveRecord>, std::less<>>;

// The whole content of one folder's index file: a header (kind, version, payload size and a
// checksum of the payload) and the folder's records.
std::string EncodeFolderFile(const std::string& folder, const FolderRecords& records);

enum class FolderFileState { kRead, kMissing, kDamaged };

// A folder's index file as read: its bytes, checked whole once, and where each record lies
// in them. Records are read in place; only decode() copies one out.
class StoredFolder {
  public:
    // One record's fields where they lie.
    struct View {
        FileIdentity identity;
        std::string_view callKey;
        int result = 0;
        std::uint32_t entries = 0;
        const char* summaries = nullptr;  // the entries' summaries, one after the other

        // Whether test holds for the summary of every entry (stops at the first that fails).
        template <class Test>
        bool allEntries(Test test) const {
            const char* at = summaries;
            for (std::uint32_t e = 0; e < entries; ++e) {
                const auto flags = static_cast<std::uint8_t>(at[0]);
                const auto log2Bits = static_cast<std::uint8_t>(at[1]);
                assert((flags & EntrySummary::kHasFilter) == 0 || log2Bits >= 6);  // as read
                const std::size_t words =
                    (flags & EntrySummary::kHasFilter) != 0 ? std::size_t{1} << (log2Bits - 6) : 0;
                if (!test(SummaryView(flags, at + 2, words))) {
                    return false;
                }
                at += 2 + words * 8;
            }
            return true;
        }
    };

    // Reads a folder's index file. A file that is truncated, damaged, of another version or
    // made for another folder is kDamaged and holds no record.
    FolderFileState read(const std::filesystem::path& file, const std::string& folder);

    std::size_t size() const { return records_.size(); }
    std::string_view name(std::size_t i) const { return records_[i].name; }
    // The position of name's record, or npos.
    std::size_t find(std::string_view name) const;
    View view(std::size_t i) const;
    ArchiveRecord decode(std::size_t i) const;

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  private:
    struct Record {
        std::string_view name;
        View view;
    };
    FolderFileState parse(const std::string& folder);
    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
    std::vector<std::string_view> keys_;
    std::vector<Record> records_;  // in name order
};

// Writes the content through a new file in the same folder and a rename, so that a reader
// sees the old file or the new one, never a part. False when it could not be written.
bool WriteFileAtomically(const std::filesystem::path& file, const std::string& content);

}  // namespace quillery
