#include "scan/ReaderProtocol.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>

namespace quillery {

namespace {

constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);
constexpr std::size_t kReadChunk = 64 * 1024;

}  // namespace

void MessageWriter::start(MessageType type) {
    buffer_.clear();
    buffer_.append(kLengthBytes, '\0');
    u8(static_cast<std::uint8_t>(type));
}

const std::string& MessageWriter::finish() {
    assert(buffer_.size() >= kLengthBytes + 1);
    const auto length = static_cast<std::uint32_t>(buffer_.size() - kLengthBytes);
    std::memcpy(buffer_.data(), &length, kLengthBytes);
    return buffer_;
}

void MessageWriter::raw(const void* data, std::size_t size) {
    if (size == 0) {
        return;  // data may be null then
    }
    buffer_.append(static_cast<const char*>(data), size);
}

void MessageWriter::bytes(std::string_view v) {
    u32(static_cast<std::uint32_t>(v.size()));
    raw(v.data(), v.size());
}

void MessageWriter::text(const QString& v) {
    u32(static_cast<std::uint32_t>(v.size()));
    raw(v.utf16(), static_cast<std::size_t>(v.size()) * sizeof(char16_t));
}

void MessageWriter::call(const StagingCall& c) {
    u32(static_cast<std::uint32_t>(c.include.size()));
    for (const std::string& pattern : c.include) {
        bytes(pattern);
    }
    const UnzipOptions& o = c.options;
    for (const std::int32_t flag :
         {o.extractOnlyNewer, o.spaceToUnderscore, o.promptToOverwrite, o.quietLevel,
          o.writeToStdout, o.testOnly, o.listContents, o.freshenExisting, o.displayComment,
          o.recreateFolders, o.overwriteExisting, o.convertLineEnds, o.detailedListing,
          o.caseInsensitiveNames, o.restorePermissions}) {
        i32(flag);
    }
    bytes(o.zipFileName.native());
    bytes(o.extractFolder.native());
    u64(o.maxEntryBytes);
    u8(o.allArchives ? 1 : 0);
    u64(o.memoryLimit);
    u64(o.listedSize);
    i32(c.noPasswordPrompt);
    u8(c.selectsNothing ? 1 : 0);
}

const std::string& MessageWriter::encode(const ReaderSearch& m) {
    start(MessageType::kSearch);
    text(m.searchString);
    u8(m.auditMode ? 1 : 0);
    u8(m.useAudit ? 1 : 0);
    u32(static_cast<std::uint32_t>(m.auditStrings.size()));
    for (const QString& line : m.auditStrings) {
        text(line);
    }
    u8(m.expressions ? 1 : 0);
    u8(m.matchCase ? 1 : 0);
    u8(m.wholeWords ? 1 : 0);
    return finish();
}

const std::string& MessageWriter::encode(const ExamineRequest& m) {
    start(MessageType::kExamine);
    u64(m.job);
    call(m.call);
    u8(m.summarise ? 1 : 0);
    u8(m.lines ? 1 : 0);
    return finish();
}

const std::string& MessageWriter::encode(const StageRequest& m) {
    start(MessageType::kStage);
    u64(m.job);
    call(m.call);
    u8(m.hasState ? 1 : 0);
    u8(m.hasQuestions ? 1 : 0);
    return finish();
}

const std::string& MessageWriter::encode(const ProbeRequest& m) {
    start(MessageType::kProbe);
    u64(m.job);
    bytes(m.path.native());
    return finish();
}

const std::string& MessageWriter::encode(const QuestionAsked& m) {
    start(MessageType::kQuestion);
    u64(m.job);
    u8(static_cast<std::uint8_t>(m.kind));
    text(m.text);
    text(m.title);
    return finish();
}

const std::string& MessageWriter::encode(const QuestionReply& m) {
    start(MessageType::kQuestionReply);
    u64(m.job);
    text(m.text);
    i32(m.choice);
    return finish();
}

const std::string& MessageWriter::encode(const SummaryNote& m) {
    start(MessageType::kSummary);
    u64(m.job);
    u8(m.summary.flags);
    u32(static_cast<std::uint32_t>(m.summary.bits.size()));
    raw(m.summary.bits.data(), m.summary.bits.size() * sizeof(std::uint64_t));
    return finish();
}

const std::string& MessageWriter::encode(const LinesNote& m) {
    start(MessageType::kLines);
    u64(m.job);
    bytes(m.lines.inner);
    bytes(m.lines.entry);
    u32(static_cast<std::uint32_t>(m.lines.lines.size()));
    for (const MatchedLine& line : m.lines.lines) {
        u64(line.number);
        u64(line.byteOffset);
        text(line.text);
        u32(static_cast<std::uint32_t>(line.hits.size()));
        for (const LineHit& hit : line.hits) {
            u32(hit.start);
            u32(hit.length);
            u32(hit.term);
        }
    }
    return finish();
}

