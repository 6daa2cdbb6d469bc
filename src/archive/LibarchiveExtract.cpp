#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>

#include "archive/EntryPath.h"
#include "archive/LibarchiveReader.h"
#include "archive/NamePattern.h"
#include "archive/NestedArchives.h"
#include "archive/TargetFiles.h"
#include "archive/TargetPlace.h"
#include "archive/UnzipResult.h"

namespace quillery {

namespace {

constexpr std::size_t kChunkBytes = 256 * 1024;
constexpr int kPasswordAttempts = 3;

// What one header of the archive is.
struct Header {
    std::string name;
    bool directory = false;
    bool link = false;   // a symbolic link: its data is the link text
    bool other = false;  // a device, a pipe, a socket: never extracted
    bool encrypted = false;
    bool sizeKnown = false;
    std::uint64_t size = 0;
    std::time_t mtime = 0;
    bool mtimeKnown = false;
    std::string linkText;
};

// One call on an archive of any format but zip, read through libarchive from start to end
// in one pass. Same contract as the zip reader (see Unzip.h).
class OtherExtraction {
  public:
    OtherExtraction(const std::vector<std::string>& include,
                    const std::vector<std::string>& exclude, const UnzipOptions& options,
                    const UnzipCallbacks& callbacks, const ArchiveSource& source)
        : include_(include),
          exclude_(exclude),
          options_(options),
          callbacks_(callbacks),
          source_(source),
          passwords_([this](std::string& password) { return nextPassword(password); }) {}

    int run();

  private:
    using Consumer = std::function<int(const char* data, std::size_t size)>;

    bool writesFiles() const {
        return !options_.listContents && !options_.testOnly && !options_.writeToStdout;
    }
    bool isSelected(const std::string& name) const;
    bool speaks(int level) const {
        return callbacks_.print && options_.quietLevel <= level &&
               !(options_.writeToStdout && callbacks_.output == nullptr);
    }
    void say(const std::string& text, int level) const {
        if (speaks(level)) {
            callbacks_.print(text);
        }
    }
    std::uint64_t alreadyInflated() const {
        return source_.budget != nullptr ? source_.budget->inflated : 0;
    }
    bool nextPassword(std::string& password);

    Header readHeader(archive_entry* entry) const;
    int extract(const Header& header);
    int readData(const Header& header, const Consumer& consume);
    int makeFolder(const Header& header);
    int writeEntry(const Header& header);
    int openInner(const Header& header);

    const std::vector<std::string>& include_;
    const std::vector<std::string>& exclude_;
    const UnzipOptions& options_;
    const UnzipCallbacks& callbacks_;
    const ArchiveSource& source_;

