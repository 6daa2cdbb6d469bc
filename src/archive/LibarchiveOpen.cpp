#include "archive/LibarchiveOpen.h"

namespace quillery {

namespace {

constexpr std::size_t kBlockBytes = 256 * 1024;

}  // namespace

const char* PassphraseSource::Callback(archive*, void* self) {
    auto* source = static_cast<PassphraseSource*>(self);
    if (!source->ask_ || !source->ask_(source->current_)) {
        return nullptr;
    }
    return source->current_.c_str();
}

LibarchivePtr OpenLibarchive(std::string_view bytes, bool inMemory,
                             const std::filesystem::path& file, bool zipOnly,
                             PassphraseSource* passwords, std::string& error) {
    LibarchivePtr reader(archive_read_new());
    if (!reader) {
        error = "out of memory";
        return nullptr;
    }
    archive* a = reader.get();
    if (zipOnly) {
        archive_read_support_format_zip_seekable(a);
    } else {
        archive_read_support_format_7zip(a);
        archive_read_support_format_rar(a);
        archive_read_support_format_rar5(a);
        archive_read_support_format_tar(a);
        archive_read_support_format_cpio(a);
        archive_read_support_format_iso9660(a);
        archive_read_support_format_cab(a);
        archive_read_support_format_lha(a);
        archive_read_support_format_xar(a);
        archive_read_support_format_zip(a);
        archive_read_support_filter_gzip(a);
        archive_read_support_filter_bzip2(a);
        archive_read_support_filter_xz(a);
        archive_read_support_filter_lzma(a);
        archive_read_support_filter_lzip(a);
        archive_read_support_filter_zstd(a);
        archive_read_support_filter_compress(a);
        archive_read_support_filter_lz4(a);
    }
    if (passwords != nullptr) {
        archive_read_set_passphrase_callback(a, passwords, &PassphraseSource::Callback);
    }
    const int opened = inMemory ? archive_read_open_memory(a, bytes.data(), bytes.size())
                                : archive_read_open_filename(a, file.c_str(), kBlockBytes);
    if (opened != ARCHIVE_OK) {
        const char* why = archive_error_string(a);
        error = why != nullptr ? why : "not an archive";
        return nullptr;
    }
    return reader;
}

}  // namespace quillery
