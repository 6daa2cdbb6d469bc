#include "archive/ZipReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>

#include "archive/UniqueFd.h"
#include "archive/ZipEntryFallback.h"
#include "archive/ZipLzma.h"

namespace quillery {

namespace {

constexpr zip_uint64_t kChunkBytes = 256 * 1024;
constexpr int kPasswordAttempts = 3;

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

// The piece size for an entry: a quarter megabyte, or the whole entry when it is smaller.
std::size_t PieceBytes(const zip_stat_t& stat) {
    const bool known = (stat.valid & ZIP_STAT_SIZE) != 0;
    return static_cast<std::size_t>(known ? std::clamp<zip_uint64_t>(stat.size, 1, kChunkBytes)
                                          : kChunkBytes);
}

}  // namespace

Outcome ZipReader::open() {
    const UnzipOptions& options = context_.options;
    const ArchiveSource& source = context_.source;
    zip_error_t error;
    if (source.inMemory) {
        zip_error_init(&error);
        bytes_ = source.memory;
        if (!bytes_.empty()) {
            openBuffer(bytes_.data(), bytes_.size(), error);
        }
        zip_error_fini(&error);
        if (!archive_) {
            return Outcome::kNotAnArchive;
        }
        count_ = static_cast<zip_uint64_t>(
            std::max<zip_int64_t>(0, zip_get_num_entries(archive_.get(), 0)));
        return Outcome::kOk;
    }
    // A folder is no archive; nor is an empty file, which libzip would open as one.
    // O_NONBLOCK: a FIFO or device named like an archive must not hang the open; it has no
    // effect on the reads of a regular file.
    UniqueFd fd(::open(options.zipFileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    const std::uint64_t wholeCap = CapsForLimit(options.memoryLimit).wholeArchive;
    // Archives up to the cap are read whole with one call and opened from memory: libzip
    // then makes no calls to the file system of its own. With the size the archive had when
    // it was listed, one read asks for a byte more: when it hands over exactly that size, the
    // file ends there and is read without asking for its size (a folder gives an error, and
    // anything else is looked at as below).
    if (const std::uint64_t listed = options.listedSize;
        fd.valid() && listed > 0 && listed <= wholeCap) {
        const auto size = static_cast<std::size_t>(listed);
        char* bytes = (*buffers_).archive.reserve(size + 1);
        if (::pread(fd.get(), bytes, size + 1, 0) == static_cast<ssize_t>(size)) {
            fd.reset();
            zip_error_init(&error);
            openBuffer(bytes, size, error);
            return openResult(error);
        }
    }
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size <= 0) {
        say("error: cannot find or open " + options.zipFileName.string() + "\n", kProblem);
        return Outcome::kNotAnArchive;
    }
    zip_error_init(&error);
    if (static_cast<std::uint64_t>(info.st_size) <= wholeCap) {
        const auto size = static_cast<std::size_t>(info.st_size);
        char* bytes = (*buffers_).archive.reserve(size);
        const bool read = ReadUpTo(fd.get(), bytes, size) == static_cast<std::int64_t>(size);
        const int readError = errno;
        fd.reset();
        if (read) {
            openBuffer(bytes, size, error);
        } else {
            zip_error_set(&error, ZIP_ER_READ, readError);
        }
    } else {
        fd.reset();
        int code = 0;
        archive_.reset(zip_open(options.zipFileName.c_str(), ZIP_RDONLY, &code));
        if (!archive_) {
            zip_error_set(&error, code, 0);
        }
    }
    return openResult(error);
}

void ZipReader::openBuffer(const char* bytes, std::size_t size, zip_error_t& error) {
    bytes_ = std::string_view(bytes, size);
    zip_source_t* source = zip_source_buffer_create(bytes, size, 0, &error);
    if (source != nullptr) {
        archive_.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
        if (!archive_) {
            zip_source_free(source);
        }
    }
}

Outcome ZipReader::openResult(zip_error_t& error) {
    if (!archive_) {
        const int code = zip_error_code_zip(&error);
        if (context_.reporter.speaks(kProblem)) {
            zip_error_t details;
            zip_error_init_with_code(&details, code);
            say("error: " + context_.options.zipFileName.string() + ": " +
                    zip_error_strerror(&details) + "\n",
                kProblem);
            zip_error_fini(&details);
        }
        zip_error_fini(&error);
        return code == ZIP_ER_INCONS ? Outcome::kCorrupt : Outcome::kNotAnArchive;
    }
    zip_error_fini(&error);
    count_ =
        static_cast<zip_uint64_t>(std::max<zip_int64_t>(0, zip_get_num_entries(archive_.get(), 0)));
    return Outcome::kOk;
}

std::string ZipReader::comment() const {
    int length = 0;
    const char* text = zip_get_archive_comment(archive_.get(), &length, 0);
    return text != nullptr && length > 0 ? std::string(text, static_cast<std::size_t>(length))
                                         : std::string();
}

bool ZipReader::next(ArchiveEntry& entry) {
    if (nextIndex_ >= count_ || failure_ != Outcome::kOk) {
        return false;
    }
    const zip_uint64_t index = nextIndex_++;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_.get(), index, 0, &stat) != 0 || (stat.valid & ZIP_STAT_NAME) == 0) {
        say(std::string("error: ") + zip_strerror(archive_.get()) + "\n", kProblem);
        failure_ = Outcome::kCorrupt;
        return false;
    }
    entry = ArchiveEntry{};
    entry.index = index;
    entry.name = stat.name;
    entry.size = stat.size;
    entry.sizeKnown = (stat.valid & ZIP_STAT_SIZE) != 0;
    entry.compressedSize = stat.comp_size;
    entry.method = MethodName(stat.comp_method);
    entry.stored = stat.comp_method == ZIP_CM_STORE;
    entry.crc = stat.crc;
    if ((stat.valid & ZIP_STAT_MTIME) != 0) {
        entry.mtime = stat.mtime;
    }
    entry.folder = !entry.name.empty() && entry.name.back() == '/';
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    entry.link =
        zip_file_get_external_attributes(archive_.get(), index, 0, &system, &attributes) == 0 &&
        system == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
    entry.encrypted =
        (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE;
    return true;
}

Outcome ZipReader::prepare(const ArchiveEntry& entry) {
    file_.reset();
    whole_.reset();
    zip_stat_init(&stat_);
    if (zip_stat_index(archive_.get(), entry.index, 0, &stat_) != 0) {
        prepared_.reset();
        say(std::string("error: ") + zip_strerror(archive_.get()) + "\n", kProblem);
        return Outcome::kCorrupt;
    }
    prepared_ = entry.index;
    if (needsFallback() || inflateInMemory()) {
        return Outcome::kOk;
    }
    return openEntry(entry);
}

Outcome ZipReader::read(const ArchiveEntry& entry, const ByteConsumer& consume) {
    assert(prepared_ == entry.index);
    if (needsFallback()) {
        return readFallback(entry, consume);
    }
    if (whole_) {
        const std::size_t piece = PieceBytes(stat_);
        for (std::size_t at = 0; at < whole_->size(); at += piece) {
            const std::size_t n = std::min(piece, whole_->size() - at);
            if (const Outcome outcome = consume(whole_->data() + at, n); outcome != Outcome::kOk) {
                return outcome;
            }
        }
        return Outcome::kOk;
    }
    assert(file_);
    return pump(entry, file_.get(), consume);
}

bool ZipReader::inflateInMemory() {
    constexpr zip_uint64_t kNeeded =
        ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
    const zip_stat_t& st = stat_;
    const bool stored = st.comp_method == ZIP_CM_STORE;
    // Entries up to the cap (inflated and compressed) are inflated in one go with libdeflate.
    const std::uint64_t cap = CapsForLimit(context_.options.memoryLimit).entry;
    if ((st.valid & kNeeded) != kNeeded || encrypted() ||
        (!stored && st.comp_method != ZIP_CM_DEFLATE) || st.size > cap || st.comp_size > cap ||
        (stored && st.comp_size != st.size)) {
        return false;
    }
    zip_t* archive = archive_.get();
    const EntryPtr raw(zip_fopen_index(archive, *prepared_, ZIP_FL_COMPRESSED));
    if (!raw) {
        zip_error_clear(archive);
        return false;
    }
    InflateBuffers& buffers = *buffers_;
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
    whole_ = std::string_view(bytes, size);
    return true;
}

Outcome ZipReader::openEntry(const ArchiveEntry& entry) {
    if (!encrypted()) {
        file_.reset(zip_fopen_index(archive_.get(), entry.index, 0));
        return file_ ? Outcome::kOk : openFailure(entry);
    }
    // libzip cannot decrypt such an entry, and opening one with a password leaks memory in
    // it: skip it without asking.
    if (zip_encryption_method_supported(stat_.encryption_method, 0) == 0) {
        say("   skipping: " + entry.name + "  (unsupported encryption)\n", kProblem);
        return Outcome::kEncryptedSkipped;
    }
    Outcome failure = Outcome::kOk;
    if (lastPassword_) {
        if (tryPassword(entry, *lastPassword_, failure) != PasswordTry::kWrong) {
            return failure;
        }
    }
    const UnzipCallbacks& callbacks = context_.callbacks;
    for (int attempt = 0; attempt < kPasswordAttempts; ++attempt) {
        std::string password;
        if (!callbacks.password ||
            callbacks.password(password, "Enter password for " + entry.name, entry.name) != 0) {
            say("   skipping: " + entry.name + "  (encrypted, no password)\n", kProblem);
            return Outcome::kEncryptedSkipped;
        }
        const PasswordTry verdict = tryPassword(entry, password, failure);
        if (verdict == PasswordTry::kRight) {
            lastPassword_ = std::move(password);
        }
        if (verdict != PasswordTry::kWrong) {
            return failure;
        }
        say("   incorrect password for " + entry.name + "\n", kProblem);
    }
    say("   skipping: " + entry.name + "  (wrong password)\n", kProblem);
    return Outcome::kEncryptedSkipped;
}

ZipReader::PasswordTry ZipReader::tryPassword(const ArchiveEntry& entry,
                                              const std::string& password, Outcome& failure) {
    zip_t* archive = archive_.get();
    EntryPtr trial(zip_fopen_index_encrypted(archive, entry.index, 0, password.c_str()));
    if (!trial) {
        if (zip_error_code_zip(zip_get_error(archive)) != ZIP_ER_WRONGPASSWD) {
            failure = openFailure(entry);
            return PasswordTry::kFailed;
        }
        zip_error_clear(archive);
        return PasswordTry::kWrong;
    }
    // libzip checks a password against one byte of the encryption header, which a wrong
    // password passes one time in 256; only a complete inflate with a correct CRC proves it.
    // So the entry is read through once, within the size limit, before it is opened again.
    std::uint64_t total = 0;
    const Outcome outcome = pump(
        entry, trial.get(),
        [&](const char*, std::size_t size) {
            total += size;
            return context_.limit.allows(total) ? Outcome::kOk : Outcome::kTooLarge;
        },
        false);
    if (outcome == Outcome::kCorrupt) {
        return PasswordTry::kWrong;
    }
    if (outcome != Outcome::kOk) {
        say("error: " + entry.name + " is too large\n", kProblem);
        failure = outcome;
        return PasswordTry::kFailed;
    }
    file_.reset(zip_fopen_index_encrypted(archive, entry.index, 0, password.c_str()));
    failure = file_ ? Outcome::kOk : openFailure(entry);
    return failure == Outcome::kOk ? PasswordTry::kRight : PasswordTry::kFailed;
}

Outcome ZipReader::openFailure(const ArchiveEntry& entry) {
    zip_t* archive = archive_.get();
    const int error = zip_error_code_zip(zip_get_error(archive));
    const std::string reason = zip_strerror(archive);
    zip_error_clear(archive);
    switch (error) {
        case ZIP_ER_ENCRNOTSUPP:
        case ZIP_ER_NOPASSWD:
            say("   skipping: " + entry.name + "  (" + reason + ")\n", kProblem);
            return Outcome::kEncryptedSkipped;
        case ZIP_ER_COMPNOTSUPP:
            say("   skipping: " + entry.name + "  (" + reason + ")\n", kProblem);
            return Outcome::kWarning;
        default:
            say("error: " + entry.name + ": " + reason + "\n", kProblem);
            return Outcome::kCorrupt;
    }
}

Outcome ZipReader::pump(const ArchiveEntry& entry, zip_file_t* file, const ByteConsumer& consume,
                        bool report) {
    const std::size_t chunk = PieceBytes(stat_);
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
            return Outcome::kCorrupt;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<zip_uint64_t>(got);
        if (const Outcome outcome = consume(buffer_.data(), static_cast<std::size_t>(got));
            outcome != Outcome::kOk) {
            return outcome;
        }
    }
    if (sizeKnown() && total != stat_.size) {
        if (report) {
            say("error: " + entry.name + ": data ends early\n", kProblem);
        }
        return Outcome::kCorrupt;
    }
    return Outcome::kOk;
}

