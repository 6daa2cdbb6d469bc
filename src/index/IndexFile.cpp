#include "index/IndexFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>

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
    bool text(std::string& s) {
        std::uint32_t size = 0;
        if (!get(size) || static_cast<std::size_t>(end_ - at_) < size) {
            return false;
        }
        s.assign(at_, size);
        at_ += size;
        return true;
    }
    bool words(std::vector<std::uint64_t>& out, std::size_t count) {
        if (static_cast<std::size_t>(end_ - at_) / 8 < count) {
            return false;
        }
        out.resize(count);
        std::memcpy(out.data(), at_, count * 8);
        at_ += count * 8;
        return true;
    }
    bool atEnd() const { return at_ == end_; }

  private:
    const char* at_;
    const char* end_;
};

bool ReadRecord(Reader& in, const std::vector<std::string>& keys, std::string& name,
                ArchiveRecord& record) {
    FileIdentity& id = record.identity;
    std::uint32_t key = 0, entries = 0;
    std::int32_t result = 0;
    if (!in.text(name) || !in.get(id.device) || !in.get(id.inode) || !in.get(id.size) ||
        !in.get(id.modifiedNs) || !in.get(id.changedNs) || !in.get(key) || !in.get(result) ||
        !in.get(entries) || key >= keys.size()) {
        return false;
    }
    record.callKey = keys[key];
    record.result = result;
    for (std::uint32_t e = 0; e < entries; ++e) {
        EntrySummary entry;
        std::uint8_t log2Bits = 0;
        if (!in.get(entry.flags) || !in.get(log2Bits)) {
            return false;
        }
        if (entry.has(EntrySummary::kHasFilter)) {
            if (log2Bits < 6 || log2Bits > 31 ||
                !in.words(entry.bits, std::size_t{1} << (log2Bits - 6))) {
                return false;
            }
        }
        record.entries.push_back(std::move(entry));
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

FolderFileState ReadFolderFile(const std::filesystem::path& file, const std::string& folder,
                               FolderRecords& records) {
    records.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? FolderFileState::kMissing : FolderFileState::kDamaged;
    }
    struct stat info {};
    std::string bytes;
    bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (read) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            done += static_cast<std::size_t>(got);
        }
        read = done == bytes.size();
    }
    ::close(fd);
    if (!read || bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kMagic, 8) != 0) {
        return FolderFileState::kDamaged;
    }
    Reader header(bytes.data() + 8, kHeaderBytes - 8);
    std::uint32_t version = 0, reserved = 0;
    std::uint64_t size = 0, checksum = 0;
    header.get(version);
    header.get(reserved);
    header.get(size);
    header.get(checksum);
    const char* payload = bytes.data() + kHeaderBytes;
    if (version != kVersion || size != bytes.size() - kHeaderBytes ||
        Checksum(payload, size) != checksum) {
        return FolderFileState::kDamaged;
    }
    Reader in(payload, size);
    std::string storedFolder;
    std::uint32_t keyCount = 0, recordCount = 0;
    if (!in.text(storedFolder) || storedFolder != folder || !in.get(keyCount)) {
        return FolderFileState::kDamaged;
    }
    std::vector<std::string> keys(std::min<std::uint32_t>(keyCount, 1024));
    if (keyCount > keys.size()) {
        return FolderFileState::kDamaged;
    }
    for (std::string& key : keys) {
        if (!in.text(key)) {
            return FolderFileState::kDamaged;
        }
    }
    if (!in.get(recordCount)) {
        return FolderFileState::kDamaged;
    }
    for (std::uint32_t r = 0; r < recordCount; ++r) {
        std::string name;
        auto record = std::make_shared<ArchiveRecord>();
        if (!ReadRecord(in, keys, name, *record)) {
            records.clear();
            return FolderFileState::kDamaged;
        }
        records[name] = std::move(record);
    }
    if (!in.atEnd()) {
        records.clear();
        return FolderFileState::kDamaged;
    }
    return FolderFileState::kRead;
}

bool WriteFileAtomically(const std::filesystem::path& file, const std::string& content) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp = file;
    temp += ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    const bool written = ::close(fd) == 0 && done == content.size();
    if (!written || ::rename(temp.c_str(), file.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace quillery