    PassphraseSource passwords_;
    int asked_ = 0;
    LibarchivePtr reader_;
    UniqueFd root_;
    // libarchive reports data that ends early itself; the sizes in the headers are not
    // checked against the data, which some writers pad.
    std::vector<char> buffer_;
};

bool OtherExtraction::nextPassword(std::string& password) {
    if (asked_ >= kPasswordAttempts || !callbacks_.password) {
        return false;
    }
    ++asked_;
    return callbacks_.password(password, "Enter password", std::string()) == 0;
}

bool OtherExtraction::isSelected(const std::string& name) const {
    const bool ignoreCase = options_.caseInsensitiveNames != 0;
    const auto matches = [&](const std::string& pattern) {
        return MatchNamePattern(pattern, name, ignoreCase);
    };
    if (!include_.empty() && std::none_of(include_.begin(), include_.end(), matches)) {
        return false;
    }
    return std::none_of(exclude_.begin(), exclude_.end(), matches);
}

Header OtherExtraction::readHeader(archive_entry* entry) const {
    Header h;
    const char* utf8 = archive_entry_pathname_utf8(entry);
    const char* raw = utf8 != nullptr ? utf8 : archive_entry_pathname(entry);
    h.name = raw != nullptr ? raw : "";
    const mode_t type = archive_entry_filetype(entry);
    h.directory = type == AE_IFDIR || (!h.name.empty() && h.name.back() == '/');
    h.link = type == AE_IFLNK;
    h.other = !h.directory && !h.link && type != AE_IFREG && type != 0;
    if (h.link) {
        const char* target = archive_entry_symlink_utf8(entry);
        if (target == nullptr) {
            target = archive_entry_symlink(entry);
        }
        h.linkText = target != nullptr ? target : "";
    }
    h.encrypted = archive_entry_is_encrypted(entry) != 0;
    h.sizeKnown = archive_entry_size_is_set(entry) != 0;
    h.size = h.link ? h.linkText.size() : static_cast<std::uint64_t>(archive_entry_size(entry));
    h.sizeKnown = h.sizeKnown || h.link;
    h.mtimeKnown = archive_entry_mtime_is_set(entry) != 0;
    h.mtime = archive_entry_mtime(entry);
    return h;
}

int OtherExtraction::run() {
    if (options_.zipFileName.empty() || (writesFiles() && options_.extractFolder.empty())) {
        return kUnzBadOptions;
    }
    if (!source_.inMemory) {
        struct stat info {};
        if (::stat(options_.zipFileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_size == 0) {
            say("error: cannot find or open " + options_.zipFileName.string() + "\n", kProblem);
            return kUnzNotAZip;
        }
    }
    std::string error;
    reader_ = OpenLibarchive(source_.memory, source_.inMemory, options_.zipFileName, false,
                             &passwords_, error);
    if (!reader_) {
        say("error: " + options_.zipFileName.string() + ": " + error + "\n", kProblem);
        return kUnzNotAZip;
    }
    say("Archive:  " + options_.zipFileName.string() + "\n", kProgress);
    if (writesFiles()) {
        root_ = OpenTargetRoot(options_.extractFolder);
        if (!root_.valid()) {
            say("error: cannot create folder " + options_.extractFolder.string() + "\n", kProblem);
            return kUnzWriteFailed;
        }
    }

    int result = kUnzOk;
    bool anyFile = false;
    bool anyHeader = false;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader_.get(), &entry);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status < ARCHIVE_WARN) {
            const char* why = archive_error_string(reader_.get());
            say("error: " + options_.zipFileName.string() + ": " + (why ? why : "damaged") + "\n",
                kProblem);
            // Nothing after a header that cannot be read can be: the archive is damaged, or,
            // when its first header is encrypted, skipped as encrypted.
            const int code = !anyHeader && archive_read_has_encrypted_entries(reader_.get()) > 0
                                 ? kUnzEncryptedSkipped
                                 : kUnzCorrupt;
            if (ResultSeverity(code) > ResultSeverity(result)) {
                result = code;
            }
            break;
        }
        anyHeader = true;
        asked_ = 0;
        const Header header = readHeader(entry);
        const bool selected = isSelected(header.name) ||
                              (!header.directory && OpensAsInnerArchive(options_, header.name));
        if (!selected || header.other) {
            continue;
        }
        if (!header.directory) {
            anyFile = true;
        }
        const int code = extract(header);
        if (ResultSeverity(code) > ResultSeverity(result)) {
            result = code;
        }
        if (ResultStopsExtraction(code)) {
            break;
        }
    }
    if (result == kUnzOk && !include_.empty() && !anyFile) {
        say("caution: no entry matched\n", kProblem);
        return kUnzNoMatch;
    }
    return result;
}

int OtherExtraction::extract(const Header& header) {
    if (header.directory) {
        return writesFiles() && options_.recreateFolders ? makeFolder(header) : kUnzOk;
    }
    if (options_.listContents) {
        if (callbacks_.message) {
            EntryListing line;
            line.name = header.name;
            line.size = header.size;
            line.method = "Stored";
            line.encrypted = header.encrypted;
            std::tm local{};
            if (header.mtimeKnown && localtime_r(&header.mtime, &local) != nullptr) {
                line.year = local.tm_year + 1900;
                line.month = local.tm_mon + 1;
                line.day = local.tm_mday;
                line.hour = local.tm_hour;
                line.minute = local.tm_min;
            }
            callbacks_.message(line);
        }
        return kUnzOk;
    }
    if (callbacks_.service && callbacks_.service(header.name, header.size) != 0) {
        return kUnzCancelled;
    }
    if (options_.maxEntryBytes != 0 && header.sizeKnown &&
        alreadyInflated() + header.size > options_.maxEntryBytes) {
        say("error: " + header.name + " is too large\n", kProblem);
        return kUnzTooLarge;
    }
    if (OpensAsInnerArchive(options_, header.name)) {
        return openInner(header);
    }
    if (options_.testOnly) {
        const int code = readData(header, [](const char*, std::size_t) { return kUnzOk; });
        say("    testing: " + header.name + (code == kUnzOk ? "   OK\n" : "   bad\n"),
            code == kUnzOk ? kProgress : kProblem);
        return code;
    }
    if (options_.writeToStdout) {
        EntrySink* sink = callbacks_.output;
        if (sink == nullptr) {
            return readData(header, [this](const char* data, std::size_t size) {
                if (callbacks_.print) {
                    callbacks_.print(std::string_view(data, size));
                }
                return kUnzOk;
            });
        }
        sink->begin(EntryInfo{header.name, header.size});
        const int code = readData(header, [sink](const char* data, std::size_t size) {
            return sink->write(data, size) ? kUnzOk : kUnzCancelled;
        });
        sink->end(code == kUnzOk);
        return code;
    }
    return writeEntry(header);
}