bool ZipReader::needsFallback() const {
    return (stat_.valid & ZIP_STAT_COMP_METHOD) != 0 &&
           zip_compression_method_supported(stat_.comp_method, 0) == 0;
}

Outcome ZipReader::readFallback(const ArchiveEntry& entry, const ByteConsumer& consume) {
    // libarchive decrypts only entries in the methods libzip reads anyway.
    if (encrypted()) {
        say("   skipping: " + entry.name + "  (unsupported encryption)\n", kProblem);
        return Outcome::kEncryptedSkipped;
    }
    // What the consumer stops with is its own to say.
    bool stopped = false;
    const auto watched = [&](const char* data, std::size_t size) {
        const Outcome outcome = consume(data, size);
        stopped = outcome != Outcome::kOk;
        return outcome;
    };
    const Outcome outcome =
        stat_.comp_method == ZIP_CM_LZMA
            ? readLzma(entry, watched)
            : ReadZipEntryWithLibarchive(bytes_, !bytes_.empty(), context_.options.zipFileName,
                                         entry.name, entry.index, stat_.size, sizeKnown(), watched);
    if (stopped) {
        return outcome;
    }
    switch (outcome) {
        case Outcome::kEncryptedSkipped:
            say("   skipping: " + entry.name + "  (encrypted, no password)\n", kProblem);
            break;
        case Outcome::kCorrupt:
            say("error: " + entry.name + ": cannot be read\n", kProblem);
            break;
        case Outcome::kWarning:
            say("   skipping: " + entry.name + "  (compression method not supported)\n", kProblem);
            break;
        default:
            break;
    }
    return outcome;
}

Outcome ZipReader::readLzma(const ArchiveEntry& entry, const ByteConsumer& consume) {
    // libarchive reads the links among such entries only when they are stored or deflated:
    // liblzma decodes them all, from the raw data libzip hands over.
    zip_t* archive = archive_.get();
    const EntryPtr raw(zip_fopen_index(archive, entry.index, ZIP_FL_COMPRESSED));
    if (!raw || !sizeKnown() || (stat_.valid & ZIP_STAT_CRC) == 0) {
        zip_error_clear(archive);
        return Outcome::kCorrupt;
    }
    return DecodeZipLzma(
        [&](char* out, std::size_t size) { return zip_fread(raw.get(), out, size); }, stat_.size,
        stat_.crc, consume);
}

}  // namespace quillery
