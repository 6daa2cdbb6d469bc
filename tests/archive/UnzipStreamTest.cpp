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
