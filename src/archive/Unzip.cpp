#include "archive/Unzip.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>

#include "archive/ArchiveKinds.h"
#include "archive/EntryPath.h"
#include "archive/NamePattern.h"
#include "archive/NestedArchives.h"
#include "archive/TargetFiles.h"
#include "archive/TargetPlace.h"
#include "archive/UnzipResult.h"
#include "archive/ZipEntryFallback.h"

namespace quillery {

namespace {

constexpr zip_uint64_t kChunkBytes = 256 * 1024;
constexpr int kPasswordAttempts = 3;
// Internal answer of a password try, never returned to the caller.
constexpr int kWrongPassword = -1;

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ArchivePtr = std::unique_ptr<zip_t, ArchiveCloser>;
using EntryPtr = std::unique_ptr<zip_file_t, EntryCloser>;

// Memory for bytes that are always written before they are read: it grows, never shrinks,
// and is not cleared.
class ByteBuffer {
  public:
    char* reserve(std::size_t size) {
        if (size > capacity_ || !bytes_) {
            capacity_ = std::max<std::size_t>(size, 1);
            bytes_ = std::make_unique_for_overwrite<char[]>(capacity_);
        }
        return bytes_.get();
    }

  private:
    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0;
};

// Memory that the calls on one thread reuse: the archive's bytes, an entry's compressed and
// inflated bytes, and the inflater.
struct ThreadBuffers {
    ThreadBuffers() = default;
    ~ThreadBuffers() { libdeflate_free_decompressor(inflater); }
    ThreadBuffers(const ThreadBuffers&) = delete;
    ThreadBuffers& operator=(const ThreadBuffers&) = delete;

    libdeflate_decompressor* decompressor() {
        if (inflater == nullptr) {
            inflater = libdeflate_alloc_decompressor();
        }
        return inflater;
    }

    ByteBuffer archive;
    ByteBuffer compressed;
    ByteBuffer inflated;
    libdeflate_decompressor* inflater = nullptr;
    bool inUse = false;
};

// The thread's buffers while one extraction uses them; an extraction that starts meanwhile
// on the same thread (from a question's event loop) gets buffers of its own.
class BufferLease {
  public:
    BufferLease() {
        thread_local ThreadBuffers shared;
        if (shared.inUse) {
            own_ = std::make_unique<ThreadBuffers>();
            buffers_ = own_.get();
        } else {
            buffers_ = &shared;
        }
        buffers_->inUse = true;
    }
    ~BufferLease() { buffers_->inUse = false; }
    BufferLease(const BufferLease&) = delete;
    BufferLease& operator=(const BufferLease&) = delete;

    ThreadBuffers& operator*() const { return *buffers_; }

