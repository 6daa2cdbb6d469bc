#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/Unzip.h"
#include "archive/UnzipResult.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery {
namespace {

namespace fs = std::filesystem;

// Everything below a folder, as relative paths.
std::vector<std::string> Tree(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        names.push_back(fs::relative(e.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(HostileNamesTest, WholeArchiveExtractionKeepsEveryNameInsideItsFolder) {
    test::TempDir dir;
    const fs::path zip = dir / "hostile.zip";
    const std::string longName(300, 'n');
    test::MakeZip(zip, {{"Readme.txt", "one"},
                        {"README.TXT", "two"},
                        {"..\\..\\windows.txt", "w"},
                        {"C:\\drive.txt", "d"},
                        {"/etc/abs.txt", "a"},
                        {"sub/../../up.txt", "u"},
                        {"bad\xFF\xFE name.txt", "b"},
                        {longName + ".txt", "long"},
                        {"link.txt", "/etc/passwd", false}});
    // Names are kept as given; libzip reports the invalid bytes as code page 437.
    const fs::path outside = dir / "outside";
    const fs::path target = outside / "target";
    fs::create_directories(target);

    UnzipOptions options;
    options.zipFileName = zip;
    options.extractFolder = target;
    options.recreateFolders = 1;
    options.overwriteExisting = 1;
    options.caseInsensitiveNames = 1;
    const int result = SingleEntryUnzip({}, {}, options, {});
    // The 300-character name cannot be written: reported, never written elsewhere.
    EXPECT_EQ(result, kUnzWriteFailed);
    EXPECT_EQ(Tree(outside).front(), "target");
    for (const std::string& name : Tree(outside)) {
        EXPECT_EQ(name.rfind("target", 0), 0u) << name;
    }
    EXPECT_TRUE(fs::exists(target / "Readme.txt"));
    EXPECT_TRUE(fs::exists(target / "README.TXT"));  // names that differ in case both stay
    EXPECT_TRUE(fs::exists(target / "windows.txt"));
    EXPECT_TRUE(fs::exists(target / "drive.txt"));
    EXPECT_TRUE(fs::exists(target / "etc" / "abs.txt"));
    EXPECT_TRUE(fs::exists(target / "sub" / "up.txt"));
    EXPECT_FALSE(fs::exists("/etc/abs.txt"));
}

TEST(HostileNamesTest, AnEntryWithoutANameIsSkippedAndTheRestExtracted) {
    test::TempDir dir;
    const fs::path zip = dir / "empty-name.zip";
    test::MakeZip(zip, {{"..", "x"}, {"ok.txt", "fine"}});
    fs::create_directories(dir / "out");
    UnzipOptions options;
    options.zipFileName = zip;
    options.extractFolder = dir / "out";
    options.overwriteExisting = 1;
    EXPECT_NE(SingleEntryUnzip({}, {}, options, {}), kUnzOk);
    EXPECT_EQ(Tree(dir / "out"), std::vector<std::string>{"ok.txt"});
}

}  // namespace
}  // namespace quillery
