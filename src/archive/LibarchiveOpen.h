#pragma once

#include <archive.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quillery {

struct LibarchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
using LibarchivePtr = std::unique_ptr<archive, LibarchiveCloser>;

// Supplies passwords to libarchive while it reads: each call of ask fills one and returns
// true, or returns false when there is none (libarchive then gives up on the entry).
class PassphraseSource {
  public:
    explicit PassphraseSource(std::function<bool(std::string&)> ask) : ask_(std::move(ask)) {}
    static const char* Callback(archive*, void* self);

  private:
    std::function<bool(std::string&)> ask_;
    std::string current_;
};

// A reader for the formats and compressions Quillery opens (never the ones that reach for
// other files or programs, nor "raw", which would take any file for an archive), or only
// zip with zipOnly. Reads bytes in memory when inMemory, else the file. Null when it cannot
// be opened (message in error).
LibarchivePtr OpenLibarchive(std::string_view bytes, bool inMemory,
                             const std::filesystem::path& file, bool zipOnly,
                             PassphraseSource* passwords, std::string& error);

}  // namespace quillery
