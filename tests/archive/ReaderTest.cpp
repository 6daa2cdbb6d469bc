#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "UnzipFixture.h"
#include "archive/ArchiveKinds.h"
#include "archive/LibarchiveReader.h"
#include "archive/ZipReader.h"
#include "support/ArchiveMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// What a reader tells of one entry, and its bytes.
struct Seen {
    std::uint64_t size = 0;
    bool folder = false, link = false, encrypted = false;
    std::string bytes;
    bool operator==(const Seen&) const = default;
};
void PrintTo(const Seen& seen, std::ostream* out) {
    *out << seen.size << " bytes" << (seen.folder ? ", folder" : "") << (seen.link ? ", link" : "")
         << (seen.encrypted ? ", encrypted" : "") << ": \"" << seen.bytes << '"';
}
using SeenEntries = std::map<std::string, Seen>;

SeenEntries ReadThrough(const fs::path& archive) {
    UnzipOptions options;
    options.zipFileName = archive;
    const UnzipCallbacks callbacks;
    const ArchiveSource onDisk;
    const Reporter reporter(options, callbacks);
    const InflateLimit limit(0, nullptr);
    const ExtractionContext context{options, callbacks, onDisk, reporter, limit};
    ZipReader zip(context);
    LibarchiveReader other(context);
    ArchiveReader& reader = IsZipName(archive.filename().string())
                                ? static_cast<ArchiveReader&>(zip)
                                : static_cast<ArchiveReader&>(other);
    SeenEntries seen;
    EXPECT_EQ(reader.open(), Outcome::kOk);
    for (ArchiveEntry entry; reader.next(entry);) {
        Seen& one = seen[entry.name.substr(0, entry.name.find_last_not_of('/') + 1)];
        one = {entry.size, entry.folder, entry.link, entry.encrypted, {}};
        if (!entry.folder) {
            EXPECT_EQ(reader.prepare(entry), Outcome::kOk) << entry.name;
            EXPECT_EQ(reader.read(entry,
                                  [&](const char* data, std::size_t size) {
                                      one.bytes.append(data, size);
                                      return Outcome::kOk;
                                  }),
                      Outcome::kOk)
                << entry.name;
        }
    }
    EXPECT_EQ(reader.failure(), Outcome::kOk);
    return seen;
}

// Keeps the entries handed over complete, by name.
struct KeepingSink : EntrySink {
    void begin(const EntryInfo& entry) override { entries[name = entry.name].clear(); }
    bool write(const char* data, std::size_t size) override {
        entries[name].append(data, size);
        return true;
    }
    void end(bool complete) override {
        if (!complete) {
            entries.erase(name);
        }
    }
    std::map<std::string, std::string> entries;
    std::string name;
};

using ReaderTest = UnzipFixture;

// A script and a link to it, stored with whatever method each writer takes (long and
// repetitive, so that LZMA is taken for both where it is asked for).
TEST_F(ReaderTest, EveryReaderTellsTheSameEntriesAndTheModesTreatThemAlike) {
    const std::string script =
        "#!/usr/bin/python3\n" + std::string(40, '#') + "\nprint('needle')\n";
    std::string target;
    for (int i = 0; i < 60; ++i) {
        target += "./";
    }
    target += "run.py";
    const SeenEntries expected = {
        {"tool", {0, true, false, false, {}}},
        {"tool/run.py", {script.size(), false, false, false, script}},
        {"tool/run", {target.size(), false, true, false, target}},
        {"tool/empty.txt", {0, false, false, false, {}}},
    };
    const fs::path source = dir / "source";
    fs::create_directories(source / "tool");
    WriteFileBytes(source / "tool/run.py", script);
    WriteFileBytes(source / "tool/empty.txt", "");
    fs::create_symlink(target, source / "tool/run");
    const std::vector<ArchiveFile> files = {{"tool/", "", false, true},
                                            {"tool/run.py", script},
                                            {"tool/run", target, true},
                                            {"tool/empty.txt", ""}};

    struct Row {
        const char* file;
        std::function<bool(const fs::path&)> make;
    };
    const std::vector<Row> rows = {
        {"libzip.zip",
         [&](const fs::path& path) {
             MakeZip(path, {Folder("tool/"),
                            {"tool/run.py", script},
                            Link("tool/run", target),
                            {"tool/empty.txt", ""}});
             return true;
         }},
        {"a.tar", [&](const fs::path& path) { return WriteArchive(path, "pax", "", files), true; }},
        {"a.7z", [&](const fs::path& path) { return WriteArchive(path, "7zip", "", files), true; }},
        // libzip lacks LZMA and libarchive reads no link stored with it.
        {"lzma.zip",
         [&](const fs::path& path) {
             return Run7z({"a", "-bd", "-y", "-tzip", "-mm=LZMA", "-snl", path.string(),
                           (source / "tool").string()});
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const fs::path archive = dir / row.file;
        if (!row.make(archive)) {
            ADD_FAILURE() << "the 7z tool is needed to make " << row.file;
            continue;
        }
        EXPECT_EQ(ReadThrough(archive), expected);

        // What a search sees: the text and the link's text, beside each other.
        KeepingSink sink;
        UnzipOptions scan;
        scan.zipFileName = archive;
        scan.writeToStdout = 1;
        UnzipCallbacks toSink;
        toSink.output = &sink;
        EXPECT_EQ(SingleEntryUnzip({"tool/run*"}, {}, scan, toSink), kUnzOk);
        EXPECT_EQ(sink.entries, (std::map<std::string, std::string>{{"tool/run.py", script},
                                                                    {"tool/run", target}}));

        // Unpacked, the link is an ordinary file holding its text.
        options.zipFileName = archive;
        options.extractFolder = dir / (std::string("out-") + row.file);
        options.recreateFolders = 1;
        EXPECT_EQ(Unzip(), kUnzOk);
        EXPECT_EQ(FilesBelow(options.extractFolder),
                  Files({"tool/empty.txt", "tool/run", "tool/run.py"}));
        EXPECT_FALSE(fs::is_symlink(options.extractFolder / "tool/run"));
        EXPECT_EQ(ReadFileBytes(options.extractFolder / "tool/run"), target);
        EXPECT_EQ(ReadFileBytes(options.extractFolder / "tool/run.py"), script);
    }
}

}  // namespace
}  // namespace quillery::test