  private:
    std::unique_ptr<ThreadBuffers> own_;
    ThreadBuffers* buffers_ = nullptr;
};

// Reads from the start of the file at fd until size bytes or its end: the count read, or -1
// after an error.
std::int64_t ReadUpTo(int fd, char* out, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, out + done, size - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

std::string MethodName(zip_uint16_t method) {
    switch (method) {
        case ZIP_CM_STORE:
            return "Stored";
        case ZIP_CM_DEFLATE:
            return "Defl:N";
        case ZIP_CM_DEFLATE64:
            return "Def64";
        case ZIP_CM_BZIP2:
            return "BZip2";
        case ZIP_CM_LZMA:
            return "LZMA";
        case ZIP_CM_XZ:
            return "XZ";
        default:
            return "Unk:" + std::to_string(method);
    }
}

struct Entry {
    zip_uint64_t index = 0;
    zip_stat_t stat{};
    std::string name;
    bool directory = false;

    bool encrypted() const {
        return (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 &&
               stat.encryption_method != ZIP_EM_NONE;
    }
    bool sizeKnown() const { return (stat.valid & ZIP_STAT_SIZE) != 0; }
};

// One call of SingleEntryUnzip.
class Extraction {
  public:
    Extraction(const std::vector<std::string>& include, const std::vector<std::string>& exclude,
               const UnzipOptions& options, const UnzipCallbacks& callbacks,
               const ArchiveSource& source)
        : include_(include),
          exclude_(exclude),
          options_(options),
          callbacks_(callbacks),
          source_(source) {}

    int run();

  private:
    // Receives the inflated bytes; returns kUnzOk to go on or the code to stop with.
    using Consumer = std::function<int(const char* data, std::size_t size)>;

    bool writesFiles() const {
        return !options_.listContents && !options_.testOnly && !options_.writeToStdout;
    }
    bool isSelected(const std::string& name) const;
    // Whether a message of this level reaches the print callback; checked first where
    // building the text would cost more than the message is worth.
    bool speaks(int level) const;
    void say(const std::string& text, int level) const;

    int openArchive();
    // Opens the archive from size bytes in memory.
    void openBuffer(const char* bytes, std::size_t size, zip_error_t& error);
    // What an open ends with: its error said, as a result code.
    int openResult(zip_error_t& error);
    int collectEntries(std::vector<Entry>& entries);
    void list(const std::vector<Entry>& entries) const;

    int extract(const Entry& entry);
    // Bytes inflated for the file on disk's entry by the levels above this one.
    std::uint64_t alreadyInflated() const {
        return source_.budget != nullptr ? source_.budget->inflated : 0;
    }
    void charge(std::uint64_t bytes) const {
        if (source_.budget != nullptr) {
            source_.budget->inflated += bytes;
        }
    }
    // An entry in a compression method libzip here cannot read, read through libarchive.
    bool needsFallback(const Entry& entry) const;
    int readFallback(const Entry& entry, const Consumer& consume);
    // Opens the entry (the whole of it) as an archive and searches it.
    int openInner(const Entry& entry);
    int makeFolder(const Entry& entry);
    int testEntry(const Entry& entry);
    int streamEntry(const Entry& entry);
    // Inflates a plain entry (not encrypted, stored or deflated, small enough) whole with
    // libdeflate and checks its size and CRC. False when the entry does not qualify or
    // anything about it is amiss: the caller then reads it through libzip, whose verdict
    // stands, so this never changes a result, only its cost.
    bool inflateInMemory(const Entry& entry, std::string_view& data);
    // Hands data to consume in the pieces pump would have made.
    int deliver(const Entry& entry, std::string_view data, const Consumer& consume) const;
    int writeEntry(const Entry& entry);

    // Opens the entry for reading, asking for its password when it is encrypted.
    int openEntry(const Entry& entry, EntryPtr& file);
    // kUnzOk, kWrongPassword or another code.
    int openWithPassword(const Entry& entry, const std::string& password, EntryPtr& file);
    int openFailure(const Entry& entry);
    // Reads the entry to its end, handing each chunk to consume; report: say what went wrong.
    int pump(const Entry& entry, zip_file_t* file, const Consumer& consume, bool report = true);

    const std::vector<std::string>& include_;
    const std::vector<std::string>& exclude_;
    const UnzipOptions& options_;
    const UnzipCallbacks& callbacks_;
    const ArchiveSource& source_;
    // The archive's bytes when it was opened from memory.
    std::string_view bytes_;

    // Declared before the archive, which may read from its memory, so that it goes after it.
    BufferLease buffers_;
    ArchivePtr archive_;
    UniqueFd root_;
    std::vector<char> buffer_;
    std::optional<std::string> lastPassword_;
};

int Extraction::run() {
    if (options_.zipFileName.empty() || (writesFiles() && options_.extractFolder.empty())) {
        return kUnzBadOptions;
    }
    if (const int code = openArchive(); code != kUnzOk) {
        return code;
    }
    if (speaks(kProgress)) {
        say("Archive:  " + options_.zipFileName.string() + "\n", kProgress);
    }
    if (options_.displayComment && callbacks_.print) {
        int length = 0;
        const char* comment = zip_get_archive_comment(archive_.get(), &length, 0);
        if (comment != nullptr && length > 0) {
            callbacks_.print(std::string(comment, static_cast<std::size_t>(length)) + "\n");
        }
    }

    std::vector<Entry> entries;
    if (const int code = collectEntries(entries); code != kUnzOk) {
        return code;
    }
    const bool anyFile =
        std::any_of(entries.begin(), entries.end(), [](const Entry& e) { return !e.directory; });
    if (!include_.empty() && !anyFile) {
        say("caution: no entry matched\n", kProblem);
        return kUnzNoMatch;
    }
    if (options_.listContents) {
        list(entries);
        return kUnzOk;
    }
    if (writesFiles()) {
        root_ = OpenTargetRoot(options_.extractFolder);
        if (!root_.valid()) {
            say("error: cannot create folder " + options_.extractFolder.string() + "\n", kProblem);
            return kUnzWriteFailed;
        }
    }

    int result = kUnzOk;
    for (const Entry& entry : entries) {
        const int code = extract(entry);
        if (ResultSeverity(code) > ResultSeverity(result)) {
            result = code;
        }
        if (ResultStopsExtraction(code)) {
            break;
        }
    }
    return result;
}

bool Extraction::isSelected(const std::string& name) const {
    const bool ignoreCase = options_.caseInsensitiveNames != 0;
    const auto matches = [&](const std::string& pattern) {
        return MatchNamePattern(pattern, name, ignoreCase);
    };
    if (!include_.empty() && std::none_of(include_.begin(), include_.end(), matches)) {
        return false;
    }
    return std::none_of(exclude_.begin(), exclude_.end(), matches);
}

bool Extraction::speaks(int level) const {
    // Without an output sink, print carries the extracted bytes; keep it clean of chatter.
    return callbacks_.print && options_.quietLevel <= level &&
           !(options_.writeToStdout && callbacks_.output == nullptr);
}

void Extraction::say(const std::string& text, int level) const {
    if (speaks(level)) {
        callbacks_.print(text);
    }
}

int Extraction::openArchive() {
    zip_error_t error;
    if (source_.inMemory) {
        zip_error_init(&error);
        bytes_ = source_.memory;
        if (!bytes_.empty()) {
            openBuffer(bytes_.data(), bytes_.size(), error);
        }
        zip_error_fini(&error);
        return archive_ ? kUnzOk : kUnzNotAZip;
    }
    // A folder is no archive; nor is an empty file, which libzip would open as one.
    // O_NONBLOCK: a FIFO or device named like an archive must not hang the open; it has no
    // effect on the reads of a regular file.
    const int fd = ::open(options_.zipFileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    const std::uint64_t wholeCap = CapsForLimit(options_.memoryLimit).wholeArchive;
    // Archives up to the cap are read whole with one call and opened from memory: libzip
    // then makes no calls to the file system of its own. With the size the archive had when
    // it was listed, one read asks for a byte more: when it hands over exactly that size, the
    // file ends there and is read without asking for its size (a folder gives an error, and
    // anything else is looked at as below).
    if (const std::uint64_t listed = options_.listedSize;
        fd >= 0 && listed > 0 && listed <= wholeCap) {
        const auto size = static_cast<std::size_t>(listed);
        char* bytes = (*buffers_).archive.reserve(size + 1);
        if (::pread(fd, bytes, size + 1, 0) == static_cast<ssize_t>(size)) {
            ::close(fd);
            zip_error_init(&error);
            openBuffer(bytes, size, error);
            return openResult(error);
        }
    }
    struct stat info {};
    const bool usable =
        fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
    if (!usable) {
        if (fd >= 0) {
            ::close(fd);
        }
        say("error: cannot find or open " + options_.zipFileName.string() + "\n", kProblem);
        return kUnzNotAZip;
    }
    zip_error_init(&error);
    if (static_cast<std::uint64_t>(info.st_size) <= wholeCap) {
        const auto size = static_cast<std::size_t>(info.st_size);
        char* bytes = (*buffers_).archive.reserve(size);
        const bool read = ReadUpTo(fd, bytes, size) == static_cast<std::int64_t>(size);
        ::close(fd);
        if (read) {
            openBuffer(bytes, size, error);
        } else {
            zip_error_set(&error, ZIP_ER_READ, errno);
        }
    } else {
        ::close(fd);
        int code = 0;
        archive_.reset(zip_open(options_.zipFileName.c_str(), ZIP_RDONLY, &code));
        if (!archive_) {
            zip_error_set(&error, code, 0);
        }
    }
    return openResult(error);
}

void Extraction::openBuffer(const char* bytes, std::size_t size, zip_error_t& error) {
    bytes_ = std::string_view(bytes, size);
    zip_source_t* source = zip_source_buffer_create(bytes, size, 0, &error);
    if (source != nullptr) {
        archive_.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
        if (!archive_) {
            zip_source_free(source);
        }
    }
}

int Extraction::openResult(zip_error_t& error) {
    if (!archive_) {
        const int code = zip_error_code_zip(&error);
        if (speaks(kProblem)) {
            zip_error_t details;
            zip_error_init_with_code(&details, code);
            say("error: " + options_.zipFileName.string() + ": " + zip_error_strerror(&details) +
                    "\n",
                kProblem);
            zip_error_fini(&details);
        }
        zip_error_fini(&error);
        return code == ZIP_ER_INCONS ? kUnzCorrupt : kUnzNotAZip;
    }
    zip_error_fini(&error);
    return kUnzOk;
}

int Extraction::collectEntries(std::vector<Entry>& entries) {
    const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        Entry entry;
        entry.index = static_cast<zip_uint64_t>(i);
        zip_stat_init(&entry.stat);
        if (zip_stat_index(archive_.get(), entry.index, 0, &entry.stat) != 0 ||
            (entry.stat.valid & ZIP_STAT_NAME) == 0) {
            say(std::string("error: ") + zip_strerror(archive_.get()) + "\n", kProblem);
            return kUnzCorrupt;
        }
        entry.name = entry.stat.name;
        entry.directory = !entry.name.empty() && entry.name.back() == '/';
        if (isSelected(entry.name) ||
            (!entry.directory && OpensAsInnerArchive(options_, entry.name))) {
            entries.push_back(std::move(entry));
        }
    }
    return kUnzOk;
}

void Extraction::list(const std::vector<Entry>& entries) const {
    if (!callbacks_.message) {
        return;
    }
    for (const Entry& entry : entries) {
        EntryListing line;
        line.name = entry.name;
        line.size = entry.stat.size;
        line.compressedSize = entry.stat.comp_size;
        line.crc = entry.stat.crc;
        line.method = MethodName(entry.stat.comp_method);
        line.encrypted = entry.encrypted();
        if ((entry.stat.valid & ZIP_STAT_MTIME) != 0) {
            std::tm local{};
            if (localtime_r(&entry.stat.mtime, &local) != nullptr) {
                line.year = local.tm_year + 1900;
                line.month = local.tm_mon + 1;
                line.day = local.tm_mday;
                line.hour = local.tm_hour;
                line.minute = local.tm_min;
            }
        }
        callbacks_.message(line);
    }
}

int Extraction::extract(const Entry& entry) {
    if (entry.directory) {
        return writesFiles() && options_.recreateFolders ? makeFolder(entry) : kUnzOk;
    }
    if (callbacks_.service && callbacks_.service(entry.name, entry.stat.size) != 0) {
        return kUnzCancelled;
    }
    if (options_.maxEntryBytes != 0 && entry.sizeKnown() &&
        alreadyInflated() + entry.stat.size > options_.maxEntryBytes) {
        say("error: " + entry.name + " is too large\n", kProblem);
        return kUnzTooLarge;
    }
    if (OpensAsInnerArchive(options_, entry.name)) {
        return openInner(entry);
    }
    if (options_.testOnly) {
        return testEntry(entry);
    }
    if (options_.writeToStdout) {
        return streamEntry(entry);
    }
    return writeEntry(entry);
}

int Extraction::makeFolder(const Entry& entry) {
    const std::vector<std::string> parts = TargetParts(entry.name, options_);
    if (parts.empty() || options_.freshenExisting) {
        return kUnzOk;
    }
    const std::string shown = (options_.extractFolder / JoinPath(parts)).string();
    UniqueFd folder;
    if (OpenFolder(root_.get(), parts, true, folder) != FolderWalk::kOpened) {
        say("error: cannot create folder " + shown + "\n", kProblem);
        return kUnzWriteFailed;
    }
    say("   creating: " + shown + "/\n", kProgress);
    return kUnzOk;
}

int Extraction::testEntry(const Entry& entry) {
    std::string_view whole;
    int code = kUnzOk;
    if (needsFallback(entry)) {
        code = readFallback(entry, [](const char*, std::size_t) { return kUnzOk; });
    } else if (!inflateInMemory(entry, whole)) {
        EntryPtr file;
        if (code = openEntry(entry, file); code != kUnzOk) {
            return code;
        }
        code = pump(entry, file.get(), [](const char*, std::size_t) { return kUnzOk; });
    }
    const int level = code == kUnzOk ? kProgress : kProblem;
    if (speaks(level)) {
        say("    testing: " + entry.name + (code == kUnzOk ? "   OK\n" : "   bad\n"), level);
    }
    return code;
}

bool Extraction::inflateInMemory(const Entry& entry, std::string_view& data) {
    constexpr zip_uint64_t kNeeded =
        ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
    const zip_stat_t& st = entry.stat;
    const bool stored = st.comp_method == ZIP_CM_STORE;
    // Entries up to the cap (inflated and compressed) are inflated in one go with libdeflate.
    const std::uint64_t cap = CapsForLimit(options_.memoryLimit).entry;
    if ((st.valid & kNeeded) != kNeeded || entry.encrypted() ||
        (!stored && st.comp_method != ZIP_CM_DEFLATE) || st.size > cap || st.comp_size > cap ||
        (stored && st.comp_size != st.size)) {
        return false;
    }
    zip_t* archive = archive_.get();
    const EntryPtr raw(zip_fopen_index(archive, entry.index, ZIP_FL_COMPRESSED));
    if (!raw) {
        zip_error_clear(archive);
        return false;
    }
    ThreadBuffers& buffers = *buffers_;
    char* compressed = buffers.compressed.reserve(static_cast<std::size_t>(st.comp_size));
    const zip_int64_t got = zip_fread(raw.get(), compressed, st.comp_size);
    if (got < 0 || static_cast<zip_uint64_t>(got) != st.comp_size) {
        zip_error_clear(archive);
        return false;
    }
    const char* bytes = compressed;
    const auto size = static_cast<std::size_t>(st.size);
    if (!stored) {
        char* inflated = buffers.inflated.reserve(size);
        if (libdeflate_deflate_decompress(buffers.decompressor(), compressed,
                                          static_cast<std::size_t>(st.comp_size), inflated, size,
                                          nullptr) != LIBDEFLATE_SUCCESS) {
            return false;
        }
        bytes = inflated;
    }
    if (libdeflate_crc32(0, bytes, size) != st.crc) {
        return false;
    }
    charge(size);
    data = std::string_view(bytes, size);
    return true;
}

int Extraction::deliver(const Entry& entry, std::string_view data, const Consumer& consume) const {
    const std::size_t chunk =
        static_cast<std::size_t>(std::clamp<zip_uint64_t>(entry.stat.size, 1, kChunkBytes));
    for (std::size_t at = 0; at < data.size(); at += chunk) {
        const std::size_t n = std::min(chunk, data.size() - at);
        if (const int code = consume(data.data() + at, n); code != kUnzOk) {
            return code;
        }
    }
    return kUnzOk;
}

int Extraction::streamEntry(const Entry& entry) {
    std::string_view whole;
    if (callbacks_.output != nullptr && inflateInMemory(entry, whole)) {
        EntrySink* sink = callbacks_.output;
        sink->begin(EntryInfo{entry.name, entry.stat.size});
        const int code = deliver(entry, whole, [sink](const char* data, std::size_t size) {
            return sink->write(data, size) ? kUnzOk : kUnzCancelled;
        });
        sink->end(code == kUnzOk);
        return code;
    }
    if (needsFallback(entry)) {
        EntrySink* sink = callbacks_.output;
        if (sink == nullptr) {
            return readFallback(entry, [this](const char* data, std::size_t size) {
                if (callbacks_.print) {
                    callbacks_.print(std::string_view(data, size));
                }
                return kUnzOk;
            });
        }
        sink->begin(EntryInfo{entry.name, entry.stat.size});
        const int code = readFallback(entry, [sink](const char* data, std::size_t size) {
            return sink->write(data, size) ? kUnzOk : kUnzCancelled;
        });
        sink->end(code == kUnzOk);
        return code;
    }
    EntryPtr file;
    if (const int code = openEntry(entry, file); code != kUnzOk) {
        return code;
    }
    EntrySink* sink = callbacks_.output;
    if (sink == nullptr) {
        return pump(entry, file.get(), [this](const char* data, std::size_t size) {
            if (callbacks_.print) {
                callbacks_.print(std::string_view(data, size));
            }
            return kUnzOk;
        });
    }
    sink->begin(EntryInfo{entry.name, entry.stat.size});
    const int code = pump(entry, file.get(), [sink](const char* data, std::size_t size) {
        return sink->write(data, size) ? kUnzOk : kUnzCancelled;
    });
    sink->end(code == kUnzOk);
    return code;
}

int Extraction::writeEntry(const Entry& entry) {
    TargetPlace place = PlaceTarget(
        root_.get(), entry.name,
        (entry.stat.valid & ZIP_STAT_MTIME) != 0 ? std::optional<std::time_t>(entry.stat.mtime)
                                                 : std::nullopt,
        options_, callbacks_, [this](const std::string& text, int level) { say(text, level); });
    if (!place.write) {
        return place.code;
    }
    const UniqueFd& folder = place.folder;
    const std::string& fileName = place.fileName;
    const std::string& shown = place.shown;
    const NodeKind existing = place.existing;

    // Open the entry before touching the old file: a skipped password leaves it alone.
    const bool fallback = needsFallback(entry);
    EntryPtr file;
    if (!fallback) {
        if (const int code = openEntry(entry, file); code != kUnzOk) {
            return code;
        }
    }
    if (existing != NodeKind::kNone && !RemoveNode(folder.get(), fileName)) {
        say("error: cannot replace " + shown + "\n", kProblem);
        return kUnzWriteFailed;
    }
    // Symbolic-link entries land here too and become ordinary files holding the link text.
    UniqueFd out = CreateNewFile(folder.get(), fileName);
    if (!out.valid()) {
        say("error: cannot create " + shown + "\n", kProblem);
        return kUnzWriteFailed;
    }
    if (speaks(kProgress)) {
        say((entry.stat.comp_method == ZIP_CM_STORE ? " extracting: " : "  inflating: ") + shown +
                "\n",
            kProgress);
    }
    const int fd = out.get();
    const auto write = [fd](const char* data, std::size_t size) {
        return WriteAll(fd, data, size) ? kUnzOk : kUnzWriteFailed;
    };
    int code = fallback ? readFallback(entry, write) : pump(entry, file.get(), write);
    if (code == kUnzOk && (entry.stat.valid & ZIP_STAT_MTIME) != 0) {
        SetFileTime(fd, entry.stat.mtime);
    }
    if (!out.reset() && code == kUnzOk) {
        code = kUnzWriteFailed;
    }
    if (code != kUnzOk) {
        RemoveNode(folder.get(), fileName);
        if (code == kUnzWriteFailed) {
            say("error: cannot write " + shown + "\n", kProblem);
        }
    }
    return code;
}

int Extraction::openEntry(const Entry& entry, EntryPtr& file) {
    if (!entry.encrypted()) {
        file.reset(zip_fopen_index(archive_.get(), entry.index, 0));
        return file ? kUnzOk : openFailure(entry);
    }
    // libzip cannot decrypt such an entry, and opening one with a password leaks memory in
    // it: skip it without asking.
    if (zip_encryption_method_supported(entry.stat.encryption_method, 0) == 0) {
        say("   skipping: " + entry.name + "  (unsupported encryption)\n", kProblem);
        return kUnzEncryptedSkipped;
    }
    if (lastPassword_) {
        const int code = openWithPassword(entry, *lastPassword_, file);
        if (code != kWrongPassword) {
            return code;
        }
    }
    for (int attempt = 0; attempt < kPasswordAttempts; ++attempt) {
        std::string password;
        if (!callbacks_.password ||
            callbacks_.password(password, "Enter password for " + entry.name, entry.name) != 0) {
            say("   skipping: " + entry.name + "  (encrypted, no password)\n", kProblem);
            return kUnzEncryptedSkipped;
        }
        const int code = openWithPassword(entry, password, file);
        if (code == kUnzOk) {
            lastPassword_ = std::move(password);
        }
        if (code != kWrongPassword) {
            return code;
        }
        say("   incorrect password for " + entry.name + "\n", kProblem);
    }
    say("   skipping: " + entry.name + "  (wrong password)\n", kProblem);
    return kUnzEncryptedSkipped;
}

int Extraction::openWithPassword(const Entry& entry, const std::string& password, EntryPtr& file) {
    zip_t* archive = archive_.get();
    EntryPtr trial(zip_fopen_index_encrypted(archive, entry.index, 0, password.c_str()));
    if (!trial) {
        if (zip_error_code_zip(zip_get_error(archive)) != ZIP_ER_WRONGPASSWD) {
            return openFailure(entry);
        }
        zip_error_clear(archive);
        return kWrongPassword;
    }
    // libzip checks a password against one byte of the encryption header, which a wrong
    // password passes one time in 256; only a complete inflate with a correct CRC proves it.
    // So the entry is read through once before it is opened again for real.
    const int code = pump(
        entry, trial.get(), [](const char*, std::size_t) { return kUnzOk; }, false);
    if (code == kUnzCorrupt) {
        return kWrongPassword;
    }
    if (code != kUnzOk) {
        say("error: " + entry.name + " is too large\n", kProblem);
        return code;
    }
    file.reset(zip_fopen_index_encrypted(archive, entry.index, 0, password.c_str()));
    return file ? kUnzOk : openFailure(entry);
}

int Extraction::openFailure(const Entry& entry) {
    const int error = zip_error_code_zip(zip_get_error(archive_.get()));
    const std::string reason = zip_strerror(archive_.get());
    zip_error_clear(archive_.get());
    switch (error) {
        case ZIP_ER_ENCRNOTSUPP:
        case ZIP_ER_NOPASSWD:
            say("   skipping: " + entry.name + "  (" + reason + ")\n", kProblem);
            return kUnzEncryptedSkipped;
        case ZIP_ER_COMPNOTSUPP:
            say("   skipping: " + entry.name + "  (" + reason + ")\n", kProblem);
            return kUnzWarning;
        default:
            say("error: " + entry.name + ": " + reason + "\n", kProblem);
            return kUnzCorrupt;
    }
}

int Extraction::pump(const Entry& entry, zip_file_t* file, const Consumer& consume, bool report) {
    const zip_uint64_t chunk =
        entry.sizeKnown() ? std::clamp<zip_uint64_t>(entry.stat.size, 1, kChunkBytes) : kChunkBytes;
    if (buffer_.size() < chunk) {
        buffer_.resize(chunk);
    }
    zip_uint64_t total = 0;
    for (;;) {
        // libzip checks the CRC when it reaches the end of the data and fails that read.
        const zip_int64_t got = zip_fread(file, buffer_.data(), chunk);
        if (got < 0) {
            if (report) {
                say("error: " + entry.name + ": " + zip_file_strerror(file) + "\n", kProblem);
            }
            return kUnzCorrupt;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<zip_uint64_t>(got);
        if (options_.maxEntryBytes != 0 && alreadyInflated() + total > options_.maxEntryBytes) {
            if (report) {
                say("error: " + entry.name + " is too large\n", kProblem);
            }
            return kUnzTooLarge;
        }
        if (const int code = consume(buffer_.data(), static_cast<std::size_t>(got));
            code != kUnzOk) {
            return code;
        }
    }
    if (report) {
        charge(total);
    }
    if (entry.sizeKnown() && total != entry.stat.size) {
        if (report) {
            say("error: " + entry.name + ": data ends early\n", kProblem);
        }
        return kUnzCorrupt;
    }
    return kUnzOk;
}

bool Extraction::needsFallback(const Entry& entry) const {
    return (entry.stat.valid & ZIP_STAT_COMP_METHOD) != 0 &&
           zip_compression_method_supported(entry.stat.comp_method, 0) == 0;
}

int Extraction::readFallback(const Entry& entry, const Consumer& consume) {
    // libarchive decrypts only entries in the methods libzip reads anyway.
    if (entry.encrypted()) {
        say("   skipping: " + entry.name + "  (unsupported encryption)\n", kProblem);
        return kUnzEncryptedSkipped;
    }
    std::uint64_t total = 0;
    std::uint64_t limit = 0;  // none
    if (options_.maxEntryBytes != 0) {
        const std::uint64_t used = std::min(options_.maxEntryBytes, alreadyInflated());
        limit = std::max<std::uint64_t>(options_.maxEntryBytes - used, 1);
    }
    const int code = ReadZipEntryWithLibarchive(
        bytes_, !bytes_.empty(), options_.zipFileName, entry.name, entry.index, entry.stat.size,
        entry.sizeKnown(),
        [&](const char* data, std::size_t size) {
            total += size;
            return consume(data, size);
        },
        limit);
    charge(total);
    switch (code) {
        case kUnzOk:
            break;
        case kUnzEncryptedSkipped:
            say("   skipping: " + entry.name + "  (encrypted, no password)\n", kProblem);
            break;
        case kUnzTooLarge:
            say("error: " + entry.name + " is too large\n", kProblem);
            break;
        case kUnzCorrupt:
            say("error: " + entry.name + ": cannot be read\n", kProblem);
            break;
        case kUnzWarning:
            say("   skipping: " + entry.name + "  (compression method not supported)\n", kProblem);
            break;
        default:
            break;
    }
    return code;
}

int Extraction::openInner(const Entry& entry) {
    if (source_.depth >= kMaxNestDepth) {
        say("   skipping: " + entry.name + "  (nested too deep)\n", kProblem);
        return kUnzOk;
    }
    const std::uint64_t held = source_.budget != nullptr ? source_.budget->held : 0;
    if (entry.sizeKnown() && held + entry.stat.size > kNestedArchiveBytes) {
        say("   skipping: " + entry.name + "  (too large to open inside an archive)\n", kProblem);
        return kUnzOk;
    }
    std::string bytes;
    bool tooLarge = false;
    const Consumer keep = [&](const char* data, std::size_t size) {
        if (held + bytes.size() + size > kNestedArchiveBytes) {
            tooLarge = true;
            return kUnzCancelled;
        }
        bytes.append(data, size);
        return kUnzOk;
    };
    std::string_view whole;
    int code = kUnzOk;
    if (needsFallback(entry)) {
        code = readFallback(entry, keep);
    } else if (inflateInMemory(entry, whole)) {
        bytes.assign(whole);
    } else {
        EntryPtr file;
        if (code = openEntry(entry, file); code == kUnzOk) {
            code = pump(entry, file.get(), keep);
        }
    }
    if (tooLarge) {
        say("   skipping: " + entry.name + "  (too large to open inside an archive)\n", kProblem);
        return kUnzOk;
    }
    if (code != kUnzOk) {
        return code;
    }
    return ExtractInnerArchive(entry.name, bytes, include_, exclude_, options_, callbacks_,
                               source_.depth, source_.budget);
}

}  // namespace

int ExtractZipArchive(const std::vector<std::string>& include,
                      const std::vector<std::string>& exclude, const UnzipOptions& options,
                      const UnzipCallbacks& callbacks, const ArchiveSource& source) {
    return Extraction(include, exclude, options, callbacks, source).run();
}

int SingleEntryUnzip(const std::vector<std::string>& include,
                     const std::vector<std::string>& exclude, const UnzipOptions& options,
                     const UnzipCallbacks& callbacks) {
    const ArchiveSource onDisk;
    if (!options.zipFileName.empty() &&
        IsOtherArchiveName(options.zipFileName.filename().string())) {
        return ExtractOtherArchive(include, exclude, options, callbacks, onDisk);
    }
    return ExtractZipArchive(include, exclude, options, callbacks, onDisk);
}

}  // namespace quillery
