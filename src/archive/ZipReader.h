#pragma once

#include <zip.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ArchiveReader.h"
#include "archive/ExtractionContext.h"
#include "archive/InflateBuffers.h"

namespace quillery {

// Reads a zip with libzip, from memory when it is small enough (or an inner archive), else
// from its file. Plain entries small enough are inflated whole with libdeflate; entries in a
// compression method libzip lacks are read through libarchive, or with liblzma for LZMA.
// An encrypted entry is tried with the password that last worked in this archive, then with
// up to three answers of the password callback; a password counts as right only once the
// entry inflates with a correct CRC.
class ZipReader final : public ArchiveReader {
  public:
    explicit ZipReader(const ExtractionContext& context) : context_(context) {}

    ReaderTraits traits() const override {
        return {.indexed = true, .announcesFolders = true, .createsBeforeReading = true};
    }
    Outcome open() override;
    std::string comment() const override;
    bool next(ArchiveEntry& entry) override;
    Outcome failure() const override { return failure_; }
    Outcome prepare(const ArchiveEntry& entry) override;
    Outcome read(const ArchiveEntry& entry, const ByteConsumer& consume) override;

  private:
    struct ArchiveCloser {
        void operator()(zip_t* archive) const { zip_discard(archive); }
    };
    struct EntryCloser {
        void operator()(zip_file_t* file) const { zip_fclose(file); }
    };
    using ArchivePtr = std::unique_ptr<zip_t, ArchiveCloser>;
    using EntryPtr = std::unique_ptr<zip_file_t, EntryCloser>;

    // What one password does for an entry.
    enum class PasswordTry { kRight, kWrong, kFailed };

    void say(const std::string& text, int level) const { context_.reporter.say(text, level); }
    // Opens the archive from size bytes in memory.
    void openBuffer(const char* bytes, std::size_t size, zip_error_t& error);
    // What an open ends with: its error said, as an outcome.
    Outcome openResult(zip_error_t& error);

    bool encrypted() const {
        return (stat_.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 &&
               stat_.encryption_method != ZIP_EM_NONE;
    }
    bool sizeKnown() const { return (stat_.valid & ZIP_STAT_SIZE) != 0; }
    // The prepared entry is in a compression method libzip here cannot read.
    bool needsFallback() const;
    // Reads such an entry with liblzma (LZMA) or through libarchive (any other).
    Outcome readFallback(const ArchiveEntry& entry, const ByteConsumer& consume);
    Outcome readLzma(const ArchiveEntry& entry, const ByteConsumer& consume);
    // Inflates a plain entry (not encrypted, stored or deflated, small enough) whole with
    // libdeflate and checks its size and CRC. False when the entry does not qualify or
    // anything about it is amiss: it is then read through libzip, whose verdict stands, so
    // this never changes an outcome, only its cost.
    bool inflateInMemory();
    // Opens the entry for reading, asking for its password when it is encrypted.
    Outcome openEntry(const ArchiveEntry& entry);
    PasswordTry tryPassword(const ArchiveEntry& entry, const std::string& password,
                            Outcome& failure);
    Outcome openFailure(const ArchiveEntry& entry);
    // Reads the open entry to its end, handing each piece to consume; report: say what went
    // wrong.
    Outcome pump(const ArchiveEntry& entry, zip_file_t* file, const ByteConsumer& consume,
                 bool report = true);

    const ExtractionContext& context_;
    // The archive's bytes when it was opened from memory.
    std::string_view bytes_;
    // Declared before the archive, which may read from its memory, so that it goes after it.
    BufferLease buffers_;
    ArchivePtr archive_;
    zip_uint64_t count_ = 0;
    zip_uint64_t nextIndex_ = 0;
    Outcome failure_ = Outcome::kOk;

    // The prepared entry: its libzip details, and its bytes when inflated whole or its
    // opened file otherwise.
    zip_stat_t stat_{};
    std::optional<zip_uint64_t> prepared_;
    std::optional<std::string_view> whole_;
    EntryPtr file_;
    std::vector<char> buffer_;
    std::optional<std::string> lastPassword_;
};

}  // namespace quillery
