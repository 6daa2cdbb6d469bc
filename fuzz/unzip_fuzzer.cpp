// Arbitrary bytes as an archive: extracted to a sink and into a folder. Nothing may crash,
// leak or be written outside the folder. Inputs that do not start as a zip file does ("PK")
// are named .7z, so that libarchive reads them (whatever format they are); the scan opens
// inner archives.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "InputArchive.h"
#include "archive/Unzip.h"

namespace {

namespace fs = std::filesystem;

class CountingSink : public quillery::EntrySink {
  public:
    void begin(const quillery::EntryInfo&) override { open = true; }
    bool write(const char*, std::size_t size) override {
        bytes += size;
        return true;
    }
    void end(bool) override { open = false; }
    bool open = false;
    std::size_t bytes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quillery::fuzz::Scratch;
    const fs::path zip = quillery::fuzz::WriteInputArchive(data, size);
    const fs::path out = Scratch() / "out" / "target";
    std::error_code ec;
    fs::remove_all(Scratch() / "out", ec);
    fs::create_directories(out, ec);

    quillery::UnzipOptions options;
    options.zipFileName = zip;
    options.extractFolder = out;
    options.caseInsensitiveNames = 1;
    options.overwriteExisting = 1;
    options.maxEntryBytes = 1 << 20;

    CountingSink sink;
    quillery::UnzipCallbacks callbacks;
    callbacks.output = &sink;
    callbacks.password = [](std::string& password, const std::string&, const std::string&) {
        password = "secret";
        return 0;
    };
    options.writeToStdout = 1;
    options.allArchives = true;
    quillery::SingleEntryUnzip({"*.txt", "*.nfo"}, {}, options, callbacks);
    if (sink.open) {
        std::abort();  // every begun entry must be ended
    }

    options.writeToStdout = 0;
    options.recreateFolders = 1;
    quillery::SingleEntryUnzip({}, {}, options, callbacks);
    // Nothing beside the target folder.
    for (const auto& entry : fs::directory_iterator(Scratch() / "out", ec)) {
        if (entry.path() != out) {
            std::abort();
        }
    }
    return 0;
}
