#include "scan/ReaderMain.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QString>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <thread>

#include "archive/Questions.h"
#include "archive/Staging.h"
#include "archive/UniqueFd.h"
#include "scan/ArchiveExaminer.h"
#include "scan/LineSink.h"
#include "scan/ReaderLauncher.h"
#include "scan/ReaderProtocol.h"
#include "scan/ReaderSearch.h"
#include "scan/Sandbox.h"

namespace quillery {

namespace {

constexpr int kBadArguments = 2;
constexpr int kBadMessage = 3;
constexpr int kSocketFailed = 4;
constexpr auto kProgressPeriod = std::chrono::milliseconds(250);

bool ParseNumber(const char* text, int& value) {
    const std::string_view s(text);
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size() && value >= 0;
}

// Standard input and output lead nowhere; no descriptor but the socket and standard error
// is kept from the parent.
void PrepareDescriptors(int socket) {
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    if (socket > STDERR_FILENO + 1) {
        ::close_range(STDERR_FILENO + 1, static_cast<unsigned>(socket) - 1, 0);
    }
    ::close_range(static_cast<unsigned>(socket) + 1, ~0U, 0);
    ::fcntl(socket, F_SETFD, FD_CLOEXEC);
}

class ReaderServer;

// The questions of a stage, asked of the parent.
class ParentQuestions : public Questions {
  public:
    ParentQuestions(ReaderServer& server, std::uint64_t job) : server_(server), job_(job) {}
    void message(const QString&, const QString&, MessageStyle) override {}
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    QString askPassword(const QString& prompt) override;
    int askReplace(const QString& question, const QString& title) override;

  private:
    ReaderServer& server_;
    std::uint64_t job_;
};

class ReaderServer {
  public:
    ReaderServer(int socket, std::uint8_t layers) : socket_(socket), layers_(layers) {
        flusher_ = std::thread([this] { flushNowAndThen(); });
    }
    ~ReaderServer() {
        {
            const std::lock_guard<std::mutex> lock(sendLock_);
            ending_ = true;
        }
        flusherWake_.notify_all();
        flusher_.join();
    }
    ReaderServer(const ReaderServer&) = delete;
    ReaderServer& operator=(const ReaderServer&) = delete;

    int serve();
    // Sends a question of the job and waits for its answer; an empty answer when the
    // parent is gone.
    QuestionReply ask(const QuestionAsked& question);
    // What this process has read and written on its own account, not the archive's.
    std::uint64_t ownBytes() const { return ownBytes_.load(); }
    void countOwnBytes(std::uint64_t bytes) { ownBytes_ += bytes; }

    template <typename Message>
    bool send(const Message& message) {
        const std::lock_guard<std::mutex> lock(sendLock_);
        const std::string& frame = writer_.encode(message);
        ownBytes_ += frame.size();
        return flushLocked() && SendFrame(socket_.get(), frame);
    }
    // Sends a message of an examination: held back while further requests wait to be read,
    // so that a batch's answers go out in few writes, but never for long (a later archive may
    // take a long time, and the parent times the first unanswered one).
    template <typename Message>
    bool queue(const Message& message) {
        const std::lock_guard<std::mutex> lock(sendLock_);
        if (pending_.empty()) {
            pendingSince_ = std::chrono::steady_clock::now();
        }
        pending_ += writer_.encode(message);
        return (pending_.size() < kMostPending &&
                std::chrono::steady_clock::now() - pendingSince_ < kMostHeld) ||
               flushLocked();
    }
    bool flush() {
        const std::lock_guard<std::mutex> lock(sendLock_);
        return flushLocked();
    }

  private:
    static constexpr std::size_t kMostPending = 64 * 1024;
    static constexpr std::chrono::milliseconds kMostHeld{2};
    // How often the flusher looks: what was held back goes with the next message once it has
    // waited kMostHeld, so the flusher only sends what waits behind a long examination (every
    // 2 ms, its wakes made a fifth of a first run's context switches and 5 % of its CPU time).
    static constexpr std::chrono::milliseconds kFlusherLooks{20};

    bool flushLocked() {
        if (pending_.empty()) {
            return true;
        }
        ownBytes_ += pending_.size();
        const bool sent = SendFrame(socket_.get(), pending_);
        pending_.clear();
        return sent;
    }
    // Sends what was held back once it has waited kMostHeld, looking every kFlusherLooks.
    void flushNowAndThen() {
        std::unique_lock<std::mutex> lock(sendLock_);
        while (!ending_) {
            flusherWake_.wait_for(lock, kFlusherLooks);
            if (!pending_.empty() &&
                std::chrono::steady_clock::now() - pendingSince_ >= kMostHeld) {
                flushLocked();
            }
        }
    }
    // The next message; false at the end of the stream or on a broken one.
    bool receive(std::string_view& payload);
    bool handle(std::string_view payload);
    bool examine(const ExamineRequest& request);
    bool stage(const StageRequest& request);
    bool probe(const ProbeRequest& request);