int OtherExtraction::readData(const Header& header, const Consumer& consume) {
    if (header.link) {
        if (header.linkText.empty()) {
            return kUnzOk;
        }
        return consume(header.linkText.data(), header.linkText.size());
    }
    if (buffer_.size() < kChunkBytes) {
        buffer_.resize(kChunkBytes);
    }
    std::uint64_t total = 0;
    int code = kUnzOk;
    for (;;) {
        const la_ssize_t got = archive_read_data(reader_.get(), buffer_.data(), buffer_.size());
        if (got < 0) {
            const char* why = archive_error_string(reader_.get());
            if (header.encrypted) {
                say("   skipping: " + header.name + "  (encrypted, " + (why ? why : "no password") +
                        ")\n",
                    kProblem);
                code = kUnzEncryptedSkipped;
            } else {
                say("error: " + header.name + ": " + (why ? why : "damaged") + "\n", kProblem);
                code = kUnzCorrupt;
            }
            break;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::uint64_t>(got);
        if (options_.maxEntryBytes != 0 && alreadyInflated() + total > options_.maxEntryBytes) {
            say("error: " + header.name + " is too large\n", kProblem);
            code = kUnzTooLarge;
            break;
        }
        if (code = consume(buffer_.data(), static_cast<std::size_t>(got)); code != kUnzOk) {
            break;
        }
    }
    if (source_.budget != nullptr) {
        source_.budget->inflated += total;
    }
    return code;
}

int OtherExtraction::makeFolder(const Header& header) {
    const std::vector<std::string> parts = TargetParts(header.name, options_);
    if (parts.empty() || options_.freshenExisting) {
        return kUnzOk;
    }
    UniqueFd folder;
    if (OpenFolder(root_.get(), parts, true, folder) != FolderWalk::kOpened) {
        say("error: cannot create folder " + (options_.extractFolder / JoinPath(parts)).string() +
                "\n",
            kProblem);
        return kUnzWriteFailed;
    }
    return kUnzOk;
}

int OtherExtraction::writeEntry(const Header& header) {
    TargetPlace place = PlaceTarget(
        root_.get(), header.name,
        header.mtimeKnown ? std::optional<std::time_t>(header.mtime) : std::nullopt, options_,
        callbacks_, [this](const std::string& text, int level) { say(text, level); });
    if (!place.write) {
        return place.code;
    }
    const UniqueFd& folder = place.folder;
    const std::string& fileName = place.fileName;
    const std::string& shown = place.shown;
    const NodeKind existing = place.existing;

    // The file is made when the first bytes arrive, so that an entry that cannot be read
    // (no password) leaves an existing file alone.
    UniqueFd out;
    bool failedWrite = false;
    const auto open = [&]() {
        if (out.valid() || failedWrite) {
            return out.valid();
        }
        if ((existing != NodeKind::kNone && !RemoveNode(folder.get(), fileName)) ||
            !(out = CreateNewFile(folder.get(), fileName)).valid()) {
            failedWrite = true;
        }
        return out.valid();
    };
    say("  inflating: " + shown + "\n", kProgress);
    int code = readData(header, [&](const char* data, std::size_t size) {
        return open() && WriteAll(out.get(), data, size) ? kUnzOk : kUnzWriteFailed;
    });
    if (code == kUnzOk && !open()) {
        code = kUnzWriteFailed;
    }
    if (out.valid()) {
        if (code == kUnzOk && header.mtimeKnown) {
            SetFileTime(out.get(), header.mtime);
        }
        if (!out.reset() && code == kUnzOk) {
            code = kUnzWriteFailed;
        }
        if (code != kUnzOk) {
            RemoveNode(folder.get(), fileName);
        }
    }
    if (code == kUnzWriteFailed) {
        say("error: cannot write " + shown + "\n", kProblem);
    }
    return code;
}

int OtherExtraction::openInner(const Header& header) {
    if (source_.depth >= kMaxNestDepth) {
        say("   skipping: " + header.name + "  (nested too deep)\n", kProblem);
        return kUnzOk;
    }
    const std::uint64_t held = source_.budget != nullptr ? source_.budget->held : 0;
    if (header.sizeKnown && held + header.size > kNestedArchiveBytes) {
        say("   skipping: " + header.name + "  (too large to open inside an archive)\n", kProblem);
        return kUnzOk;
    }
    std::string bytes;
    bool tooLarge = false;
    const int code = readData(header, [&](const char* data, std::size_t size) {
        if (held + bytes.size() + size > kNestedArchiveBytes) {
            tooLarge = true;
            return kUnzCancelled;
        }
        bytes.append(data, size);
        return kUnzOk;
    });
    if (tooLarge) {
        say("   skipping: " + header.name + "  (too large to open inside an archive)\n", kProblem);
        return kUnzOk;
    }
    if (code != kUnzOk) {
        return code;
    }
    return ExtractInnerArchive(header.name, bytes, include_, exclude_, options_, callbacks_,
                               source_.depth, source_.budget);
}

}  // namespace

int ExtractOtherArchive(const std::vector<std::string>& include,
                        const std::vector<std::string>& exclude, const UnzipOptions& options,
                        const UnzipCallbacks& callbacks, const ArchiveSource& source) {
    return OtherExtraction(include, exclude, options, callbacks, source).run();
}

}  // namespace quillery
