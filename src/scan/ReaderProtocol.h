#pragma once

#include <sys/types.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "archive/Staging.h"
#include "index/TextSummary.h"
#include "scan/MatchedLines.h"
#include "scan/ReaderSearch.h"

namespace quillery {

// The messages between a program and its reader process over a stream socket. Each message
// is a 32-bit length (of what follows, in the machine's byte order: both ends are the same
// program) and a payload: a type byte and the message's fields. Strings and paths are their
// bytes with a 32-bit length; QStrings their UTF-16 units, so that every text goes through
// unchanged. A reader of messages never trusts a length: a message larger than
// kMaxMessageBytes, or a count larger than the bytes left could hold, is refused before
// anything is allocated for it.
constexpr std::size_t kMaxMessageBytes = std::size_t{16} << 20;

enum class MessageType : std::uint8_t {
    // To the reader.
    kSearch = 1,         // ReaderSearch: the search of the examinations that follow
    kExamine = 2,        // ExamineRequest
    kStage = 3,          // StageRequest
    kProbe = 4,          // ProbeRequest
    kQuestionReply = 5,  // QuestionReply
    // From the reader.
    kSummary = 16,      // SummaryNote: one entry's summary, before the job's answer
    kAnswer = 17,       // JobAnswer
    kQuestion = 18,     // QuestionAsked
    kProgress = 19,     // ProgressNote
    kProbeReport = 20,  // ProbeReport
    kLines = 21,        // LinesNote: lines of a matching entry, before the job's answer
};

// Examine an archive: the matching sink, with the summary sink on it when summarise is set;
// with lines, every entry is tested and each matching one's lines are sent (LinesNote).
struct ExamineRequest {
    std::uint64_t job = 0;
    StagingCall call;
    bool summarise = false;
    bool lines = false;
    bool operator==(const ExamineRequest&) const = default;
};

// Stage an archive to the call's folder; hasState and hasQuestions say what the caller of
// RunStagingCall gave (questions are then sent back and their answers awaited).
struct StageRequest {
    std::uint64_t job = 0;
    StagingCall call;
    bool hasState = false;
    bool hasQuestions = false;
    bool operator==(const StageRequest&) const = default;
};

// Tests what the reader may do: create a socket, open path for writing (creating it).
struct ProbeRequest {
    std::uint64_t job = 0;
    std::filesystem::path path;
    bool operator==(const ProbeRequest&) const = default;
};

enum class QuestionKind : std::uint8_t { kPassword = 1, kReplace = 2 };

struct QuestionAsked {
    std::uint64_t job = 0;
    QuestionKind kind = QuestionKind::kPassword;
    QString text;
    QString title;
    bool operator==(const QuestionAsked&) const = default;
};

// The answer to a question: the password typed, or the replace answer.
struct QuestionReply {
    std::uint64_t job = 0;
    QString text;
    std::int32_t choice = 0;
    bool operator==(const QuestionReply&) const = default;
};

struct SummaryNote {
    std::uint64_t job = 0;
    EntrySummary summary;
    bool operator==(const SummaryNote&) const = default;
};

// Lines of a matching entry (an entry's lines may come in several notes, in order).
struct LinesNote {
    std::uint64_t job = 0;
    EntryLines lines;
    bool operator==(const LinesNote&) const = default;
};

// The end of a job: the extraction's result and whether an entry matched; failure, when not
// empty, says why the reader could not do the job (the result then means nothing).
struct JobAnswer {
    std::uint64_t job = 0;
    std::int32_t result = 0;
    bool matched = false;
    std::string failure;
    bool operator==(const JobAnswer&) const = default;
};

// The bytes the reader has read and written so far, sent while it stages.
struct ProgressNote {
    std::uint64_t job = 0;
    std::uint64_t bytes = 0;
    bool operator==(const ProgressNote&) const = default;
};

// What the probe found: 0 where the call succeeded, else its errno; and the sandbox layers
// in force (SandboxLayers bits).
struct ProbeReport {
    std::uint64_t job = 0;
    std::int32_t socketErrno = 0;
    std::int32_t openErrno = 0;
    std::uint8_t layers = 0;
    bool operator==(const ProbeReport&) const = default;
};

// Builds one message at a time in a buffer that is kept for the next one.
class MessageWriter {
  public:
    // The framed message (length and payload), valid until the next call.
    const std::string& encode(const ReaderSearch& m);
    const std::string& encode(const ExamineRequest& m);
    const std::string& encode(const StageRequest& m);
    const std::string& encode(const ProbeRequest& m);
    const std::string& encode(const QuestionAsked& m);
    const std::string& encode(const QuestionReply& m);
    const std::string& encode(const SummaryNote& m);
    const std::string& encode(const JobAnswer& m);
    const std::string& encode(const ProgressNote& m);
    const std::string& encode(const ProbeReport& m);
    const std::string& encode(const LinesNote& m);

  private:
    void start(MessageType type);
    const std::string& finish();
    void u8(std::uint8_t v) { buffer_.push_back(static_cast<char>(v)); }
    void u32(std::uint32_t v) { raw(&v, sizeof v); }
    void u64(std::uint64_t v) { raw(&v, sizeof v); }
    void i32(std::int32_t v) { raw(&v, sizeof v); }
    void bytes(std::string_view v);
    void text(const QString& v);
    void call(const StagingCall& c);
    void raw(const void* data, std::size_t size);

    std::string buffer_;
};

// Reads the fields of one payload; every read after a failed one fails too.
class MessageReader {
  public:
    explicit MessageReader(std::string_view payload) : rest_(payload) {}

    // The payload's type; false when it is empty.
    bool type(MessageType& type);
    // Each reads the rest of the payload as one message; false when it is not exactly one.
    bool decode(ReaderSearch& m);
    bool decode(ExamineRequest& m);
    bool decode(StageRequest& m);
    bool decode(ProbeRequest& m);
    bool decode(QuestionAsked& m);
    bool decode(QuestionReply& m);
    bool decode(SummaryNote& m);
    bool decode(JobAnswer& m);
    bool decode(ProgressNote& m);
    bool decode(ProbeReport& m);
    bool decode(LinesNote& m);

  private:
    bool done() const { return ok_ && rest_.empty(); }
    std::uint8_t u8();
    bool flag();
    std::uint32_t u32();
    std::uint64_t u64();
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    // A count of items of at least itemBytes each, checked against what is left.
    std::uint32_t count(std::size_t itemBytes);
    std::string bytes();
    QString text();
    void call(StagingCall& c);
    void raw(void* data, std::size_t size);

    std::string_view rest_;
    bool ok_ = true;
};

// The bytes received on a socket, cut into messages. The buffer is kept between messages.
class FrameBuffer {
  public:
    // One read from fd into the buffer: the bytes read, 0 at the end of the stream, -1 on an
    // error (errno says which; EAGAIN when nothing was there).
    ssize_t fill(int fd);

    enum class Next { kMessage, kIncomplete, kTooLarge };
    // The next complete message's payload, valid until the next call of fill or next.
    Next next(std::string_view& payload);
    // Drops what is held; the buffer is kept.
    void clear() { begin_ = end_ = 0; }

  private:
    std::vector<char> data_;
    std::size_t begin_ = 0, end_ = 0;
};

// Sends a framed message on a blocking socket; false when the socket failed.
bool SendFrame(int fd, const std::string& frame);

}  // namespace quillery
