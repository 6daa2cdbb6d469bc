#include "index/CollectionIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <ctime>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace quillery {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSuffix = ".qix";
// Folders whose records are held at once; the walk and the examination ahead of it use one
// or two at a time.
constexpr std::size_t kFoldersInMemory = 64;
// A folder file read in a run is marked as used when its mark is older than this.
constexpr std::int64_t kUseMarkSeconds = 3600;

// The archive's folder as an absolute path, and its name in it.
class ArchiveKeys {
  public:
    explicit ArchiveKeys(const std::string& archive) {
        std::string_view text = archive;
        const bool plain = !text.empty() && text[0] == '/' &&
                           text.find("/.") == std::string_view::npos &&
                           text.find("//") == std::string_view::npos;
        if (!plain) {
            std::error_code ec;
            const fs::path full = fs::absolute(archive, ec);
            normal_ = (ec ? fs::path(archive) : full).lexically_normal().native();
            text = normal_;
        }
        const std::size_t slash = text.rfind('/');
        if (slash == std::string_view::npos) {
            name = text;
        } else {
            folder = text.substr(0, slash == 0 ? 1 : slash);
            name = text.substr(slash + 1);
        }
    }
    ArchiveKeys(const ArchiveKeys&) = delete;
    ArchiveKeys& operator=(const ArchiveKeys&) = delete;

    std::string_view folder, name;

  private:
    std::string normal_;
};

}  // namespace

CollectionIndex::CollectionIndex(fs::path folder, std::uint64_t limitBytes)
    : dir_(std::move(folder)), limitBytes_(limitBytes) {
    std::error_code ec;
    if (fs::create_directories(dir_, ec)) {
        ::chmod(dir_.c_str(), 0700);  // summaries of the user's files are the user's alone
    }
    usable_ = fs::is_directory(dir_, ec) && ::access(dir_.c_str(), R_OK | W_OK | X_OK) == 0;
}

fs::path CollectionIndex::DefaultFolder() {
    fs::path base;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && *cache != '\0' && fs::path(cache).is_absolute()) {
        base = cache;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home != nullptr && *home != '\0' ? home : "/") / ".cache";
    }
    return base / "Velmora" / "Quillery" / "index";
}

fs::path CollectionIndex::fileOf(std::string_view folder) const {
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (const char c : folder) {
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
    }
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(h));
    return dir_ / (std::string(name) + kSuffix);
}

CollectionIndex::Folder& CollectionIndex::folderOf(std::string_view folder,
                                                   std::unique_lock<std::mutex>& lock) {
    auto found = folders_.find(folder);
    if (found == folders_.end()) {
        // Read without the lock, so that the other thread goes on meanwhile.
        Folder data;
        const fs::path file = fileOf(folder);
        FolderFileState state = FolderFileState::kMissing;
        if (usable_) {
            lock.unlock();
            state = data.stored.read(file, std::string(folder));
            data.storedSeen.assign(data.stored.size(), 0);
            lock.lock();
        }
        found = folders_.find(folder);
        if (found != folders_.end()) {
            found->second.lastUse = ++uses_;
            return found->second;  // read by the other thread meanwhile
        }
        data.fromFile = state == FolderFileState::kRead;
        if (state == FolderFileState::kDamaged) {
            data.dirty = true;  // rewritten with what this run finds
            if (!warned_) {
                warned_ = true;
                notices_.push_back("quillery: index file " + file.native() +
                                   " was unusable and is rebuilt");
            }
        }
        if (folders_.size() >= kFoldersInMemory) {
            // The walk has long left the folder used longest ago: it is let go, and written
            // once the lock is released.
            auto oldest = folders_.begin();
            for (auto it = folders_.begin(); it != folders_.end(); ++it) {
                if (it->second.lastUse < oldest->second.lastUse) {
                    oldest = it;
                }
            }
            evicted_.emplace_back(oldest->first, std::move(oldest->second));
            folders_.erase(oldest);
        }
        found = folders_.emplace(std::string(folder), std::move(data)).first;
    }
    found->second.lastUse = ++uses_;
    return found->second;
}

