#include "index/IndexFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cassert>
#include <cerrno>
#include <cstring>

#include "archive/UniqueFd.h"

namespace quillery {

namespace {

constexpr char kMagic[8] = {'Q', 'L', 'R', 'Y', 'I', 'D', 'X', '\n'};
// Changes whenever the layout or the meaning of a summary changes; the byte order of the
// machine is part of it, since numbers are written as they lie in memory.
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderBytes = sizeof kMagic + 4 + 4 + 8 + 8;

std::uint64_t Checksum(const char* data, std::size_t size) {
    std::uint64_t h = 0x243F6A8885A308D3ULL ^ size;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + i, 8);
        h = (h ^ word) * 0x9E3779B97F4A7C15ULL;
        h ^= h >> 31;
    }
    for (; i < size; ++i) {
        h = (h ^ static_cast<unsigned char>(data[i])) * 0x100000001B3ULL;
    }
    return h ^ (h >> 29);
}

class Writer {
  public:
    template <class T>
    void put(T value) {
        out.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void text(const std::string& s) {
        put(static_cast<std::uint32_t>(s.size()));
        out += s;
    }
    std::string out;
};

class Reader {
  public:
    Reader(const char* data, std::size_t size) : at_(data), end_(data + size) {}

    template <class T>
    bool get(T& value) {
        if (static_cast<std::size_t>(end_ - at_) < sizeof value) {
            return false;
        }
        std::memcpy(&value, at_, sizeof value);
        at_ += sizeof value;
        return true;
    }
    bool text(std::string_view& s) {
        std::uint32_t size = 0;
        if (!get(size) || static_cast<std::size_t>(end_ - at_) < size) {
            return false;
        }
        s = std::string_view(at_, size);
        at_ += size;
        return true;
    }
    bool skip(std::size_t bytes) {
        if (static_cast<std::size_t>(end_ - at_) < bytes) {
            return false;
        }
        at_ += bytes;
        return true;
    }
    const char* at() const { return at_; }
    bool atEnd() const { return at_ == end_; }

