#include <map>
#include <string>
#include <vector>

#include "UnzipFixture.h"
#include "support/ArchiveMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// Collects the entries handed to the scan's sink, complete ones only.
class CollectingSink : public EntrySink {
  public:
    void begin(const EntryInfo& entry) override { name = entry.name, bytes.clear(); }
    bool write(const char* data, std::size_t size) override {
        bytes.append(data, size);
        return true;
    }
    void end(bool complete) override {
        if (complete) {
            // libarchive's xar writer pads entries with zero bytes.
            entries[name] = bytes.substr(0, bytes.find_last_not_of('\0') + 1);
        }
    }
    std::map<std::string, std::string> entries;

  private:
    std::string name, bytes;
};

class FormatsTest : public UnzipFixture {
  protected:
    // Scans the archive as a run does: selected entries to the sink, never asking.
    int Scan(const fs::path& archive, const std::vector<std::string>& include,
             bool allArchives = true) {
        sink.entries.clear();
        UnzipOptions scan;
        scan.zipFileName = archive;
        scan.writeToStdout = 1;
        scan.caseInsensitiveNames = 1;
        scan.allArchives = allArchives;
        scan.maxEntryBytes = limit;
        UnzipCallbacks none;
        none.output = &sink;
        none.password = [](std::string&, const std::string&, const std::string&) { return 1; };
        return SingleEntryUnzip(include, {}, scan, none);
    }
    // Unpacks the whole archive with its folders into target, answering password questions.
    int Unpack(const fs::path& archive, const fs::path& target, const std::string& password = {}) {
        UnzipOptions all;
        all.zipFileName = archive;
        all.extractFolder = target;
        all.recreateFolders = 1;
        all.overwriteExisting = 1;
        all.allArchives = true;  // whole-archive extraction never opens inner archives
        UnzipCallbacks ask;
        ask.password = [&](std::string& answer, const std::string&, const std::string&) {
            ++passwordQuestions;
            answer = password;
            return password.empty() ? 1 : 0;
        };
        return SingleEntryUnzip({}, {}, all, ask);
    }

    CollectingSink sink;
    int passwordQuestions = 0;
    std::uint64_t limit = 0;
};

const std::vector<ArchiveFile> kContent = {
    {"docs/readme.txt", "find the needle here"},
    {"art.nfo", "\xDB\xDB needle art"},
    {"data.bin", "needle but not selected"},
    {"link.txt", "/etc/passwd", true},
    {"../../escape.txt", "outside?"},
};