CollectionIndex::Lookup CollectionIndex::lookIn(Folder& folder, std::string_view name,
                                                const FileIdentity& identity,
                                                const std::string& callKey,
                                                const IndexQuery& query) {
    const auto cannotMatch = [&query](const auto& entry) { return query.entryCannotMatch(entry); };
    if (const auto fresh = folder.fresh.find(name); fresh != folder.fresh.end()) {
        const ArchiveRecord& record = *fresh->second;
        if (record.identity == identity && record.callKey == callKey) {
            return {true, std::all_of(record.entries.begin(), record.entries.end(), cannotMatch),
                    record.result};
        }
    } else if (const std::size_t at = folder.stored.find(name); at != StoredFolder::npos) {
        assert(folder.storedSeen.size() == folder.stored.size());
        folder.storedSeen[at] = 1;
        const StoredFolder::View record = folder.stored.view(at);
        if (record.identity == identity && record.callKey == callKey) {
            return {true, record.allEntries(cannotMatch), record.result};
        }
    }
    return {};
}

CollectionIndex::Lookup CollectionIndex::look(const std::string& archive,
                                              const FileIdentity& identity,
                                              const std::string& callKey, const IndexQuery& query) {
    const ArchiveKeys keys(archive);
    std::unique_lock<std::mutex> lock(mutex_);
    const Lookup lookup = lookIn(folderOf(keys.folder, lock), keys.name, identity, callKey, query);
    writeEvicted(lock);
    return lookup;
}

std::vector<CollectionIndex::Lookup> CollectionIndex::lookAll(const std::vector<Request>& requests,
                                                              const std::string& callKey,
                                                              const IndexQuery& query) {
    std::vector<Lookup> lookups(requests.size());
    std::unique_lock<std::mutex> lock(mutex_);
    // Archives of one folder come one after the other: its records are found once for them.
    // (Nothing lets a folder go while the lock is held.)
    std::string folderKey;
    Folder* folder = nullptr;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const ArchiveKeys keys(*requests[i].archive);
        if (folder == nullptr || keys.folder != folderKey) {
            folderKey = keys.folder;
            folder = &folderOf(folderKey, lock);
        }
        lookups[i] = lookIn(*folder, keys.name, requests[i].identity, callKey, query);
    }
    writeEvicted(lock);
    return lookups;
}

void CollectionIndex::remember(const std::string& archive, ArchiveRecord record) {
    // The identity was read before the archive was: had the file changed since, its change
    // time would have moved on (at least a tick, and the identity has settled for longer),
    // so the record could never be taken for the file's new content.
    if (!usable_ || !SettledIdentity(record.identity)) {
        return;
    }
    const ArchiveKeys keys(archive);
    std::unique_lock<std::mutex> lock(mutex_);
    Folder& folder = folderOf(keys.folder, lock);
    auto slot = folder.fresh.find(keys.name);
    if (slot == folder.fresh.end()) {
        slot = folder.fresh.emplace(std::string(keys.name), nullptr).first;
    }
    if (!slot->second || *slot->second != record) {
        slot->second = std::make_shared<const ArchiveRecord>(std::move(record));
        folder.dirty = true;
    }
    writeEvicted(lock);
}

void CollectionIndex::writeEvicted(std::unique_lock<std::mutex>& lock) {
    if (evicted_.empty()) {
        return;
    }
    std::vector<std::pair<std::string, Folder>> evicted;
    evicted.swap(evicted_);
    lock.unlock();
    for (auto& [key, folder] : evicted) {
        writeFolder(key, folder);
    }
}

