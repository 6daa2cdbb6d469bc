#include "scan/ViewerFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

TEST(ViewerFilesTest, FilesAreDecodedByTheirKindAndTakenAway) {
    TempDir work;
    WriteFileBytes(work / "ART.NFO", "\xC9\xCD\xBB caf\x82");                   // code page 437
    WriteFileBytes(work / "notes.txt", "caf\xE9 \x80");                         // Windows-1252
    WriteFileBytes(work / "utf8.diz", "\xEF\xBB\xBF\xE2\x95\x94 caf\xC3\xA9");  // UTF-8
    WriteFileBytes(work / ".hidden", "not shown");
    WriteFileBytes(work / "locked.txt", "unreadable");
    ::chmod((work / "locked.txt").c_str(), 0);
    const bool rootReadsAnything = ::access((work / "locked.txt").c_str(), R_OK) == 0;

    std::map<QString, QString> byName;
    for (const ViewerFile& file : TakeViewerFiles(work.path())) {
        byName[file.name] = file.text;
    }
    EXPECT_EQ(byName.count(".hidden"), 0u);
    EXPECT_EQ(byName["ART.NFO"], QStringLiteral("╔═╗ café"));
    EXPECT_EQ(byName["notes.txt"], QStringLiteral("café €"));
    EXPECT_EQ(byName["utf8.diz"], QStringLiteral("╔ café"));
    ASSERT_EQ(byName.count("locked.txt"), 1u);
    if (!rootReadsAnything) {
        EXPECT_TRUE(byName["locked.txt"].isNull());  // header only
    }
    // Every file is gone, the hidden one included; the folder stays.
    EXPECT_TRUE(fs::is_directory(work.path()));
    EXPECT_TRUE(fs::is_empty(work.path()));
}

}  // namespace
}  // namespace quillery::test