    UniqueFd socket_;
    const std::uint8_t layers_;
    FrameBuffer in_;
    MessageWriter writer_;
    std::mutex sendLock_;
    std::string pending_;  // messages held back, framed
    std::chrono::steady_clock::time_point pendingSince_;
    bool ending_ = false;
    std::condition_variable flusherWake_;
    std::thread flusher_;
    std::atomic<std::uint64_t> ownBytes_{0};
    bool broken_ = false;  // a message that is none, or a failed send
    std::optional<ReaderSearch> search_;
    std::optional<TextMatcher> matcher_;
};

QString ParentQuestions::askPassword(const QString& prompt) {
    return server_.ask(QuestionAsked{job_, QuestionKind::kPassword, prompt, {}}).text;
}

int ParentQuestions::askReplace(const QString& question, const QString& title) {
    const QuestionReply reply =
        server_.ask(QuestionAsked{job_, QuestionKind::kReplace, question, title});
    return reply.choice == 0 ? static_cast<int>(kReplaceCancel) : reply.choice;
}

// Sends, while it lives, what the process has read and written, each time it has grown.
class StageProgress {
  public:
    StageProgress(ReaderServer& server, std::uint64_t job)
        : server_(server), job_(job), io_(::open("/proc/self/io", O_RDONLY | O_CLOEXEC)) {
        if (io_.valid()) {
            thread_ = std::thread([this] { run(); });
        }
    }
    ~StageProgress() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    StageProgress(const StageProgress&) = delete;
    StageProgress& operator=(const StageProgress&) = delete;

  private:
    // rchar and wchar as the kernel counts them, less this process's own traffic.
    std::uint64_t moved() {
        char text[512];
        const ssize_t got = ::pread(io_.get(), text, sizeof text - 1, 0);
        if (got <= 0) {
            return 0;
        }
        // The reading counts from the next reading on.
        const std::uint64_t own = server_.ownBytes();
        server_.countOwnBytes(static_cast<std::uint64_t>(got));
        text[got] = '\0';
        std::uint64_t total = 0;
        for (const char* key : {"rchar: ", "wchar: "}) {
            if (const char* at = std::strstr(text, key)) {
                total += std::strtoull(at + std::strlen(key), nullptr, 10);
            }
        }
        return total > own ? total - own : 0;
    }
    void run() {
        std::uint64_t last = 0;
        std::unique_lock<std::mutex> lock(mutex_);
        while (!wake_.wait_for(lock, kProgressPeriod, [this] { return done_; })) {
            const std::uint64_t now = moved();
            if (now > last) {
                last = now;
                server_.send(ProgressNote{job_, now});
            }
        }
    }

