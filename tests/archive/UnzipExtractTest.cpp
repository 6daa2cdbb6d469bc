#include <zip.h>

#include <string>
#include <vector>

#include "UnzipFixture.h"

namespace quillery {
namespace {

using test::MakeZip;
using test::ReadFileBytes;
using test::WriteFileBytes;

class UnzipExtractTest : public UnzipFixture {
  protected:
    void MakeTree() {
        MakeZip(zip, {Stored("top.txt", "top level"), Folder("docs/"),
                      File("docs/guide.txt", std::string(5000, 'g')),
                      File("docs/deep/note.md", "deep note"), Folder("empty/")});
    }
};

TEST_F(UnzipExtractTest, FlatModeWritesEachFileUnderItsLastName) {
    MakeTree();
    ASSERT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(FilesBelow(out), Files({"guide.txt", "note.md", "top.txt"}));
    EXPECT_EQ(ReadFileBytes(out / "top.txt"), "top level");
    EXPECT_EQ(ReadFileBytes(out / "guide.txt"), std::string(5000, 'g'));
    EXPECT_EQ(ReadFileBytes(out / "note.md"), "deep note");
    EXPECT_FALSE(std::filesystem::exists(out / "docs"));
    EXPECT_FALSE(std::filesystem::exists(out / "empty"));
}

TEST_F(UnzipExtractTest, RecreatedFoldersMirrorTheArchive) {
    MakeTree();
    options.recreateFolders = 1;
    ASSERT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(FilesBelow(out), Files({"docs/deep/note.md", "docs/guide.txt", "top.txt"}));
    EXPECT_EQ(ReadFileBytes(out / "docs/deep/note.md"), "deep note");
    EXPECT_TRUE(std::filesystem::is_directory(out / "empty"));
}

TEST_F(UnzipExtractTest, IncludeAndExcludeListsSelectEntries) {
    MakeZip(zip, {File("README.TXT", "r"), File("notes.md", "n"), File("x/keep.txt", "k"),
                  File("x/secret.txt", "s"), File("x/data.bin", "b")});
    options.recreateFolders = 1;
    ASSERT_EQ(Unzip({"*.txt"}, {"*secret*"}), kUnzOk);
    EXPECT_EQ(FilesBelow(out), Files({"x/keep.txt"}));

    std::filesystem::remove_all(out);
    options.caseInsensitiveNames = 1;
    ASSERT_EQ(Unzip({"*.txt", "*.md"}, {"X/SECRET.*"}), kUnzOk);
    EXPECT_EQ(FilesBelow(out), Files({"README.TXT", "notes.md", "x/keep.txt"}));

    std::filesystem::remove_all(out);
    ASSERT_EQ(Unzip({}, {"*.txt"}), kUnzOk);
    EXPECT_EQ(FilesBelow(out), Files({"notes.md", "x/data.bin"}));
}

TEST_F(UnzipExtractTest, NothingMatchingTheIncludeListIsReported) {
    MakeZip(zip, {File("a.txt", "a"), Folder("pdfs/")});
    EXPECT_EQ(Unzip({"*.pdf", "pdfs/"}), kUnzNoMatch);
    EXPECT_EQ(Unzip({"*.txt"}, {"a*"}), kUnzNoMatch);
    EXPECT_TRUE(FilesBelow(out).empty());
}

TEST_F(UnzipExtractTest, AnArchiveWithoutEntriesIsFine) {
    // The end-of-central-directory record alone.
    WriteFileBytes(zip, std::string("PK\5\6", 4) + std::string(18, '\0'));
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(Unzip({"*.txt"}), kUnzNoMatch);
}

TEST_F(UnzipExtractTest, MissingArchiveOrTargetIsABadOption) {
    MakeZip(zip, {File("a.txt", "a")});
    options.extractFolder.clear();
    EXPECT_EQ(Unzip(), kUnzBadOptions);
    options.testOnly = 1;
    EXPECT_EQ(Unzip(), kUnzOk);
    options.zipFileName.clear();
    EXPECT_EQ(Unzip(), kUnzBadOptions);
}

TEST_F(UnzipExtractTest, WhatIsNoArchiveIsReportedAsSuch) {
    options.zipFileName = dir / "missing.zip";
    EXPECT_EQ(Unzip(), kUnzNotAZip);

    std::filesystem::create_directory(dir / "y.zip");
    options.zipFileName = dir / "y.zip";
    EXPECT_EQ(Unzip(), kUnzNotAZip);

    WriteFileBytes(dir / "text.zip", "just some text, no archive at all\n");
    options.zipFileName = dir / "text.zip";
    EXPECT_EQ(Unzip(), kUnzNotAZip);

    WriteFileBytes(dir / "empty.zip", "");
    options.zipFileName = dir / "empty.zip";
    EXPECT_EQ(Unzip(), kUnzNotAZip);

    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(UnzipExtractTest, ListingDescribesEntriesAndWritesNothing) {
    MakeZip(zip,
            {Stored("stored.txt", "plain"), Folder("dir/"),
             File("dir/packed.txt", std::string(4000, 'p')), Locked("locked.txt", "hidden", "pw")});
    std::vector<EntryListing> listed;
    callbacks.message = [&](const EntryListing& entry) { listed.push_back(entry); };
    options.listContents = 1;
    options.extractFolder.clear();
    ASSERT_EQ(Unzip(), kUnzOk);
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[0].name, "stored.txt");
    EXPECT_EQ(listed[0].method, "Stored");
    EXPECT_EQ(listed[0].size, 5u);
    EXPECT_EQ(listed[0].compressedSize, 5u);
    EXPECT_GE(listed[0].year, 1980);
    EXPECT_GE(listed[0].month, 1);
    EXPECT_EQ(listed[1].name, "dir/");
    EXPECT_EQ(listed[2].method, "Defl:N");
    EXPECT_EQ(listed[2].size, 4000u);
    EXPECT_LT(listed[2].compressedSize, 4000u);
    EXPECT_NE(listed[2].crc, 0u);
    EXPECT_FALSE(listed[2].encrypted);
    EXPECT_TRUE(listed[3].encrypted);

    listed.clear();
    ASSERT_EQ(Unzip({"dir/?*"}), kUnzOk);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "dir/packed.txt");
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(UnzipExtractTest, TestOnlyChecksWithoutWriting) {
    MakeZip(zip, {File("a.txt", "alpha"), File("b.txt", "beta")});
    options.testOnly = 1;
    std::vector<std::string> serviced;
    callbacks.service = [&](const std::string& name, std::uint64_t size) {
        serviced.push_back(name + ":" + std::to_string(size));
        return 0;
    };
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(serviced, (std::vector<std::string>{"a.txt:5", "b.txt:4"}));
    EXPECT_FALSE(std::filesystem::exists(out));

    test::CorruptCrc(zip, "b.txt");
    EXPECT_EQ(Unzip(), kUnzCorrupt);
}

TEST_F(UnzipExtractTest, ServiceCallbackCanCancel) {
    MakeZip(zip, {File("a.txt", "a"), File("b.txt", "b")});
    callbacks.service = [](const std::string& name, std::uint64_t) { return name == "b.txt"; };
    EXPECT_EQ(Unzip(), kUnzCancelled);
    EXPECT_EQ(FilesBelow(out), Files({"a.txt"}));
}

TEST_F(UnzipExtractTest, SpacesBecomeUnderscoresWhenAsked) {
    MakeZip(zip, {File("my docs/a file.txt", "x")});
    options.recreateFolders = 1;
    options.spaceToUnderscore = 1;
    ASSERT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(FilesBelow(out), Files({"my_docs/a_file.txt"}));
}

TEST_F(UnzipExtractTest, ProgressAndCommentGoToPrint) {
    MakeZip(zip, {File("a.txt", "alpha")});
    {
        int error = 0;
        zip_t* archive = zip_open(zip.c_str(), 0, &error);
        ASSERT_NE(archive, nullptr);
        const std::string comment = "archive comment here";
        ASSERT_EQ(zip_set_archive_comment(archive, comment.c_str(),
                                          static_cast<zip_uint16_t>(comment.size())),
                  0);
        ASSERT_EQ(zip_close(archive), 0);
    }
    std::string printed;
    callbacks.print = [&](std::string_view text) {
        printed += text;
        return 0;
    };
    options.displayComment = 1;
    ASSERT_EQ(Unzip(), kUnzOk);
    EXPECT_NE(printed.find("archive comment here"), std::string::npos);
    EXPECT_NE(printed.find("inflating: "), std::string::npos);
    EXPECT_NE(printed.find("a.txt"), std::string::npos);

    printed.clear();
    options.displayComment = 0;
    options.overwriteExisting = 1;
    options.quietLevel = 2;
    ASSERT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(printed, "");
}

}  // namespace
}  // namespace quillery
