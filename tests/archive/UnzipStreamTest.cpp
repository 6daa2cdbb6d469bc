#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "UnzipFixture.h"

namespace quillery {
namespace {

using test::MakeZip;

// Records what the extraction hands over, as "begin NAME SIZE", "write N" and "end 0|1".
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

TEST_F(UnzipStreamTest, EntriesArriveWholeAndInOrder) {
    std::string big;
    for (int i = 0; big.size() < 700 * 1024; ++i) {
        big += "line " + std::to_string(i) + "\n";
    }
    MakeZip(zip, {File("a/same.txt", "first"), Folder("dir/"), Stored("b/same.txt", "second"),
                  File("big.txt", big)});
    ASSERT_EQ(Unzip(), kUnzOk);
    ASSERT_EQ(sink.bytes.size(), 3u);
    EXPECT_EQ(sink.bytes[0], "first");
    EXPECT_EQ(sink.bytes[1], "second");
    EXPECT_EQ(sink.bytes[2], big);
    ASSERT_GE(sink.events.size(), 9u);
    EXPECT_EQ(sink.events[0], "begin a/same.txt 5");
    EXPECT_EQ(sink.events[1], "write");
    EXPECT_EQ(sink.events[2], "end 1");
    EXPECT_EQ(sink.events[3], "begin b/same.txt 6");
    EXPECT_EQ(sink.events[6], "begin big.txt " + std::to_string(big.size()));
    EXPECT_GT(sink.events.size(), 9u) << "a large entry comes in several pieces";
    EXPECT_EQ(sink.events.back(), "end 1");
    EXPECT_FALSE(std::filesystem::exists(out));
}

// Entries up to 8 MiB are inflated whole in memory, larger ones streamed, and archives up to
// 8 MiB are read whole; whichever way, the sink gets the same bytes in the same pieces.
TEST_F(UnzipStreamTest, SmallAndLargeEntriesArriveTheSameWay) {
    std::string text;
    for (std::uint64_t i = 0; text.size() < 8 * 1024 * 1024 + 100; ++i) {
        text += "line " + std::to_string(i * 7919 % 100003) + " of the text\n";
    }
    const std::string fits = text.substr(0, 8 * 1024 * 1024);
    const std::string larger = text.substr(0, 8 * 1024 * 1024 + 1);
    std::string noise(9 * 1024 * 1024, '\0');
    std::uint32_t x = 12345;
    for (char& c : noise) {
        x = x * 1103515245 + 12345;
        c = static_cast<char>(x >> 24);
    }
    for (const bool bigArchive : {false, true}) {
        SCOPED_TRACE(bigArchive ? "archive read from the file" : "archive read whole");
        std::vector<test::ZipEntry> entries = {File("fits.txt", fits), File("larger.txt", larger),
                                               Stored("stored.txt", fits.substr(0, 300000))};
        if (bigArchive) {
            entries.push_back(Stored("noise.bin", noise));
        }
        MakeZip(zip, entries);
        sink.events.clear();
        sink.bytes.clear();
        ASSERT_EQ(Unzip(), kUnzOk);
        ASSERT_GE(sink.bytes.size(), 3u);
        EXPECT_EQ(sink.bytes[0], fits);
        EXPECT_EQ(sink.bytes[1], larger);
        EXPECT_EQ(sink.bytes[2], fits.substr(0, 300000));
        // 32 pieces of 256 KiB, then 33 with one byte left over, then two.
        EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), "write"),
                  32 + 33 + 2 + (bigArchive ? 36 : 0));
    }
}

TEST_F(UnzipStreamTest, TheSinkCanCancel) {
    MakeZip(zip, {File("a.txt", "a"), File("b.txt", "b")});
    sink.writesLeft = 1;
    EXPECT_EQ(Unzip(), kUnzCancelled);
    EXPECT_EQ(sink.events, (std::vector<std::string>{"begin a.txt 1", "write", "end 0"}));
}

TEST_F(UnzipStreamTest, ABadEntryEndsIncomplete) {
    MakeZip(zip, {File("a.txt", std::string(100, 'a')), File("b.txt", "b")});
    test::CorruptCrc(zip, "a.txt");
    EXPECT_EQ(Unzip(), kUnzCorrupt);
    ASSERT_FALSE(sink.events.empty());
    EXPECT_EQ(sink.events.front(), "begin a.txt 100");
    EXPECT_EQ(sink.events.back(), "end 0");
    EXPECT_EQ(sink.bytes.size(), 1u);
}

TEST_F(UnzipStreamTest, TheSizeLimitAppliesToo) {
    MakeZip(zip, {File("big.txt", std::string(5000, 'x'))});
    options.maxEntryBytes = 4999;
    EXPECT_EQ(Unzip(), kUnzTooLarge);
    options.maxEntryBytes = 5000;
    EXPECT_EQ(Unzip(), kUnzOk);
}

TEST_F(UnzipStreamTest, WithoutASinkTheBytesGoToPrint) {
    MakeZip(zip, {File("a.txt", "alpha "), File("b.txt", "beta")});
    callbacks.output = nullptr;
    std::string printed;
    callbacks.print = [&](std::string_view text) {
        printed += text;
        return 0;
    };
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(printed, "alpha beta");
}

}  // namespace
}  // namespace quillery
