#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <variant>
#include <vector>

#include "scan/ReaderProtocol.h"

namespace quillery {
namespace {

using AnyMessage =
    std::variant<ReaderSearch, ExamineRequest, StageRequest, ProbeRequest, QuestionAsked,
                 QuestionReply, SummaryNote, JobAnswer, ProgressNote, ProbeReport, LinesNote>;

// A call with every field away from its default, each to a value of its own.
StagingCall EveryFieldSet() {
    StagingCall call;
    call.include = {"*.txt", std::string("\xFF\x00 raw", 6), ""};
    UnzipOptions& o = call.options;
    std::int32_t value = 3;
    for (std::int32_t* flag :
         {&o.extractOnlyNewer, &o.spaceToUnderscore, &o.promptToOverwrite, &o.quietLevel,
          &o.writeToStdout, &o.testOnly, &o.listContents, &o.freshenExisting, &o.displayComment,
          &o.recreateFolders, &o.overwriteExisting, &o.convertLineEnds, &o.detailedListing,
          &o.caseInsensitiveNames, &o.restorePermissions}) {
        *flag = value;
        value += 7;
    }
    o.zipFileName = "/folder with\nbreak/\xFE\xFF.zip";
    o.extractFolder = "/target//folder/";
    o.maxEntryBytes = (std::uint64_t{1} << 40) + 3;
    o.allArchives = true;
    o.memoryLimit = 12345;
    o.listedSize = 987654321;
    call.noPasswordPrompt = 0;
    call.selectsNothing = true;
    return call;
}

// Writes frame into a pipe in two pieces and takes it out through a FrameBuffer.
std::string ThroughPipe(const std::string& frame) {
    int ends[2];
    EXPECT_EQ(::pipe(ends), 0);
    FrameBuffer buffer;
    std::string_view payload;
    const std::size_t half = frame.size() / 2;
    EXPECT_EQ(::write(ends[1], frame.data(), half), static_cast<ssize_t>(half));
    EXPECT_GT(buffer.fill(ends[0]), 0);
    EXPECT_EQ(buffer.next(payload), FrameBuffer::Next::kIncomplete);
    EXPECT_EQ(::write(ends[1], frame.data() + half, frame.size() - half),
              static_cast<ssize_t>(frame.size() - half));
    std::string out;
    while (buffer.next(payload) != FrameBuffer::Next::kMessage) {
        EXPECT_GT(buffer.fill(ends[0]), 0);
    }
    out.assign(payload);
    ::close(ends[0]);
    ::close(ends[1]);
    return out;
}

TEST(ReaderProtocolTest, EveryMessageComesThroughUnchangedAndNoShorterOrLongerOne) {
    EntrySummary summary;
    summary.flags = EntrySummary::kComplete | EntrySummary::kHasFilter;
    summary.bits = {0x0123456789ABCDEFULL, 0, ~0ULL, 42};
    const QString odd = QString(QChar(0xD800)) + QStringLiteral("needle \u00e9");  // lone surrogate
    const struct {
        const char* name;
        AnyMessage message;
    } rows[] = {
        {"search", ReaderSearch{odd, false, false, {}}},
        {"audit search", ReaderSearch{{}, true, true, {QStringLiteral("one"), QString(), odd}}},
        {"expression search", ReaderSearch{odd, false, false, {}, true, true, true}},
        {"examine", ExamineRequest{7, EveryFieldSet(), true}},
        {"examine with a default call", ExamineRequest{1ULL << 63, StagingCall{}, false}},
        {"examine for lines", ExamineRequest{8, EveryFieldSet(), false, true}},
        {"lines", LinesNote{18,
                            {"inner.zip/\xFF.zip",
                             "dir/\xFE.txt",
                             {{2, 12, odd, {{0, 1, 0}, {3, 2, 7}}}, {9, 1ULL << 40, {}, {}}}}}},
        {"lines of none", LinesNote{19, {}}},
        {"stage", StageRequest{9, EveryFieldSet(), true, false}},
        {"probe", ProbeRequest{11, "/tmp/\xFF probe"}},
        {"question", QuestionAsked{12, QuestionKind::kReplace, odd, QStringLiteral("title")}},
        {"reply", QuestionReply{12, odd, 104}},
        {"summary", SummaryNote{13, summary}},
        {"empty summary", SummaryNote{14, EntrySummary{}}},
        {"answer", JobAnswer{15, -3, true, "reader crashed (signal 11)"}},
        {"progress", ProgressNote{16, ~0ULL}},
        {"probe report", ProbeReport{17, 1, 13, 7}},
    };
    MessageWriter writer;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::visit(
            [&](const auto& sent) {
                using Message = std::decay_t<decltype(sent)>;
                const std::string payload = ThroughPipe(writer.encode(sent));
                Message got;
                MessageType type{};
                MessageReader reader(payload);
                ASSERT_TRUE(reader.type(type));
                ASSERT_TRUE(reader.decode(got));
                EXPECT_TRUE(got == sent);
                if constexpr (requires { sent.call; }) {
                    // Paths compare by their elements; the bytes must be the same too.
                    EXPECT_EQ(got.call.options.zipFileName.native(),
                              sent.call.options.zipFileName.native());
                    EXPECT_EQ(got.call.options.extractFolder.native(),
                              sent.call.options.extractFolder.native());
                }
                for (const std::string& changed :
                     {payload.substr(0, payload.size() - 1), payload + '\0'}) {
                    MessageReader bad(changed);
                    Message ignored;
                    ASSERT_TRUE(bad.type(type));
                    EXPECT_FALSE(bad.decode(ignored));
                }
            },
            row.message);
    }
}

TEST(ReaderProtocolTest, AHitOutsideItsLineIsRefused) {
    MessageWriter writer;
    for (const LineHit hit : {LineHit{5, 1, 0}, LineHit{2, 4, 0}, LineHit{0, 0xFFFFFFFF, 0}}) {
        const std::string frame =
            writer.encode(LinesNote{1, {"", "a.txt", {{1, 0, QStringLiteral("abcde"), {hit}}}}});
        MessageReader reader(std::string_view(frame).substr(sizeof(std::uint32_t)));
        MessageType type{};
        LinesNote got;
        ASSERT_TRUE(reader.type(type));
        EXPECT_FALSE(reader.decode(got)) << hit.start << "+" << hit.length;
    }
}

TEST(ReaderProtocolTest, LengthsAndCountsBeyondTheMessageAreRefusedBeforeAnyAllocation) {
    const auto frame = [](std::uint32_t length, const std::string& payload) {
        std::string bytes(sizeof length, '\0');
        std::memcpy(bytes.data(), &length, sizeof length);
        return bytes + payload;
    };
    const auto field = [](std::uint64_t value, std::size_t size) {
        std::string bytes(size, '\0');
        std::memcpy(bytes.data(), &value, size);
        return bytes;
    };
    const std::string job = field(5, 8);
    const struct {
        const char* name;
        std::string bytes;
        FrameBuffer::Next framing;
    } rows[] = {
        {"empty message", frame(0, ""), FrameBuffer::Next::kTooLarge},
        {"message above the limit", frame(kMaxMessageBytes + 1, "\x11"),
         FrameBuffer::Next::kTooLarge},
        {"length of 4 GiB", frame(0xFFFFFFFF, "\x11"), FrameBuffer::Next::kTooLarge},
        {"summary of 2^32-1 words",
         frame(18, "\x10" + job + "\x01" + field(0xFFFFFFFF, 4) + "abcd"),
         FrameBuffer::Next::kMessage},
        {"search of 2^31 lines", frame(11, "\x01" + field(0, 4) + "\x01\x01" + field(1U << 31, 4)),
         FrameBuffer::Next::kMessage},
        {"answer with a flag of 2", frame(18, "\x11" + job + field(0, 4) + "\x02" + field(0, 4)),
         FrameBuffer::Next::kMessage},
        {"path longer than the message", frame(13, "\x04" + job + field(1000, 4)),
         FrameBuffer::Next::kMessage},
        {"question of an unknown kind",
         frame(18, "\x12" + job + "\x09" + field(0, 4) + field(0, 4)), FrameBuffer::Next::kMessage},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ASSERT_EQ(::write(ends[1], row.bytes.data(), row.bytes.size()),
                  static_cast<ssize_t>(row.bytes.size()));
        FrameBuffer buffer;
        ASSERT_GT(buffer.fill(ends[0]), 0);
        std::string_view payload;
        ASSERT_EQ(buffer.next(payload), row.framing);
        if (row.framing == FrameBuffer::Next::kMessage) {
            MessageReader reader(payload);
            MessageType type{};
            ASSERT_TRUE(reader.type(type));
            bool decoded = true;
            switch (type) {
                case MessageType::kSummary: {
                    SummaryNote m;
                    decoded = reader.decode(m);
                    EXPECT_TRUE(m.summary.bits.empty());
                    break;
                }
                case MessageType::kSearch: {
                    ReaderSearch m;
                    decoded = reader.decode(m);
                    EXPECT_TRUE(m.auditStrings.isEmpty());
                    break;
                }
                case MessageType::kAnswer: {
                    JobAnswer m;
                    decoded = reader.decode(m);
                    break;
                }
                case MessageType::kProbe: {
                    ProbeRequest m;
                    decoded = reader.decode(m);
                    break;
                }
                case MessageType::kQuestion: {
                    QuestionAsked m;
                    decoded = reader.decode(m);
                    break;
                }
                default:
                    ADD_FAILURE() << "unexpected type";
            }
            EXPECT_FALSE(decoded);
        }
        ::close(ends[0]);
        ::close(ends[1]);
    }
}

}  // namespace
}  // namespace quillery
