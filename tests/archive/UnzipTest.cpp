#include <cstdint>
#include <string>
#include <vector>

#include "UnzipFixture.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

using UnzipTest = UnzipFixture;

TEST_F(UnzipTest, FlatOrWithFoldersAndSelectedByIncludeAndExcludeLists) {
    // clang-format off
    MakeZip(zip, {{"top.txt", "top level", false}, Folder("docs/"), Folder("empty/"),
                  {"docs/guide.txt", std::string(5000, 'g')}, {"docs/deep/note.md", "deep"},
                  {"docs/SECRET.txt", "s"}, {"my docs/a file.txt", "x"}});
    // clang-format on
    struct Case {
        const char* name;
        int recreate, caseInsensitive, underscores;
        std::vector<std::string> include, exclude;
        Files files;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"flat", 0, 0, 0, {}, {}, {"SECRET.txt", "a file.txt", "guide.txt", "note.md", "top.txt"}},
        {"folders", 1, 0, 0, {}, {}, {"docs/SECRET.txt", "docs/deep/note.md", "docs/guide.txt",
                                      "my docs/a file.txt", "top.txt"}},
        {"include, exclude", 1, 0, 0, {"*.txt"}, {"*secret*", "my*"},
         {"docs/SECRET.txt", "docs/guide.txt", "top.txt"}},
        {"ignoring case", 1, 1, 0, {"*.TXT", "*.md"}, {"*secret*", "my*"},
         {"docs/deep/note.md", "docs/guide.txt", "top.txt"}},
        {"exclude only", 0, 0, 0, {}, {"*.txt"}, {"note.md"}},
        {"underscores", 1, 0, 1, {"my*"}, {}, {"my_docs/a_file.txt"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(out);
        options.recreateFolders = c.recreate;
        options.caseInsensitiveNames = c.caseInsensitive;
        options.spaceToUnderscore = c.underscores;
        EXPECT_EQ(Unzip(c.include, c.exclude), kUnzOk);
        EXPECT_EQ(FilesBelow(out), c.files);
    }
    options.recreateFolders = 1;
    EXPECT_EQ(Unzip({"*.pdf", "empty/"}), kUnzNoMatch);
    EXPECT_EQ(Unzip({"*.txt"}, {"*"}), kUnzNoMatch);
}

TEST_F(UnzipTest, WhatIsNoArchiveOrHasNoTargetIsReportedAsSuch) {
    WriteFileBytes(dir / "text.zip", "just some text, no archive at all\n");
    WriteFileBytes(dir / "empty.zip", "");
    WriteFileBytes(dir / "none.zip", std::string("PK\5\6", 4) + std::string(18, '\0'));
    fs::create_directory(dir / "y.zip");
    MakeZip(zip, {{"a.txt", "a"}});
    const std::vector<std::tuple<fs::path, fs::path, int>> cases = {
        {dir / "missing.zip", out, kUnzNotAZip},
        {dir / "y.zip", out, kUnzNotAZip},
        {dir / "text.zip", out, kUnzNotAZip},
        {dir / "empty.zip", out, kUnzNotAZip},
        {dir / "none.zip", out, kUnzOk},  // no entries at all
        {zip, {}, kUnzBadOptions},
        {{}, out, kUnzBadOptions},
    };
    for (const auto& [archive, target, result] : cases) {
        options.zipFileName = archive;
        options.extractFolder = target;
        // The size an archive was listed with spares asking for it; a wrong one (the file
        // changed since, or a folder's size) changes nothing.
        std::error_code ec;
        const std::uint64_t size = fs::is_regular_file(archive, ec) ? fs::file_size(archive) : 4096;
        for (const std::uint64_t listed : {std::uint64_t{0}, size, size + 1, size - 1}) {
            options.listedSize = listed;
            EXPECT_EQ(Unzip(), result) << archive << " into " << target << ", listed " << listed;
        }
    }
    EXPECT_TRUE(FilesBelow(out).empty());
}

TEST_F(UnzipTest, DamageStopsTheExtractionAndRemovesTheBrokenFile) {
    for (const bool deflate : {true, false}) {
        SCOPED_TRACE(deflate ? "deflated" : "stored");
        fs::remove_all(out);
        MakeZip(zip, {{"first.txt", "first", deflate},
                      {"bad.txt", std::string(3000, 'b'), deflate},
                      {"last.txt", "last", deflate}});
        CorruptCrc(zip, "bad.txt");
        EXPECT_EQ(Unzip(), kUnzCorrupt);
        EXPECT_EQ(FilesBelow(out), Files({"first.txt"}));
    }
    // Cut anywhere: fails cleanly, and writes nowhere but the target.
    MakeZip(zip, {{"a.txt", "first"}, {"b.txt", std::string(3000, 'b')}, {"c.txt", "last"}});
    const std::string whole = ReadFileBytes(zip);
    for (std::size_t size = 1; size < whole.size(); size += 7) {
        WriteFileBytes(zip, whole.substr(0, size));
        EXPECT_NE(Unzip(), kUnzOk) << size;
    }
    for (const std::string& file : FilesBelow(dir.path())) {
        EXPECT_TRUE(file == "test.zip" || file.starts_with("out/")) << file;
    }
}

TEST_F(UnzipTest, TheMostSevereProblemIsReported) {
    MakeZip(zip, {{"..", "no usable name"},
                  {"locked.txt", "secret", true, "pw"},
                  {"bad.txt", "bad"},
                  {"after.txt", "after"}});
    EXPECT_EQ(Unzip({"..", "locked.txt"}), kUnzEncryptedSkipped);
    EXPECT_EQ(Unzip({"..", "after.txt"}), kUnzWarning);
    CorruptCrc(zip, "bad.txt");
    EXPECT_EQ(Unzip(), kUnzCorrupt);

    MakeZip(zip, {{"small.txt", "small"}, {"big.txt", std::string(10000, 'B')}, {"z.txt", "z"}});
    fs::remove_all(out);
    options.maxEntryBytes = 9999;
    EXPECT_EQ(Unzip(), kUnzTooLarge);
    EXPECT_EQ(FilesBelow(out), Files({"small.txt"}));
    options.maxEntryBytes = 10000;
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(FilesBelow(out), Files({"big.txt", "small.txt", "z.txt"}));
}

TEST_F(UnzipTest, PasswordsAreAskedOnceReusedAndTriedThreeTimes) {
    MakeZip(zip, {{"plain1.txt", "one"},
                  {"secret.txt", "the secret text", true, "opensesame"},
                  {"plain2.txt", "two"},
                  {"secret2.txt", std::string(2000, 's'), false, "opensesame"}});
    const Files plain = {"plain1.txt", "plain2.txt"};
    EXPECT_EQ(Unzip(), kUnzEncryptedSkipped);  // nobody to ask
    EXPECT_EQ(FilesBelow(out), plain);

    std::vector<std::string> asked;
    const auto answer = [&](std::vector<std::string> passwords, int result = 0) {
        asked.clear();
        fs::remove_all(out);
        callbacks.password = [&asked, passwords, result](std::string& pw, const std::string& prompt,
                                                         const std::string& entry) {
            EXPECT_NE(prompt.find(entry), std::string::npos);
            asked.push_back(entry);
            pw = passwords[std::min(asked.size(), passwords.size()) - 1];
            return result;
        };
    };
    answer({"opensesame"});
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(asked, Files({"secret.txt"}));
    EXPECT_EQ(ReadFileBytes(out / "secret2.txt"), std::string(2000, 's'));
    answer({""}, 1);  // cancelled
    EXPECT_EQ(Unzip(), kUnzEncryptedSkipped);
    EXPECT_EQ(asked, Files({"secret.txt", "secret2.txt"}));
    for (const std::string wrong : {"wrong", "", "opensesam", "OPENSESAME"}) {
        answer({wrong});
        EXPECT_EQ(Unzip(), kUnzEncryptedSkipped) << wrong;
        EXPECT_EQ(asked.size(), 6u) << wrong;
        EXPECT_EQ(FilesBelow(out), plain) << wrong;
    }
    answer({"nope", "opensesame"});
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(asked.size(), 2u);
}

}  // namespace
}  // namespace quillery::test
