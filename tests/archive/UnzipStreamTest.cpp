#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "UnzipFixture.h"

namespace quillery::test {
namespace {

// Records what the extraction hands over, as "begin NAME SIZE", "write" and "end 0|1".
class RecordingSink : public EntrySink {
  public:
    void begin(const EntryInfo& entry) override {
        events.push_back("begin " + entry.name + " " + std::to_string(entry.size));
        bytes.emplace_back();
    }
    bool write(const char* data, std::size_t size) override {
        events.push_back("write");
        bytes.back().append(data, size);
        return --writesLeft != 0;
    }
    void end(bool complete) override { events.push_back(complete ? "end 1" : "end 0"); }

    std::vector<std::string> events;
    std::vector<std::string> bytes;
    int writesLeft = -1;  // cancels when it reaches 0
};

class UnzipStreamTest : public UnzipFixture {
  protected:
    UnzipStreamTest() {
        options.writeToStdout = 1;
        options.extractFolder.clear();
        callbacks.output = &sink;
    }

    RecordingSink sink;
};

// Entries up to 8 MiB are inflated whole in memory, larger ones streamed, and archives up to
// 8 MiB are read whole; whichever way, the sink gets the same bytes in the same pieces, in
// archive order, folders left out.
TEST_F(UnzipStreamTest, EntriesArriveWholeInOrderAndInPiecesOfAQuarterMegabyte) {
    std::string text;
    for (std::uint64_t i = 0; text.size() < 8 * 1024 * 1024 + 100; ++i) {
        text += "line " + std::to_string(i * 7919 % 100003) + " of the text\n";
    }
    const std::string fits = text.substr(0, 8 * 1024 * 1024);
    const std::string larger = text.substr(0, 8 * 1024 * 1024 + 1);
    const std::string noise = Noise(9 * 1024 * 1024, 1);
    for (const bool bigArchive : {false, true}) {
        SCOPED_TRACE(bigArchive ? "archive read from the file" : "archive read whole");
        std::vector<ZipEntry> entries = {{"a/same.txt", "first"},
                                         Folder("dir/"),
                                         {"b/same.txt", "second", false},
                                         {"fits.txt", fits},
                                         {"larger.txt", larger}};
        if (bigArchive) {
            entries.push_back({"noise.bin", noise, false});
        }
        MakeZip(zip, entries);
        sink.events.clear();
        sink.bytes.clear();
        ASSERT_EQ(Unzip(), kUnzOk);
        ASSERT_EQ(sink.bytes.size(), bigArchive ? 5u : 4u);
        EXPECT_EQ(sink.bytes[0], "first");
        EXPECT_EQ(sink.bytes[1], "second");
        EXPECT_TRUE(sink.bytes[2] == fits && sink.bytes[3] == larger);
        EXPECT_EQ(std::vector<std::string>(sink.events.begin(), sink.events.begin() + 7),
                  (std::vector<std::string>{"begin a/same.txt 5", "write", "end 1",
                                            "begin b/same.txt 6", "write", "end 1",
                                            "begin fits.txt " + std::to_string(fits.size())}));
        // 32 pieces of 256 KiB, then 33 with one byte left over.
        EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), "write"),
                  2 + 32 + 33 + (bigArchive ? 36 : 0));
        EXPECT_EQ(sink.events.back(), "end 1");
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(UnzipStreamTest, TheSinkCanCancelAndBadOrLargeEntriesEndIncomplete) {
    MakeZip(zip, {{"a.txt", std::string(100, 'a')}, {"b.txt", "b"}});
    sink.writesLeft = 1;
    EXPECT_EQ(Unzip(), kUnzCancelled);
    EXPECT_EQ(sink.events, (std::vector<std::string>{"begin a.txt 100", "write", "end 0"}));

    sink.events.clear();
    sink.bytes.clear();
    sink.writesLeft = -1;
    options.maxEntryBytes = 99;
    EXPECT_EQ(Unzip(), kUnzTooLarge);
    EXPECT_EQ(sink.bytes, std::vector<std::string>{});
    options.maxEntryBytes = 100;
    EXPECT_EQ(Unzip(), kUnzOk);

    CorruptCrc(zip, "a.txt");
    sink.events.clear();
    EXPECT_EQ(Unzip(), kUnzCorrupt);
    EXPECT_EQ(sink.events.front(), "begin a.txt 100");
    EXPECT_EQ(sink.events.back(), "end 0");
}

}  // namespace
}  // namespace quillery::test
