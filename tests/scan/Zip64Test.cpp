#include <gtest/gtest.h>
#include <zip.h>

#include "scan/ScanFixture.h"
#include "scan/ScanRun.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// An archive larger than 4 GiB (zip64) whose small text entry lies behind a 4.1 GiB stored
// entry: only the text entry is read, and it is found.
TEST_F(ScanFixture, AnArchiveLargerThanFourGigabytesIsSearched) {
    const fs::path filler = root / "filler.bin";
    WriteFileBytes(filler, "");
    fs::resize_file(filler, (std::uintmax_t{4} << 30) + (64 << 20));  // sparse: no disk used
    int error = 0;
    zip_t* za = zip_open((root / "huge.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(za, nullptr);
    zip_source_t* big = zip_source_file(za, filler.c_str(), 0, -1);
    const zip_int64_t bigIndex = zip_file_add(za, "filler.bin", big, 0);
    ASSERT_GE(bigIndex, 0);
    zip_set_file_compression(za, static_cast<zip_uint64_t>(bigIndex), ZIP_CM_STORE, 0);
    static const char kText[] = "the needle at the end";
    zip_source_t* text = zip_source_buffer(za, kText, sizeof kText - 1, 0);
    ASSERT_GE(zip_file_add(za, "end.txt", text, 0), 0);
    ASSERT_EQ(zip_close(za), 0);
    fs::remove(filler);
    ASSERT_GT(fs::file_size(root / "huge.zip"), std::uintmax_t{4} << 30);

    view.search = "needle";
    view.patterns = "*.txt";
    view.options[OptionBox::ShowSize] = true;
    StartStopClick(ctx);
    ASSERT_EQ(view.rowNames(), QStringList{"huge.zip"});
    // Sizes beyond 32 bits are shown whole.
    EXPECT_EQ(view.rows[0].fileSize.size(), 9);  // "4,362,xxx"
    fs::remove(root / "huge.zip");
}

}  // namespace
}  // namespace quillery::test
