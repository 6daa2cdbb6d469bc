#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/EntryPath.h"

namespace quillery {
namespace {

using Parts = std::vector<std::string>;

TEST(EntryPathTest, OrdinaryNamesKeepTheirComponents) {
    EXPECT_EQ(SafeEntryComponents("readme.txt"), Parts({"readme.txt"}));
    EXPECT_EQ(SafeEntryComponents("docs/sub/a b.txt"), Parts({"docs", "sub", "a b.txt"}));
    EXPECT_EQ(SafeEntryComponents("docs/"), Parts({"docs"}));
    EXPECT_EQ(SafeEntryComponents("...hidden"), Parts({"...hidden"}));
    EXPECT_EQ(SafeEntryComponents("a:b"), Parts({"b"}));
    EXPECT_EQ(SafeEntryComponents("ab:c"), Parts({"ab:c"}));
}

TEST(EntryPathTest, EscapingComponentsAreDropped) {
    EXPECT_EQ(SafeEntryComponents("../../etc/passwd"), Parts({"etc", "passwd"}));
    EXPECT_EQ(SafeEntryComponents("a/../../b.txt"), Parts({"a", "b.txt"}));
    EXPECT_EQ(SafeEntryComponents("/abs/z"), Parts({"abs", "z"}));
    EXPECT_EQ(SafeEntryComponents("//x//./y"), Parts({"x", "y"}));
    EXPECT_EQ(SafeEntryComponents("..\\..\\win.ini"), Parts({"win.ini"}));
}

TEST(EntryPathTest, DriveLettersAndBackslashesAreHandled) {
    EXPECT_EQ(SafeEntryComponents("C:\\x\\..\\y.txt"), Parts({"x", "y.txt"}));
    EXPECT_EQ(SafeEntryComponents("c:/x.txt"), Parts({"x.txt"}));
    EXPECT_EQ(SafeEntryComponents("C:drive.txt"), Parts({"drive.txt"}));
    EXPECT_EQ(SafeEntryComponents("dir\\file.txt"), Parts({"dir", "file.txt"}));
}

TEST(EntryPathTest, NamesWithNothingUsableGiveNoComponents) {
    EXPECT_TRUE(SafeEntryComponents("").empty());
    EXPECT_TRUE(SafeEntryComponents("../").empty());
    EXPECT_TRUE(SafeEntryComponents("/").empty());
    EXPECT_TRUE(SafeEntryComponents("C:").empty());
    EXPECT_TRUE(SafeEntryComponents("C:\\").empty());
    EXPECT_TRUE(SafeEntryComponents("./..\\.").empty());
}

}  // namespace
}  // namespace quillery
