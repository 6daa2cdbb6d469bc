#include "index/CollectionIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace quillery {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSuffix = ".qix";
// A folder file read in a run is marked as used when its mark is older than this.
constexpr std::int64_t kUseMarkSeconds = 3600;

std::string FolderKey(const fs::path& archive) {
    const std::string& text = archive.native();
    if (!text.empty() && text[0] == '/' && text.find("/.") == std::string::npos &&
        text.find("//") == std::string::npos) {
        return archive.parent_path().native();  // already absolute and plain
    }
    std::error_code ec;
    fs::path full = fs::absolute(archive, ec);
    if (ec) {
        full = archive;
    }
    return full.lexically_normal().parent_path().string();
}

std::string NameKey(const fs::path& archive) {
    return archive.filename().string();
}

}  // namespace

CollectionIndex::CollectionIndex(fs::path folder, std::uint64_t limitBytes)
    : dir_(std::move(folder)), limitBytes_(limitBytes) {
    std::error_code ec;
    fs::create_directories(dir_, ec);
    usable_ = fs::is_directory(dir_, ec) && ::access(dir_.c_str(), R_OK | W_OK | X_OK) == 0;
}

CollectionIndex::~CollectionIndex() {
    save();
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

fs::path CollectionIndex::fileOf(const std::string& folder) const {
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (const char c : folder) {
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
    }
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(h));
    return dir_ / (std::string(name) + kSuffix);
}

CollectionIndex::Folder& CollectionIndex::folderOf(const std::string& folder) {
    const auto found = folders_.find(folder);
    if (found != folders_.end()) {
        return found->second;
    }
    Folder& data = folders_[folder];
    if (usable_) {
        const fs::path file = fileOf(folder);
        switch (ReadFolderFile(file, folder, data.records)) {
            case FolderFileState::kRead:
                data.fromFile = true;
                break;
            case FolderFileState::kMissing:
                break;
            case FolderFileState::kDamaged:
                // Rewritten with what this run finds.
                data.dirty = true;
                if (!warned_) {
                    warned_ = true;
                    std::fprintf(stderr, "quillery: index file %s was unusable and is rebuilt\n",
                                 file.c_str());
                }
                break;
        }
    }
    return data;
}

std::shared_ptr<const ArchiveRecord> CollectionIndex::find(const fs::path& archive,
                                                           const FileIdentity& identity,
                                                           const std::string& callKey) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Folder& folder = folderOf(FolderKey(archive));
    const std::string name = NameKey(archive);
    folder.seen.insert(name);
    const auto found = folder.records.find(name);
    if (found == folder.records.end() || found->second->identity != identity ||
        found->second->callKey != callKey) {
        return nullptr;
    }
    return found->second;
}

void CollectionIndex::remember(const fs::path& archive, ArchiveRecord record) {
    FileIdentity now;
    if (!usable_ || !ReadFileIdentity(archive, now) || now != record.identity ||
        !SettledIdentity(now)) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    Folder& folder = folderOf(FolderKey(archive));
    const std::string name = NameKey(archive);
    folder.seen.insert(name);
    auto& slot = folder.records[name];
    if (!slot || *slot != record) {
        slot = std::make_shared<const ArchiveRecord>(std::move(record));
        folder.dirty = true;
    }
}

void CollectionIndex::save() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!usable_) {
        return;
    }
    bool wrote = false;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    for (auto& [key, folder] : folders_) {
        // Archives of the folder this run did not come across may be gone.
        for (auto it = folder.records.begin(); it != folder.records.end();) {
            struct stat info {};
            if (!folder.seen.contains(it->first) &&
                ::stat((fs::path(key) / it->first).c_str(), &info) != 0) {
                it = folder.records.erase(it);
                folder.dirty = true;
            } else {
                ++it;
            }
        }
        const fs::path file = fileOf(key);
        if (folder.dirty) {
            if (folder.records.empty()) {
                std::error_code ec;
                fs::remove(file, ec);
            } else if (WriteFileAtomically(file, EncodeFolderFile(key, folder.records))) {
                wrote = true;
            }
            folder.dirty = false;
            folder.fromFile = true;
        } else if (folder.fromFile) {
            // The modification time marks the last use, for eviction.
            struct stat info {};
            if (::stat(file.c_str(), &info) == 0 &&
                now.tv_sec - info.st_mtim.tv_sec > kUseMarkSeconds) {
                ::utimensat(AT_FDCWD, file.c_str(), nullptr, 0);
            }
        }
        folder.seen.clear();
    }
    if (wrote) {
        evict();
    }
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
    for (fs::directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec)) {
        struct stat info {};
        if (it->path().extension() != kSuffix || ::stat(it->path().c_str(), &info) != 0) {
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

std::string CallKey(const StagingCall& call) {
    std::string key;
    for (const std::string& pattern : call.include) {
        key += pattern;
        key += '\0';
    }
    const UnzipOptions& o = call.options;
    for (const std::int64_t value :
         {std::int64_t{o.extractOnlyNewer}, std::int64_t{o.spaceToUnderscore},
          std::int64_t{o.promptToOverwrite}, std::int64_t{o.quietLevel},
          std::int64_t{o.writeToStdout}, std::int64_t{o.testOnly}, std::int64_t{o.listContents},
          std::int64_t{o.freshenExisting}, std::int64_t{o.displayComment},
          std::int64_t{o.recreateFolders}, std::int64_t{o.overwriteExisting},
          std::int64_t{o.convertLineEnds}, std::int64_t{o.detailedListing},
          std::int64_t{o.caseInsensitiveNames}, std::int64_t{o.restorePermissions},
          static_cast<std::int64_t>(o.maxEntryBytes), std::int64_t{call.noPasswordPrompt},
          std::int64_t{call.selectsNothing}}) {
        key += std::to_string(value);
        key += ',';
    }
    return key;
}

}  // namespace quillery
