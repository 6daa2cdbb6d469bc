#include "archive/ZipEntryFallback.h"

#include <archive_entry.h>

#include <cstring>

#include "archive/LibarchiveOpen.h"

namespace quillery {

Outcome ReadZipEntryWithLibarchive(std::string_view bytes, bool inMemory,
                                   const std::filesystem::path& file, const std::string& name,
                                   std::uint64_t index, std::uint64_t size, bool sizeKnown,
                                   const ByteConsumer& consume) {
    // Up to two passes: by name, then by place and size (a name libzip and libarchive read
    // in different character sets).
    for (int pass = 0; pass < 2; ++pass) {
        std::string error;
        LibarchivePtr reader = OpenLibarchive(bytes, inMemory, file, true, nullptr, error);
        if (!reader) {
            return Outcome::kCorrupt;
        }
        archive_entry* entry = nullptr;
        bool found = false;
        for (std::uint64_t at = 0; archive_read_next_header(reader.get(), &entry) == ARCHIVE_OK;
             ++at) {
            if (pass == 0) {
                const char* utf8 = archive_entry_pathname_utf8(entry);
                const char* raw = archive_entry_pathname(entry);
                found = (utf8 != nullptr && name == utf8) || (raw != nullptr && name == raw);
            } else {
                found =
                    at == index &&
                    (!sizeKnown || (archive_entry_size_is_set(entry) &&
                                    static_cast<std::uint64_t>(archive_entry_size(entry)) == size));
            }
            if (found) {
                break;
            }
        }
        if (!found) {
            continue;
        }
        if (archive_entry_is_encrypted(entry) != 0) {
            return Outcome::kEncryptedSkipped;
        }
        char buffer[64 * 1024];
        std::uint64_t total = 0;
        for (;;) {
            const la_ssize_t got = archive_read_data(reader.get(), buffer, sizeof buffer);
            if (got < 0) {
                // A method libarchive lacks too is skipped, as libzip's are; anything else
                // is damage.
                const char* why = archive_error_string(reader.get());
                const bool unsupported =
                    total == 0 && why != nullptr && std::strncmp(why, "Unsupported", 11) == 0;
                return unsupported ? Outcome::kWarning : Outcome::kCorrupt;
            }
            if (got == 0) {
                break;
            }
            total += static_cast<std::uint64_t>(got);
            if (const Outcome code = consume(buffer, static_cast<std::size_t>(got));
                code != Outcome::kOk) {
                return code;
            }
        }
        return sizeKnown && total != size ? Outcome::kCorrupt : Outcome::kOk;
    }
    return Outcome::kCorrupt;
}

}  // namespace quillery