const std::string& MessageWriter::encode(const JobAnswer& m) {
    start(MessageType::kAnswer);
    u64(m.job);
    i32(m.result);
    u8(m.matched ? 1 : 0);
    bytes(m.failure);
    return finish();
}

const std::string& MessageWriter::encode(const ProgressNote& m) {
    start(MessageType::kProgress);
    u64(m.job);
    u64(m.bytes);
    return finish();
}

const std::string& MessageWriter::encode(const ProbeReport& m) {
    start(MessageType::kProbeReport);
    u64(m.job);
    i32(m.socketErrno);
    i32(m.openErrno);
    u8(m.layers);
    return finish();
}

void MessageReader::raw(void* data, std::size_t size) {
    if (size == 0) {
        return;  // data may be null then
    }
    if (!ok_ || rest_.size() < size) {
        ok_ = false;
        std::memset(data, 0, size);
        return;
    }
    std::memcpy(data, rest_.data(), size);
    rest_.remove_prefix(size);
}

std::uint8_t MessageReader::u8() {
    std::uint8_t v = 0;
    raw(&v, sizeof v);
    return v;
}

bool MessageReader::flag() {
    const std::uint8_t v = u8();
    if (v > 1) {
        ok_ = false;
    }
    return v == 1;
}

std::uint32_t MessageReader::u32() {
    std::uint32_t v = 0;
    raw(&v, sizeof v);
    return v;
}

std::uint64_t MessageReader::u64() {
    std::uint64_t v = 0;
    raw(&v, sizeof v);
    return v;
}

std::uint32_t MessageReader::count(std::size_t itemBytes) {
    assert(itemBytes > 0);
    const std::uint32_t n = u32();
    if (!ok_ || n > rest_.size() / itemBytes) {
        ok_ = false;
        return 0;
    }
    return n;
}

std::string MessageReader::bytes() {
    const std::uint32_t n = count(1);
    std::string v(rest_.substr(0, n));
    rest_.remove_prefix(n);
    return v;
}

QString MessageReader::text() {
    const std::uint32_t n = count(sizeof(char16_t));
    QString v(static_cast<qsizetype>(n), Qt::Uninitialized);
    raw(v.data(), std::size_t{n} * sizeof(char16_t));
    return v;
}

void MessageReader::call(StagingCall& c) {
    // Each pattern takes its length at least.
    const std::uint32_t patterns = count(sizeof(std::uint32_t));
    c.include.clear();
    c.include.reserve(patterns);
    for (std::uint32_t i = 0; i < patterns && ok_; ++i) {
        c.include.push_back(bytes());
    }
    UnzipOptions& o = c.options;
    for (std::int32_t* flag :
         {&o.extractOnlyNewer, &o.spaceToUnderscore, &o.promptToOverwrite, &o.quietLevel,
          &o.writeToStdout, &o.testOnly, &o.listContents, &o.freshenExisting, &o.displayComment,
          &o.recreateFolders, &o.overwriteExisting, &o.convertLineEnds, &o.detailedListing,
          &o.caseInsensitiveNames, &o.restorePermissions}) {
        *flag = i32();
    }
    o.zipFileName = bytes();
    o.extractFolder = bytes();
    o.maxEntryBytes = u64();
    o.allArchives = flag();
    o.memoryLimit = u64();
    o.listedSize = u64();
    c.noPasswordPrompt = i32();
    c.selectsNothing = flag();
}

bool MessageReader::type(MessageType& type) {
    type = static_cast<MessageType>(u8());
    return ok_;
}

bool MessageReader::decode(ReaderSearch& m) {
    m.searchString = text();
    m.auditMode = flag();
    m.useAudit = flag();
    const std::uint32_t lines = count(sizeof(std::uint32_t));
    m.auditStrings.clear();
    m.auditStrings.reserve(lines);
    for (std::uint32_t i = 0; i < lines && ok_; ++i) {
        m.auditStrings.push_back(text());
    }
    m.expressions = flag();
    m.matchCase = flag();
    m.wholeWords = flag();
    return done();
}

bool MessageReader::decode(ExamineRequest& m) {
    m.job = u64();
    call(m.call);
    m.summarise = flag();
    m.lines = flag();
    return done();
}

