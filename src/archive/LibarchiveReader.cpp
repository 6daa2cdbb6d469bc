#include "archive/LibarchiveReader.h"

#include <archive_entry.h>
#include <sys/stat.h>

#include <cassert>

namespace quillery {

namespace {

constexpr std::size_t kChunkBytes = 256 * 1024;
constexpr int kPasswordAttempts = 3;

}  // namespace

bool LibarchiveReader::nextPassword(std::string& password) {
    const UnzipCallbacks& callbacks = context_.callbacks;
    if (asked_ >= kPasswordAttempts || !callbacks.password) {
        return false;
    }
    ++asked_;
    return callbacks.password(password, "Enter password", std::string()) == 0;
}

Outcome LibarchiveReader::open() {
    const UnzipOptions& options = context_.options;
    const ArchiveSource& source = context_.source;
    if (!source.inMemory) {
        struct stat info {};
        if (::stat(options.zipFileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_size == 0) {
            say("error: cannot find or open " + options.zipFileName.string() + "\n", kProblem);
            return Outcome::kNotAnArchive;
        }
    }
    std::string error;
    reader_ = OpenLibarchive(source.memory, source.inMemory, options.zipFileName, false,
                             &passwords_, error);
    if (!reader_) {
        say("error: " + options.zipFileName.string() + ": " + error + "\n", kProblem);
        return Outcome::kNotAnArchive;
    }
    return Outcome::kOk;
}

bool LibarchiveReader::next(ArchiveEntry& entry) {
    if (failure_ != Outcome::kOk) {
        return false;
    }
    archive_entry* header = nullptr;
    const int status = archive_read_next_header(reader_.get(), &header);
    if (status == ARCHIVE_EOF) {
        return false;
    }
    if (status < ARCHIVE_WARN) {
        const char* why = archive_error_string(reader_.get());
        say("error: " + context_.options.zipFileName.string() + ": " + (why ? why : "damaged") +
                "\n",
            kProblem);
        // Nothing after a header that cannot be read can be: the archive is damaged, or,
        // when its first header is encrypted, skipped as encrypted.
        failure_ = headers_ == 0 && archive_read_has_encrypted_entries(reader_.get()) > 0
                       ? Outcome::kEncryptedSkipped
                       : Outcome::kCorrupt;
        return false;
    }
    asked_ = 0;
    entry = ArchiveEntry{};
    entry.index = headers_++;
    const char* utf8 = archive_entry_pathname_utf8(header);
    const char* raw = utf8 != nullptr ? utf8 : archive_entry_pathname(header);
    entry.name = raw != nullptr ? raw : "";
    const mode_t type = archive_entry_filetype(header);
    entry.folder = type == AE_IFDIR || (!entry.name.empty() && entry.name.back() == '/');
    entry.link = type == AE_IFLNK;
    entry.special = !entry.folder && !entry.link && type != AE_IFREG && type != 0;
    linkText_.clear();
    if (entry.link) {
        const char* target = archive_entry_symlink_utf8(header);
        if (target == nullptr) {
            target = archive_entry_symlink(header);
        }
        linkText_ = target != nullptr ? target : "";
    }
    entry.encrypted = archive_entry_is_encrypted(header) != 0;
    entry.sizeKnown = entry.link || archive_entry_size_is_set(header) != 0;
    entry.size =
        entry.link ? linkText_.size() : static_cast<std::uint64_t>(archive_entry_size(header));
    // libarchive does not tell the method: listed as stored, announced as inflated.
    entry.method = "Stored";
    if (archive_entry_mtime_is_set(header) != 0) {
        entry.mtime = archive_entry_mtime(header);
    }
    return true;
}

Outcome LibarchiveReader::prepare([[maybe_unused]] const ArchiveEntry& entry) {
    assert(entry.index + 1 == headers_);
    return Outcome::kOk;
}

Outcome LibarchiveReader::read(const ArchiveEntry& entry, const ByteConsumer& consume) {
    assert(entry.index + 1 == headers_);
    if (entry.link) {
        return linkText_.empty() ? Outcome::kOk : consume(linkText_.data(), linkText_.size());
    }
    if (buffer_.size() < kChunkBytes) {
        buffer_.resize(kChunkBytes);
    }
    for (;;) {
        const la_ssize_t got = archive_read_data(reader_.get(), buffer_.data(), buffer_.size());
        if (got < 0) {
            const char* why = archive_error_string(reader_.get());
            if (entry.encrypted) {
                say("   skipping: " + entry.name + "  (encrypted, " + (why ? why : "no password") +
                        ")\n",
                    kProblem);
                return Outcome::kEncryptedSkipped;
            }
            say("error: " + entry.name + ": " + (why ? why : "damaged") + "\n", kProblem);
            return Outcome::kCorrupt;
        }
        if (got == 0) {
            return Outcome::kOk;
        }
        if (const Outcome outcome = consume(buffer_.data(), static_cast<std::size_t>(got));
            outcome != Outcome::kOk) {
            return outcome;
        }
    }
}

}  // namespace quillery
