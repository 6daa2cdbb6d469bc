#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "archive/Staging.h"
#include "index/IndexFile.h"
#include "index/IndexQuery.h"

namespace quillery {

// The persistent index of the archives a run examines: one file per folder of archives, in a
// cache folder of its own (never in the searched folders). Lookups and new records come
// from any thread; save() writes the folders that changed, each file replaced whole, so that
// runs at the same time never corrupt it (the last to write a folder wins, and every version
// is exact for the identities it records). What is not saved is lost when the index goes.
// Every failure to read or write only costs speed: a folder whose file cannot be read is
// indexed anew, one that cannot be written is not kept.
class CollectionIndex {
  public:
    // folder: where the files go (made when missing); limitBytes: beyond this size in all,
    // the files used longest ago are removed when the index is saved.
    CollectionIndex(std::filesystem::path folder, std::uint64_t limitBytes);
    CollectionIndex(const CollectionIndex&) = delete;
    CollectionIndex& operator=(const CollectionIndex&) = delete;

    // $XDG_CACHE_HOME/Velmora/Quillery/index ($HOME/.cache when XDG_CACHE_HOME is not set).
    static std::filesystem::path DefaultFolder();

    // Whether records can be kept at all (the folder exists and can be written).
    bool usable() const { return usable_; }

    // What the index holds of archive: whether it has a record taken from the file as it is
    // now (identity) and with the same call, and if so, whether the record proves that no
    // entry can match query, and the call's result.
    struct Lookup {
        bool found = false;
        bool ruledOut = false;
        int result = 0;
    };
    Lookup look(const std::string& archive, const FileIdentity& identity,
                const std::string& callKey, const IndexQuery& query);
    // look() for several archives under one call, with one hold of the index's lock.
    struct Request {
        const std::string* archive = nullptr;
        FileIdentity identity;
    };
    std::vector<Lookup> lookAll(const std::vector<Request>& requests, const std::string& callKey,
                                const IndexQuery& query);
    // Keeps a record taken from the file that had record.identity before it was read, unless
    // that identity is so recent that the file's times could not tell the next change.
    void remember(const std::string& archive, ArchiveRecord record);
    // Writes what changed: records of archives gone from the disk are dropped.
    void save();
    // What the user should hear of since the last call (an index file that was damaged and
    // is rebuilt), one line each, in the order it happened.
    std::vector<std::string> takeNotices();

  private:
    struct Folder {
        StoredFolder stored;           // as read from its file
        std::vector<char> storedSeen;  // for each stored record: looked up in this run
        FolderRecords fresh;           // made in this run; they replace stored ones
        bool dirty = false;
        bool fromFile = false;
        std::uint64_t lastUse = 0;
    };

    // The folder's records, read from its file when they are not held yet (with the lock
    // released meanwhile).
    Folder& folderOf(std::string_view folder, std::unique_lock<std::mutex>& lock);
    // The record of name in folder, tested against query (under the lock).
    static Lookup lookIn(Folder& folder, std::string_view name, const FileIdentity& identity,
                         const std::string& callKey, const IndexQuery& query);
    // Writes the folder's file when its records changed, else marks it as used. The folder
    // is let go afterwards: its new records are moved out.
    void writeFolder(const std::string& key, Folder& folder);
    // Writes the folders let go while the lock was held, releasing it first.
    void writeEvicted(std::unique_lock<std::mutex>& lock);
    std::filesystem::path fileOf(std::string_view folder) const;
    void evict();

    const std::filesystem::path dir_;
    const std::uint64_t limitBytes_;
    std::mutex mutex_;
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, Folder, TextHash, std::equal_to<>> folders_;
    std::vector<std::pair<std::string, Folder>> evicted_;
    std::vector<std::string> notices_;
    std::uint64_t uses_ = 0;
    bool usable_ = true;
    bool warned_ = false;
    std::atomic<bool> wrote_{false};
};

// Everything about an extraction call that decides what it hands over and its result,
// except the archive's path: the key under which the index keeps what the call found.
std::string CallKey(const StagingCall& call);

}  // namespace quillery
