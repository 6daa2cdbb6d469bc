#include <cstdint>
#include <string>

#include "UnzipFixture.h"

namespace quillery {
namespace {

using test::CorruptCrc;
using test::MakeZip;
using test::ReadFileBytes;
using test::WriteFileBytes;

class UnzipDamageTest : public UnzipFixture {
  protected:
    void MakeThree(bool deflate) {
        MakeZip(zip, {File("first.txt", "first", deflate),
                      File("bad.txt", std::string(3000, 'b'), deflate),
                      File("last.txt", "last", deflate)});
    }
};

TEST_F(UnzipDamageTest, FailedCrcRemovesTheFileAndStops) {
    for (const bool deflate : {true, false}) {
        SCOPED_TRACE(deflate ? "deflated" : "stored");
        std::filesystem::remove_all(out);
        MakeThree(deflate);
        CorruptCrc(zip, "bad.txt");
        EXPECT_EQ(Unzip(), kUnzCorrupt);
        EXPECT_EQ(FilesBelow(out), Files({"first.txt"}));
    }
}

TEST_F(UnzipDamageTest, DamagedCompressedDataIsCorrupt) {
    MakeZip(zip, {File("text.txt", std::string(20000, 'x') + "tail")});
    std::string bytes = ReadFileBytes(zip);
    // The data follows the local header (30 bytes), the name and the extra field.
    const auto le16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                        static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    const std::size_t data = 30 + le16(26) + le16(28);
    for (std::size_t i = data + 2; i < data + 12; ++i) {
        bytes[i] = static_cast<char>(bytes[i] ^ 0xA5);
    }
    WriteFileBytes(zip, bytes);
    EXPECT_EQ(Unzip(), kUnzCorrupt);
    EXPECT_TRUE(FilesBelow(out).empty());
}

TEST_F(UnzipDamageTest, TruncatedArchivesFailCleanly) {
    MakeThree(true);
    const std::string whole = ReadFileBytes(zip);
    for (std::size_t size = 1; size < whole.size(); size += 7) {
        SCOPED_TRACE(size);
        WriteFileBytes(zip, whole.substr(0, size));
        std::filesystem::remove_all(out);
        EXPECT_NE(Unzip(), kUnzOk);
        for (const std::string& file : FilesBelow(dir.path())) {
            EXPECT_TRUE(file == "test.zip" || file.rfind("out/", 0) == 0) << file;
        }
    }
}

TEST_F(UnzipDamageTest, TheMostSevereProblemIsReported) {
    MakeZip(zip, {File("..", "no usable name"), Locked("locked.txt", "secret", "pw"),
                  File("bad.txt", "bad"), File("after.txt", "after")});
    EXPECT_EQ(Unzip({"..", "locked.txt"}), kUnzEncryptedSkipped);
    EXPECT_EQ(Unzip({"..", "after.txt"}), kUnzWarning);

    CorruptCrc(zip, "bad.txt");
    std::filesystem::remove_all(out);
    EXPECT_EQ(Unzip(), kUnzCorrupt);
    EXPECT_TRUE(FilesBelow(out).empty());
}

TEST_F(UnzipDamageTest, EntriesAboveTheSizeLimitStopTheExtraction) {
    MakeZip(zip, {File("small.txt", "small"), File("big.txt", std::string(10000, 'B')),
                  File("after.txt", "after")});
    options.maxEntryBytes = 1000;
    EXPECT_EQ(Unzip(), kUnzTooLarge);
    EXPECT_EQ(FilesBelow(out), Files({"small.txt"}));

    options.maxEntryBytes = 10000;
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(FilesBelow(out), Files({"after.txt", "big.txt", "small.txt"}));
}

}  // namespace
}  // namespace quillery