bool MessageReader::decode(StageRequest& m) {
    m.job = u64();
    call(m.call);
    m.hasState = flag();
    m.hasQuestions = flag();
    return done();
}

bool MessageReader::decode(ProbeRequest& m) {
    m.job = u64();
    m.path = bytes();
    return done();
}

bool MessageReader::decode(QuestionAsked& m) {
    m.job = u64();
    const std::uint8_t kind = u8();
    if (kind != static_cast<std::uint8_t>(QuestionKind::kPassword) &&
        kind != static_cast<std::uint8_t>(QuestionKind::kReplace)) {
        ok_ = false;
    }
    m.kind = static_cast<QuestionKind>(kind);
    m.text = text();
    m.title = text();
    return done();
}

bool MessageReader::decode(QuestionReply& m) {
    m.job = u64();
    m.text = text();
    m.choice = i32();
    return done();
}

bool MessageReader::decode(SummaryNote& m) {
    m.job = u64();
    m.summary.flags = u8();
    const std::uint32_t words = count(sizeof(std::uint64_t));
    m.summary.bits.resize(words);
    raw(m.summary.bits.data(), std::size_t{words} * sizeof(std::uint64_t));
    return done();
}

bool MessageReader::decode(LinesNote& m) {
    m.job = u64();
    m.lines.inner = bytes();
    m.lines.entry = bytes();
    // Each line: number, offset, the text's length and the hits' count at least.
    const std::uint32_t lines = count(8 + 8 + 4 + 4);
    m.lines.lines.resize(lines);
    for (MatchedLine& line : m.lines.lines) {
        line.number = u64();
        line.byteOffset = u64();
        line.text = text();
        const std::uint32_t hits = count(3 * 4);
        line.hits.resize(hits);
        for (LineHit& hit : line.hits) {
            hit.start = u32();
            hit.length = u32();
            hit.term = u32();
            if (hit.start > static_cast<std::uint64_t>(line.text.size()) ||
                hit.length > static_cast<std::uint64_t>(line.text.size()) - hit.start) {
                ok_ = false;  // a hit outside its line
            }
        }
        if (!ok_) {
            break;
        }
    }
    return done();
}

bool MessageReader::decode(JobAnswer& m) {
    m.job = u64();
    m.result = i32();
    m.matched = flag();
    m.failure = bytes();
    return done();
}

bool MessageReader::decode(ProgressNote& m) {
    m.job = u64();
    m.bytes = u64();
    return done();
}

bool MessageReader::decode(ProbeReport& m) {
    m.job = u64();
    m.socketErrno = i32();
    m.openErrno = i32();
    m.layers = u8();
    return done();
}

ssize_t FrameBuffer::fill(int fd) {
    if (begin_ == end_) {
        begin_ = end_ = 0;
    }
    // Room for the message being received, when its length is known, else for a chunk.
    std::size_t wanted = kReadChunk;
    if (end_ - begin_ >= kLengthBytes) {
        std::uint32_t length = 0;
        std::memcpy(&length, data_.data() + begin_, kLengthBytes);
        wanted = std::max(wanted, std::min<std::size_t>(length, kMaxMessageBytes) + kLengthBytes);
    }
    if (data_.size() - begin_ < wanted) {
        std::copy(data_.begin() + static_cast<std::ptrdiff_t>(begin_),
                  data_.begin() + static_cast<std::ptrdiff_t>(end_), data_.begin());
        end_ -= begin_;
        begin_ = 0;
        if (data_.size() < wanted) {
            data_.resize(wanted);
        }
    }
    if (data_.size() - end_ < kReadChunk / 4) {
        data_.resize(data_.size() + kReadChunk);
    }
    ssize_t got;
    do {
        got = ::read(fd, data_.data() + end_, data_.size() - end_);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        end_ += static_cast<std::size_t>(got);
    }
    return got;
}

FrameBuffer::Next FrameBuffer::next(std::string_view& payload) {
    if (end_ - begin_ < kLengthBytes) {
        return Next::kIncomplete;
    }
    std::uint32_t length = 0;
    std::memcpy(&length, data_.data() + begin_, kLengthBytes);
    if (length == 0 || length > kMaxMessageBytes) {
        return Next::kTooLarge;
    }
    if (end_ - begin_ - kLengthBytes < length) {
        return Next::kIncomplete;
    }
    payload = std::string_view(data_.data() + begin_ + kLengthBytes, length);
    begin_ += kLengthBytes + length;
    return Next::kMessage;
}

bool SendFrame(int fd, const std::string& frame) {
    std::size_t done = 0;
    while (done < frame.size()) {
        const ssize_t sent = ::send(fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

}  // namespace quillery