void CollectionIndex::writeFolder(const std::string& key, Folder& folder) {
    // Archives of the folder this run did not come across may be gone.
    std::vector<char> gone(folder.stored.size(), 0);
    for (std::size_t i = 0; i < folder.stored.size(); ++i) {
        struct stat info {};
        const std::string_view name = folder.stored.name(i);
        if (folder.storedSeen[i] == 0 && !folder.fresh.contains(name) &&
            ::stat((fs::path(key) / name).c_str(), &info) != 0) {
            gone[i] = 1;
            folder.dirty = true;
        }
    }
    const fs::path file = fileOf(key);
    if (folder.dirty) {
        // The stored records stay beside the new ones, unless a new one replaces them. (The
        // folder is let go once it is written.)
        FolderRecords records = std::move(folder.fresh);
        for (std::size_t i = 0; i < folder.stored.size(); ++i) {
            if (gone[i] == 0 && !records.contains(folder.stored.name(i))) {
                records.emplace(std::string(folder.stored.name(i)),
                                std::make_shared<const ArchiveRecord>(folder.stored.decode(i)));
            }
        }
        if (records.empty()) {
            std::error_code ec;
            fs::remove(file, ec);
        } else if (WriteFileAtomically(file, EncodeFolderFile(key, records))) {
            wrote_ = true;
        }
    } else if (folder.fromFile) {
        // The modification time marks the last use, for eviction.
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        struct stat info {};
        if (::stat(file.c_str(), &info) == 0 &&
            now.tv_sec - info.st_mtim.tv_sec > kUseMarkSeconds) {
            ::utimensat(AT_FDCWD, file.c_str(), nullptr, 0);
        }
    }
}

void CollectionIndex::save() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (usable_) {
        for (auto& [key, folder] : evicted_) {
            writeFolder(key, folder);
        }
        for (auto& [key, folder] : folders_) {
            writeFolder(key, folder);
        }
    }
    evicted_.clear();
    // What is saved is read again from the files when it is needed.
    folders_.clear();
    if (wrote_) {
        evict();
        wrote_ = false;
    }
}

std::vector<std::string> CollectionIndex::takeNotices() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(notices_, {});
}

void CollectionIndex::evict() {
    struct File {
        fs::path path;
        std::int64_t used;
        std::uint64_t size;
    };
    std::vector<File> files;
    std::uint64_t total = 0;
    std::error_code ec;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    for (fs::directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec)) {
        struct stat info {};
        if (::stat(it->path().c_str(), &info) != 0) {
            continue;
        }
        // A new file that a run ended before renaming (it crashed, or was killed) is never
        // used: once no run can still be writing it, it goes.
        if (it->path().filename().native().find(std::string(kSuffix) + ".tmp.") !=
                std::string::npos &&
            now.tv_sec - info.st_mtim.tv_sec > kUseMarkSeconds) {
            std::error_code removeError;
            fs::remove(it->path(), removeError);
            continue;
        }
        if (it->path().extension() != kSuffix) {
            continue;
        }
        files.push_back({it->path(), static_cast<std::int64_t>(info.st_mtim.tv_sec),
                         static_cast<std::uint64_t>(info.st_size)});
        total += static_cast<std::uint64_t>(info.st_size);
    }
    if (total <= limitBytes_) {
        return;
    }
    std::sort(files.begin(), files.end(),
              [](const File& a, const File& b) { return a.used < b.used; });
    for (const File& file : files) {
        if (total <= limitBytes_) {
            break;
        }
        std::error_code removeError;
        if (fs::remove(file.path, removeError)) {
            total -= file.size;
        }
    }
}

// Every field of StagingCall and UnzipOptions that changes what a call hands over or what it
// returns must be part of the key: a field left out would let a record taken under one value
// answer a call made with another. (The archive's path is the record's place, not its key.)
std::string CallKey(const StagingCall& call) {
    const UnzipOptions& o = call.options;
    const std::int64_t values[] = {o.extractOnlyNewer,
                                   o.spaceToUnderscore,
                                   o.promptToOverwrite,
                                   o.quietLevel,
                                   o.writeToStdout,
                                   o.testOnly,
                                   o.listContents,
                                   o.freshenExisting,
                                   o.displayComment,
                                   o.recreateFolders,
                                   o.overwriteExisting,
                                   o.convertLineEnds,
                                   o.detailedListing,
                                   o.caseInsensitiveNames,
                                   o.restorePermissions,
                                   static_cast<std::int64_t>(o.maxEntryBytes),
                                   o.allArchives ? 1 : 0,
                                   call.noPasswordPrompt,
                                   call.selectsNothing ? 1 : 0};
    std::string key(reinterpret_cast<const char*>(values), sizeof values);
    for (const std::string& pattern : call.include) {
        key += pattern;
        key += '\0';
    }
    return key;
}

}  // namespace quillery