    ReaderServer& server_;
    const std::uint64_t job_;
    UniqueFd io_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

bool ReaderServer::receive(std::string_view& payload) {
    for (;;) {
        switch (in_.next(payload)) {
            case FrameBuffer::Next::kMessage:
                return true;
            case FrameBuffer::Next::kTooLarge:
                broken_ = true;
                return false;
            case FrameBuffer::Next::kIncomplete:
                break;
        }
        // Nothing more to do before more requests come: what is held back goes now.
        if (!flush()) {
            return false;
        }
        const ssize_t got = in_.fill(socket_.get());
        if (got <= 0) {
            return false;
        }
        ownBytes_ += static_cast<std::uint64_t>(got);
    }
}

QuestionReply ReaderServer::ask(const QuestionAsked& question) {
    QuestionReply reply;
    std::string_view payload;
    if (!send(question) || !receive(payload)) {
        return reply;
    }
    MessageReader reader(payload);
    MessageType type{};
    if (!reader.type(type) || type != MessageType::kQuestionReply || !reader.decode(reply) ||
        reply.job != question.job) {
        broken_ = true;
        return QuestionReply{};
    }
    return reply;
}

// Runs one extraction, turning what it throws into the answer's failure.
template <typename Run>
JobAnswer Answered(std::uint64_t job, Run&& run) {
    JobAnswer answer{job, 0, false, {}};
    try {
        run(answer);
    } catch (const std::bad_alloc&) {
        answer.failure = "reader ran out of its memory limit";
    } catch (const std::exception& e) {
        answer.failure = std::string("reader failed: ") + e.what();
    }
    return answer;
}

// The bytes of matched lines one note holds, about (a message holds at most 16 MiB).
constexpr std::size_t kLinesNoteBytes = std::size_t{4} << 20;

bool ReaderServer::examine(const ExamineRequest& request) {
    if (!matcher_) {
        return send(JobAnswer{request.job, 0, false, "reader was sent no search"});
    }
    std::vector<EntrySummary> summaries;
    std::vector<EntryLines> lines;
    const JobAnswer answer = Answered(request.job, [&](JobAnswer& a) {
        if (request.lines) {
            LineSink sink(*matcher_, request.call.options.zipFileName.native(),
                          [&lines](EntryLines& found) { lines.push_back(std::move(found)); });
            a.result = RunStagingCall(request.call, nullptr, nullptr, &sink);
            a.matched = sink.matched();
            return;
        }
        LocalExaminer here(*matcher_);
        Examination done = here.examine(request.call, request.summarise, nullptr);
        a.result = done.verdict.result;
        a.matched = done.verdict.matched;
        summaries = std::move(done.entries);
    });
    // An entry's lines go in notes of a few megabytes at most.
    for (EntryLines& entry : lines) {
        LinesNote note{request.job, {entry.inner, entry.entry, {}}};
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < entry.lines.size(); ++i) {
            bytes += 24 + 2 * static_cast<std::size_t>(entry.lines[i].text.size()) +
                     12 * entry.lines[i].hits.size();
            note.lines.lines.push_back(std::move(entry.lines[i]));
            if (bytes >= kLinesNoteBytes || i + 1 == entry.lines.size()) {
                if (!queue(note)) {
                    return false;
                }
                note.lines.lines.clear();
                bytes = 0;
            }
        }
        if (entry.lines.empty() && !queue(note)) {
            return false;
        }
    }
    SummaryNote note{request.job, {}};
    for (EntrySummary& summary : summaries) {
        note.summary = std::move(summary);
        if (!queue(note)) {
            return false;
        }
    }
    return queue(answer);
}

bool ReaderServer::stage(const StageRequest& request) {
    StagingState state;
    state.NoPasswordPrompt = request.call.noPasswordPrompt;
    ParentQuestions questions(*this, request.job);
    const JobAnswer answer = Answered(request.job, [&](JobAnswer& a) {
        const StageProgress progress(*this, request.job);
        a.result = RunStagingCall(request.call, request.hasState ? &state : nullptr,
                                  request.hasQuestions ? &questions : nullptr, nullptr);
    });
    return !broken_ && send(answer);
}

bool ReaderServer::probe(const ProbeRequest& request) {
    ProbeReport report{request.job, 0, 0, layers_};
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    report.socketErrno = s < 0 ? errno : 0;
    if (s >= 0) {
        ::close(s);
    }
    const int f = ::open(request.path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    report.openErrno = f < 0 ? errno : 0;
    if (f >= 0) {
        ::close(f);
    }
    return send(report);
}

bool ReaderServer::handle(std::string_view payload) {
    MessageReader reader(payload);
    MessageType type{};
    const auto broken = [this] {
        broken_ = true;
        return false;
    };
    if (!reader.type(type)) {
        return broken();
    }
    switch (type) {
        case MessageType::kSearch: {
            ReaderSearch search;
            if (!reader.decode(search)) {
                return broken();
            }
            if (!search_ || *search_ != search) {
                matcher_.emplace(MatcherForSearch(search));
                search_ = std::move(search);
            }
            return true;
        }
        case MessageType::kExamine: {
            ExamineRequest request;
            return reader.decode(request) ? examine(request) : broken();
        }
        case MessageType::kStage: {
            StageRequest request;
            return reader.decode(request) ? stage(request) : broken();
        }
        case MessageType::kProbe: {
            ProbeRequest request;
            return reader.decode(request) ? probe(request) : broken();
        }
        default:
            return broken();
    }
}

int ReaderServer::serve() {
    std::string_view payload;
    while (receive(payload)) {
        if (!handle(payload)) {
            return broken_ ? kBadMessage : kSocketFailed;
        }
    }
    return broken_ ? kBadMessage : 0;
}

}  // namespace

namespace {

int ServeReader(int socket, ReaderMode mode, const std::filesystem::path& folder, pid_t parent,
                const std::function<void(const std::string&)>& leftOut) {
    PrepareDescriptors(socket);
    ::prctl(PR_SET_NAME, "quillery-reader");  // for top and ps
    std::vector<std::string> left;
    const std::uint8_t layers = ApplySandbox(mode, folder, parent, left);
    if (leftOut) {
        for (const std::string& line : left) {
            leftOut(line);
        }
    }
    ReaderServer server(socket, layers);
    return server.serve();
}

}  // namespace

int RunReaderIfAsked(int argc, char** argv,
                     const std::function<void(const std::string&)>& leftOut) {
    if (argc < 2 || std::strcmp(argv[1], kReaderOption) != 0) {
        // Not a reader: the readers of this program are forked from here on (while it has
        // one thread) instead of being started as programs.
        ReaderLauncher::Start(
            [leftOut](int socket, ReaderMode mode, const std::filesystem::path& folder,
                      pid_t parent) { return ServeReader(socket, mode, folder, parent, leftOut); });
        return -1;
    }
    int socket = -1, parent = -1;
    if (argc < 5 || !ParseNumber(argv[2], socket) || !ParseNumber(argv[3], parent)) {
        return kBadArguments;
    }
    const std::string_view modeName(argv[4]);
    ReaderMode mode;
    std::filesystem::path folder;
    if (modeName == "scan" && argc == 5) {
        mode = ReaderMode::kScan;
    } else if (modeName == "stage" && argc == 6 && argv[5][0] != '\0') {
        mode = ReaderMode::kStage;
        folder = argv[5];
    } else {
        return kBadArguments;
    }
    return ServeReader(socket, mode, folder, parent, leftOut);
}

}  // namespace quillery