  private:
    const char* at_;
    const char* end_;
};

// Reads one record's fields and checks that its summaries lie within the payload.
bool ReadRecord(Reader& in, const std::vector<std::string_view>& keys, std::string_view& name,
                StoredFolder::View& view) {
    FileIdentity& id = view.identity;
    std::uint32_t key = 0;
    std::int32_t result = 0;
    if (!in.text(name) || !in.get(id.device) || !in.get(id.inode) || !in.get(id.size) ||
        !in.get(id.modifiedNs) || !in.get(id.changedNs) || !in.get(key) || !in.get(result) ||
        !in.get(view.entries) || key >= keys.size()) {
        return false;
    }
    view.callKey = keys[key];
    view.result = result;
    view.summaries = in.at();
    for (std::uint32_t e = 0; e < view.entries; ++e) {
        std::uint8_t flags = 0, log2Bits = 0;
        if (!in.get(flags) || !in.get(log2Bits)) {
            return false;
        }
        if ((flags & EntrySummary::kHasFilter) != 0 &&
            (log2Bits < 6 || log2Bits > 31 || !in.skip((std::size_t{1} << (log2Bits - 6)) * 8))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string EncodeFolderFile(const std::string& folder, const FolderRecords& records) {
    Writer payload;
    payload.text(folder);
    std::vector<std::string> keys;
    for (const auto& [name, record] : records) {
        if (std::find(keys.begin(), keys.end(), record->callKey) == keys.end()) {
            keys.push_back(record->callKey);
        }
    }
    payload.put(static_cast<std::uint32_t>(keys.size()));
    for (const std::string& key : keys) {
        payload.text(key);
    }
    payload.put(static_cast<std::uint32_t>(records.size()));
    for (const auto& [name, record] : records) {
        const FileIdentity& id = record->identity;
        payload.text(name);
        payload.put(id.device);
        payload.put(id.inode);
        payload.put(id.size);
        payload.put(id.modifiedNs);
        payload.put(id.changedNs);
        payload.put(static_cast<std::uint32_t>(
            std::find(keys.begin(), keys.end(), record->callKey) - keys.begin()));
        payload.put(static_cast<std::int32_t>(record->result));
        payload.put(static_cast<std::uint32_t>(record->entries.size()));
        for (const EntrySummary& entry : record->entries) {
            const bool filter = entry.has(EntrySummary::kHasFilter);
            // The reader takes the filter's size as a power of two from 64 to 2^31 bits.
            assert(!filter || (std::has_single_bit(entry.bits.size()) &&
                               entry.bits.size() <= (std::size_t{1} << 25)));
            payload.put(entry.flags);
            payload.put(
                static_cast<std::uint8_t>(filter ? std::countr_zero(entry.bits.size() * 64) : 0));
            if (filter) {
                payload.out.append(reinterpret_cast<const char*>(entry.bits.data()),
                                   entry.bits.size() * 8);
            }
        }
    }
    Writer file;
    file.out.append(kMagic, sizeof kMagic);
    file.put(kVersion);
    file.put(std::uint32_t{0});
    file.put(static_cast<std::uint64_t>(payload.out.size()));
    file.put(Checksum(payload.out.data(), payload.out.size()));
    file.out += payload.out;
    return file.out;
}

FolderFileState StoredFolder::read(const std::filesystem::path& file, const std::string& folder) {
    bytes_.reset();
    size_ = 0;
    keys_.clear();
    records_.clear();
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return errno == ENOENT ? FolderFileState::kMissing : FolderFileState::kDamaged;
    }
    struct stat info {};
    // A folder's file is far smaller than this; a larger one is not read into memory.
    constexpr off_t kMostBytes = off_t{256} << 20;
    bool read =
        ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMostBytes;
    if (read) {
        // Not zeroed first: every byte is read over.
        size_ = static_cast<std::size_t>(info.st_size);
        bytes_ = std::make_unique_for_overwrite<char[]>(size_);
        std::size_t done = 0;
        while (done < size_) {
            const ssize_t got = ::read(fd.get(), bytes_.get() + done, size_ - done);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            done += static_cast<std::size_t>(got);
        }
        read = done == size_;
    }
    fd.reset();
    const FolderFileState state = read ? parse(folder) : FolderFileState::kDamaged;
    if (state != FolderFileState::kRead) {
        bytes_.reset();
        size_ = 0;
        keys_.clear();
        records_.clear();
    }
    return state;
}

FolderFileState StoredFolder::parse(const std::string& folder) {
    if (size_ < kHeaderBytes || std::memcmp(bytes_.get(), kMagic, 8) != 0) {
        return FolderFileState::kDamaged;
    }
    Reader header(bytes_.get() + 8, kHeaderBytes - 8);
    std::uint32_t version = 0, reserved = 0;
    std::uint64_t size = 0, checksum = 0;
    header.get(version);
    header.get(reserved);
    header.get(size);
    header.get(checksum);
    const char* payload = bytes_.get() + kHeaderBytes;
    if (version != kVersion || size != size_ - kHeaderBytes ||
        Checksum(payload, size) != checksum) {
        return FolderFileState::kDamaged;
    }
    Reader in(payload, size);
    std::string_view storedFolder;
    std::uint32_t keyCount = 0, recordCount = 0;
    if (!in.text(storedFolder) || storedFolder != folder || !in.get(keyCount) || keyCount > 1024) {
        return FolderFileState::kDamaged;
    }
    keys_.resize(keyCount);
    for (std::string_view& key : keys_) {
        if (!in.text(key)) {
            return FolderFileState::kDamaged;
        }
    }
    // A record takes at least 56 bytes: a count that cannot fit is damage, not a reservation.
    if (!in.get(recordCount) || recordCount > size / 56) {
        return FolderFileState::kDamaged;
    }
    records_.resize(recordCount);
    for (std::uint32_t r = 0; r < recordCount; ++r) {
        Record& record = records_[r];
        // Names come in order, each once, so that find can search them.
        if (!ReadRecord(in, keys_, record.name, record.view) ||
            (r > 0 && records_[r - 1].name >= record.name)) {
            return FolderFileState::kDamaged;
        }
    }
    return in.atEnd() ? FolderFileState::kRead : FolderFileState::kDamaged;
}

std::size_t StoredFolder::find(std::string_view name) const {
    const auto found =
        std::lower_bound(records_.begin(), records_.end(), name,
                         [](const Record& record, std::string_view n) { return record.name < n; });
    return found != records_.end() && found->name == name
               ? static_cast<std::size_t>(found - records_.begin())
               : npos;
}

StoredFolder::View StoredFolder::view(std::size_t i) const {
    assert(i < records_.size());
    return records_[i].view;
}

ArchiveRecord StoredFolder::decode(std::size_t i) const {
    assert(i < records_.size());
    const View& view = records_[i].view;
    ArchiveRecord record{view.identity, std::string(view.callKey), view.result, {}};
    record.entries.reserve(view.entries);
    view.allEntries([&record](const SummaryView& summary) {
        EntrySummary entry;
        entry.flags = summary.flags;
        entry.bits.resize(summary.words);
        if (summary.words != 0) {  // an empty entry has no bits to copy
            std::memcpy(entry.bits.data(), summary.bits, summary.words * 8);
        }
        record.entries.push_back(std::move(entry));
        return true;
    });
    return record;
}

bool WriteFileAtomically(const std::filesystem::path& file, const std::string& content) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp = file;
    temp += ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        return false;
    }
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t put = ::write(fd.get(), content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    // Some file systems report a failed write only when the file is closed.
    const bool written = fd.reset() && done == content.size();
    if (!written || ::rename(temp.c_str(), file.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace quillery