TEST_F(FormatsTest, EveryWritableFormatIsSearchedAndUnpackedSafely) {
    struct Row {
        const char* file;
        const char* format;
        const char* filter;
        bool links;   // the format keeps symbolic links
        bool escape;  // its writer keeps a name that climbs out
    };
    const Row rows[] = {
        {"a.7z", "7zip", "", true, true},       {"a.tar", "pax", "", true, true},
        {"a.tgz", "pax", "gzip", true, true},   {"a.TAR.XZ", "pax", "xz", true, true},
        {"a.tzst", "pax", "zstd", true, true},  {"a.cpio", "cpio", "", true, true},
        {"a.iso", "iso9660", "", false, true},  {"a.xar", "xar", "", true, false},
        {"a.tbz2", "pax", "bzip2", true, true}, {"a.tar.lz", "pax", "lzip", true, true},
        {"a.zip", "zip", "", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const fs::path archive = dir / row.file;
        std::vector<ArchiveFile> content = kContent;
        if (!row.escape) {
            content.pop_back();
        }
        if (!row.links) {
            content.erase(content.begin() + 3);
        }
        WriteArchive(archive, row.format, row.filter, content);
        test::KeepAsFuzzSeed(archive);

        ASSERT_EQ(Scan(archive, {"*.txt", "*.NFO"}), kUnzOk);
        std::map<std::string, std::string> expected = {{"docs/readme.txt", "find the needle here"},
                                                       {"art.nfo", "\xDB\xDB needle art"}};
        if (row.links) {
            expected["link.txt"] = "/etc/passwd";
        }
        // The escaping name is reported as the archive holds it (it is a .txt entry).
        for (const auto& [name, bytes] : sink.entries) {
            if (name.find("escape.txt") != std::string::npos) {
                expected[name] = bytes;
            }
        }
        EXPECT_EQ(sink.entries, expected);
        EXPECT_EQ(Scan(archive, {"*.doc"}), kUnzNoMatch);

        const fs::path target = dir / (std::string("out-") + row.file);
        ASSERT_EQ(Unpack(archive, target), kUnzOk);
        EXPECT_EQ(test::ReadFileBytes(target / "docs/readme.txt"), "find the needle here");
        EXPECT_EQ(fs::exists(target / "escape.txt"), row.escape);
        EXPECT_FALSE(fs::exists(dir / "escape.txt"));
        EXPECT_FALSE(fs::exists(target.parent_path().parent_path() / "escape.txt"));
        if (row.links) {
            EXPECT_FALSE(fs::is_symlink(target / "link.txt"));
            EXPECT_EQ(test::ReadFileBytes(target / "link.txt"), "/etc/passwd");
        }
    }
}

TEST_F(FormatsTest, DamagedJunkAndEncryptedArchivesFailWithoutAsking) {
    const fs::path tgz = dir / "cut.tar.gz";
    std::string big(400000, 'x');
    for (std::size_t i = 0; i < big.size(); i += 7) {
        big[i] = static_cast<char>('a' + (i * 31) % 26);
    }
    WriteArchive(tgz, "pax", "gzip", {{"first.txt", "needle"}, {"big.txt", big}});
    fs::resize_file(tgz, fs::file_size(tgz) / 2);
    EXPECT_EQ(Scan(tgz, {"*.txt"}), kUnzCorrupt);

    const fs::path junk = dir / "junk.7z";
    test::WriteFileBytes(junk, "this is no archive at all, only text about a needle\n");
    EXPECT_EQ(Scan(junk, {"*.txt"}), kUnzNotAZip);

    const fs::path plain = dir / "plain.txt";
    test::WriteFileBytes(plain, "secret needle");
    const fs::path locked = dir / "locked.7z";
    if (!test::Run7z({"a", "-bd", "-y", "-pSesame", locked.string(), plain.string()})) {
        GTEST_SKIP() << "the 7z tool is needed to make an encrypted 7z archive";
    }
    test::KeepAsFuzzSeed(locked);
    EXPECT_EQ(Scan(locked, {"*.txt"}), kUnzEncryptedSkipped);
    EXPECT_TRUE(sink.entries.empty());
    // libarchive cannot decrypt 7z: unpacking fails without a useless question.
    EXPECT_EQ(Unpack(locked, dir / "out-locked", "Sesame"), kUnzEncryptedSkipped);
    EXPECT_EQ(passwordQuestions, 0);
    EXPECT_FALSE(fs::exists(dir / "out-locked/plain.txt"));
}

TEST_F(FormatsTest, ZipEntriesInMethodsLibzipLacksAreReadInEveryMode) {
    const fs::path text = dir / "lzma.txt";
    const std::string content = "an LZMA compressed needle " + std::string(5000, 'z');
    test::WriteFileBytes(text, content);
    const fs::path lzma = dir / "lzma.zip";
    const fs::path locked = dir / "locked.zip";
    if (!test::Run7z({"a", "-bd", "-y", "-tzip", "-mm=LZMA", lzma.string(), text.string()}) ||
        !test::Run7z(
            {"a", "-bd", "-y", "-tzip", "-mm=LZMA", "-pSesame", locked.string(), text.string()})) {
        GTEST_SKIP() << "the 7z tool is needed to make LZMA zips";
    }
    test::KeepAsFuzzSeed(lzma);
    test::KeepAsFuzzSeed(locked);
    ASSERT_EQ(Scan(lzma, {"*.txt"}, false), kUnzOk);
    EXPECT_EQ(sink.entries["lzma.txt"], content);
    options.zipFileName = lzma;
    options.testOnly = 1;
    EXPECT_EQ(Unzip(), kUnzOk);
    // Limits hold for them too.
    limit = 100;
    EXPECT_EQ(Scan(lzma, {"*.txt"}, false), kUnzTooLarge);
    limit = 0;

    // libarchive cannot decrypt such entries: skipped at once, without a question.
    EXPECT_EQ(Scan(locked, {"*.txt"}, false), kUnzEncryptedSkipped);
    EXPECT_EQ(Unpack(locked, dir / "out-locked", "Sesame"), kUnzEncryptedSkipped);
    EXPECT_EQ(passwordQuestions, 0);
    EXPECT_FALSE(fs::exists(dir / "out-locked/lzma.txt"));
}

TEST_F(FormatsTest, ArchivesInsideArchivesAreSearchedToThreeLevelsWithinOneBudget) {
    // disk.zip > one.tar.gz > two.zip > three.7z > deep.txt, and four.zip > deeper.txt.
    WriteArchive(dir / "four.zip", "zip", "", {{"deeper.txt", "needle four"}});
    WriteArchive(
        dir / "three.7z", "7zip", "",
        {{"deep.txt", "needle three"}, {"four.zip", test::ReadFileBytes(dir / "four.zip")}});
    WriteArchive(dir / "two.zip", "zip", "",
                 {{"two.txt", "needle two"}, {"three.7z", test::ReadFileBytes(dir / "three.7z")}});
    WriteArchive(dir / "one.tar.gz", "pax", "gzip",
                 {{"sub/two.zip", test::ReadFileBytes(dir / "two.zip")}});
    const fs::path disk = dir / "disk.zip";
    test::MakeZip(disk, {{"top.txt", "needle top"},
                         {"one.tar.gz", test::ReadFileBytes(dir / "one.tar.gz"), false}});

    ASSERT_EQ(Scan(disk, {"*.txt"}), kUnzOk);
    EXPECT_EQ(sink.entries, (std::map<std::string, std::string>{{"top.txt", "needle top"},
                                                                {"two.txt", "needle two"},
                                                                {"deep.txt", "needle three"}}));
    // Without the option the inner archives are left closed.
    ASSERT_EQ(Scan(disk, {"*.txt"}, false), kUnzOk);
    EXPECT_EQ(sink.entries.size(), 1u);

    // The size limit counts the bytes inflated at every level together: each entry alone
    // fits, the two together do not.
    const std::string half(600000, 'n');
    WriteArchive(dir / "inner.tar", "pax", "", {{"a.txt", half}, {"b.txt", half}});
    const fs::path bomb = dir / "bomb.zip";
    test::MakeZip(bomb, {{"inner.tar", test::ReadFileBytes(dir / "inner.tar")}});
    limit = 1000000;
    EXPECT_EQ(Scan(dir / "inner.tar", {"*.txt"}), kUnzOk);
    EXPECT_EQ(Scan(bomb, {"*.txt"}), kUnzTooLarge);
    limit = 0;

    // A damaged inner archive is a damaged entry of the outer one.
    const fs::path damaged = dir / "damaged.zip";
    test::MakeZip(damaged, {{"a.txt", "needle"}, {"broken.7z", "no archive in here"}});
    EXPECT_EQ(Scan(damaged, {"*.txt"}), kUnzCorrupt);
    EXPECT_EQ(Scan(damaged, {"*.txt"}, false), kUnzOk);
}

}  // namespace
}  // namespace quillery::test
