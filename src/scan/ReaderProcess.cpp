#include "scan/ReaderProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "archive/UnzipCallbacks.h"
#include "archive/UnzipResult.h"
#include "scan/ReaderLauncher.h"
#include "scan/ReaderMain.h"

extern char** environ;

namespace quillery {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPollStep{40};
constexpr milliseconds kMemoryCheckStep{20};
constexpr milliseconds kGoOnStep{40};
constexpr milliseconds kProbeDeadline{10'000};
// How long a reader that closed its socket is given to end by itself.
constexpr milliseconds kLostGrace{50};
// The most summary bytes one examination may send.
constexpr std::uint64_t kMaxSummaryBytes = std::uint64_t{256} << 20;
// The most bytes of matched lines an archive's answer may hold (their messages' size).
constexpr std::uint64_t kMaxLinesBytes = std::uint64_t{64} << 20;
constexpr std::uint64_t kBytesPerStep = 10'000'000;

std::string SecondsText(milliseconds time) {
    char text[32];
    if (time.count() % 1000 == 0) {
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(time.count() / 1000));
    } else {
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(time.count()) / 1000.0);
    }
    return text;
}

std::string DescribeEnd(int status) {
    char text[64];
    if (WIFSIGNALED(status)) {
        std::snprintf(text, sizeof text, "reader crashed (signal %d)", WTERMSIG(status));
    } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        std::snprintf(text, sizeof text, "reader ended with status %d", WEXITSTATUS(status));
    } else {
        std::snprintf(text, sizeof text, "reader ended without answering");
    }
    return text;
}

// Long enough for any process that got SIGKILL to be gone.
constexpr milliseconds kKilledWait{10'000};

ReaderAnswer NotExamined(std::string why, int result = kUnzCorrupt) {
    ReaderAnswer answer;
    answer.result = result;
    answer.failure = std::move(why);
    return answer;
}

ReaderAnswer Cancelled() {
    return NotExamined("cancelled", kUnzCancelled);
}

// Spawn settings that are undone when they go.
struct SpawnSetup {
    SpawnSetup() {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

}  // namespace

ReaderProcess::ReaderProcess(ReaderLimits limits) : limits_(limits) {}

ReaderProcess::~ReaderProcess() {
    stop();
}

bool ReaderProcess::ensure(ReaderMode mode, const std::filesystem::path& folder) {
    if (pid_ != 0 && mode_ == mode && (mode == ReaderMode::kScan || folder_ == folder)) {
        return true;
    }
    stop();
    return spawn(mode, folder);
}

bool ReaderProcess::spawn(ReaderMode mode, const std::filesystem::path& folder) {
    assert(pid_ == 0);
    endedByItself_ = false;
    if (ReaderLauncher* launcher = ReaderLauncher::Get();
        launcher != nullptr && limits_.fromLauncher) {
        std::string why;
        if (std::optional<LaunchedReader> launched = launcher->launch(mode, folder, why)) {
            process_ = std::move(launched->process);
            return started(launched->pid, std::move(launched->socket), mode, folder);
        }
        // Started as a program of its own instead.
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        failure_ = "reader could not be started: " + std::generic_category().message(errno);
        return false;
    }
    UniqueFd mine(ends[0]);
    const UniqueFd theirs(ends[1]);
    // The child's end arrives under another number, without close-on-exec; every other
    // descriptor of this program is closed by the exec or by the reader itself.
    const int childFd = theirs.get() == 3 ? 4 : 3;
    const std::string fdText = std::to_string(childFd);
    const std::string parentText = std::to_string(::getpid());
    std::vector<const char*> argv = {"quillery-reader", kReaderOption, fdText.c_str(),
                                     parentText.c_str(),
                                     mode == ReaderMode::kScan ? "scan" : "stage"};
    if (mode == ReaderMode::kStage) {
        argv.push_back(folder.c_str());
    }
    argv.push_back(nullptr);

    SpawnSetup setup;
    ::posix_spawn_file_actions_adddup2(&setup.actions, theirs.get(), childFd);
    ::posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&setup.attributes, &none);
    ::posix_spawnattr_setsigdefault(&setup.attributes, &all);
    // A process group of its own: a terminal's interrupt is the program's to handle.
    ::posix_spawnattr_setpgroup(&setup.attributes, 0);
    ::posix_spawnattr_setflags(
        &setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, "/proc/self/exe", &setup.actions, &setup.attributes,
                                    const_cast<char* const*>(argv.data()), environ);
    if (error != 0) {
        failure_ = "reader could not be started: " + std::generic_category().message(error);
        return false;
    }
    return started(pid, std::move(mine), mode, folder);
}

bool ReaderProcess::started(pid_t pid, UniqueFd socket, ReaderMode mode,
                            const std::filesystem::path& folder) {
    ::fcntl(socket.get(), F_SETFL, ::fcntl(socket.get(), F_GETFL) | O_NONBLOCK);
    pid_ = pid;
    mode_ = mode;
    folder_ = folder;
    socket_ = std::move(socket);
    const std::string statm = "/proc/" + std::to_string(pid) + "/statm";
    statm_ = UniqueFd(::open(statm.c_str(), O_RDONLY | O_CLOEXEC));
    search_.reset();
    in_.clear();
    failure_.clear();
    ++starts_;
    return true;
}

void ReaderProcess::forget() {
    pid_ = 0;
    process_.reset();
    socket_.reset();
    statm_.reset();
    search_.reset();
    in_.clear();
}

void ReaderProcess::signal(int number) {
    if (process_.valid()) {
        SignalThroughDescriptor(process_.get(), number);
    } else {
        ::kill(pid_, number);
    }
}

std::optional<int> ReaderProcess::ended(milliseconds wait) {
    if (process_.valid()) {
        ReaderLauncher* launcher = ReaderLauncher::Get();
        return launcher != nullptr ? launcher->endOf(pid_, wait) : std::nullopt;
    }
    const auto until = Clock::now() + wait;
    int status = 0;
    for (;;) {
        const pid_t got = ::waitpid(pid_, &status, WNOHANG);
        if (got == pid_) {
            return status;
        }
        if ((got < 0 && errno != EINTR) || Clock::now() >= until) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(milliseconds(1));
    }
}

int ReaderProcess::kill() {
    if (pid_ == 0) {
        return 0;
    }
    signal(SIGKILL);
    const int status = ended(kKilledWait).value_or(0);
    forget();
    return status;
}

void ReaderProcess::stop() {
    if (pid_ == 0) {
        return;
    }
    if (process_.valid()) {
        // The launcher reaps it. A reader keeps nothing that a kill would lose (what it
        // writes, it writes to its own files, which the caller removes or keeps as they are),
        // so it ends at once, and nothing here waits for the launcher to see it go.
        signal(SIGKILL);
        if (ReaderLauncher* launcher = ReaderLauncher::Get(); launcher != nullptr) {
            launcher->forsake(pid_);
        }
        forget();
        return;
    }
    signal(SIGTERM);
    if (!ended(limits_.stopGrace)) {
        signal(SIGKILL);
        ended(kKilledWait);
    }
    forget();
}

std::string ReaderProcess::lost() {
    if (const std::optional<int> status = ended(kLostGrace)) {
        forget();
        endedByItself_ = true;
        return DescribeEnd(*status);
    }
    kill();
    endedByItself_ = true;  // it went without being asked to
    return "reader closed its connection";
}

bool ReaderProcess::overMemory() {
    const auto now = Clock::now();
    if (!statm_.valid() || now - lastMemoryCheck_ < kMemoryCheckStep) {
        return false;
    }
    lastMemoryCheck_ = now;
    char text[128];
    const ssize_t got = ::pread(statm_.get(), text, sizeof text - 1, 0);
    if (got <= 0) {
        return false;
    }
    text[got] = '\0';
    unsigned long long size = 0, resident = 0;
    if (std::sscanf(text, "%llu %llu", &size, &resident) != 2) {
        return false;
    }
    return resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE)) > limits_.residentBytes;
}

bool ReaderProcess::stopping(Clock::time_point until, const std::atomic<bool>* cancel,
                             Event& event) {
    if (cancel != nullptr && cancel->load()) {
        event = Event::kCancelled;
        return true;
    }
    if (goOn_) {
        if (const auto now = Clock::now(); now - lastGoOn_ >= kGoOnStep) {
            lastGoOn_ = now;
            if (!goOn_()) {
                event = Event::kCancelled;
                return true;
            }
        }
    }
    if (overMemory()) {
        kill();
        failure_ = "reader ran out of its memory limit";
        event = Event::kLost;
        return true;
    }
    if (Clock::now() >= until) {
        event = Event::kTimeout;
        return true;
    }
    return false;
}

ReaderProcess::Event ReaderProcess::next(Clock::time_point until, const std::atomic<bool>* cancel,
                                         std::string_view& payload) {
    for (;;) {
        switch (in_.next(payload)) {
            case FrameBuffer::Next::kMessage:
                return Event::kMessage;
            case FrameBuffer::Next::kTooLarge:
                kill();
                failure_ = "reader sent a malformed message";
                return Event::kLost;
            case FrameBuffer::Next::kIncomplete:
                break;
        }
        Event stopped;
        if (stopping(until, cancel, stopped)) {
            return stopped;
        }
        // Never a negative time: poll would wait for ever.
        const auto left = std::clamp(std::chrono::ceil<milliseconds>(until - Clock::now()),
                                     milliseconds(0), kPollStep);
        pollfd watch{socket_.get(), POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
        if (ready <= 0) {
            continue;
        }
        const ssize_t got = in_.fill(socket_.get());
        if (got == 0 || (got < 0 && errno != EAGAIN)) {
            failure_ = lost();
            return Event::kLost;
        }
    }
}

ReaderProcess::Event ReaderProcess::send(const std::string& frame, Clock::time_point until,
                                         const std::atomic<bool>* cancel) {
    std::size_t done = 0;
    while (done < frame.size()) {
        const ssize_t sent = ::send(socket_.get(), frame.data() + done, frame.size() - done,
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && errno != EAGAIN) {
            // The reader is gone; what it sent before is still read, then its end.
            return Event::kMessage;
        }
        Event stopped;
        if (stopping(until, cancel, stopped)) {
            return stopped;
        }
        // The reader may be sending answers while it does not read: take them in.
        pollfd watch{socket_.get(), POLLIN | POLLOUT, 0};
        if (::poll(&watch, 1, static_cast<int>(kPollStep.count())) > 0 &&
            (watch.revents & (POLLIN | POLLHUP)) != 0) {
            const ssize_t got = in_.fill(socket_.get());
            if (got == 0 || (got < 0 && errno != EAGAIN)) {
                return Event::kMessage;  // its answers and its end are read by next()
            }
        }
    }
    return Event::kMessage;
}

ReaderAnswer ReaderProcess::failed(Event event, const std::string& timeout) {
    switch (event) {
        case Event::kCancelled:
            kill();
            return Cancelled();
        case Event::kTimeout:
            kill();
            return NotExamined(timeout);
        case Event::kLost:
        case Event::kMessage:
            break;
    }
    kill();  // a malformed message leaves it running
    return NotExamined(failure_.empty() ? std::string("reader sent a malformed message")
                                        : failure_);
}

template <typename Message>
bool ReaderProcess::decode(std::string_view payload, MessageType type, Message& message) {
    MessageReader reader(payload);
    MessageType got{};
    if (reader.type(got) && got == type && reader.decode(message)) {
        return true;
    }
    kill();
    failure_ = "reader sent a malformed message";
    return false;
}

milliseconds ReaderProcess::deadlineFor(const StagingCall& call) const {
    std::uint64_t size = call.options.listedSize;
    struct stat info {};
    if (size == 0 && ::stat(call.options.zipFileName.c_str(), &info) == 0) {
        size = static_cast<std::uint64_t>(info.st_size);
    }
    const auto extra =
        static_cast<std::uint64_t>(limits_.perTenMegabytes.count()) * (size / kBytesPerStep) +
        static_cast<std::uint64_t>(limits_.perTenMegabytes.count()) * (size % kBytesPerStep) /
            kBytesPerStep;
    return limits_.base + milliseconds(static_cast<milliseconds::rep>(extra));
}

void ReaderProcess::examine(const ReaderSearch& search, const std::vector<ExamineJob>& jobs,
                            const AnswerHandler& onAnswer, const std::atomic<bool>* cancel) {
    const std::size_t depth = std::max<std::size_t>(limits_.pipelineDepth, 1);
    std::size_t answered = 0, sent = 0;
    std::uint64_t first = 0;  // the job number of jobs[0] in the running reader
    std::uint64_t startsSeen = 0;
    std::uint64_t summaryBytes = 0, linesBytes = 0;
    ReaderAnswer head;
    // A job whose reader ended by itself goes to a fresh one once: what killed the reader may
    // have been something else (the system short of memory, a signal from outside).
    std::optional<std::size_t> retried;
    // The head job's time: it runs from when the reader got to it.
    auto headSince = Clock::now();
    milliseconds headTime = jobs.empty() ? milliseconds{} : deadlineFor(jobs.front().call);
    const auto answer = [&](ReaderAnswer& a) {
        onAnswer(answered, a);
        ++answered;
        head = ReaderAnswer();
        summaryBytes = 0;
        linesBytes = 0;
        headSince = Clock::now();
        if (answered < jobs.size()) {
            headTime = deadlineFor(jobs[answered].call);
        }
    };
    while (answered < jobs.size()) {
        if (cancel != nullptr && cancel->load()) {
            kill();
            for (ReaderAnswer a = Cancelled(); answered < jobs.size(); a = Cancelled()) {
                answer(a);
            }
            return;
        }
        if (!ensure(ReaderMode::kScan, {})) {
            for (ReaderAnswer a = NotExamined(failure_); answered < jobs.size();
                 a = NotExamined(failure_)) {
                answer(a);
            }
            return;
        }
        if (starts_ != startsSeen) {
            // A fresh reader: every job not answered goes to it, under new numbers.
            startsSeen = starts_;
            sent = answered;
            first = nextJob_ - answered;
            nextJob_ += jobs.size();
            headSince = Clock::now();
        }
        const auto until = headSince + headTime;
        Event event = Event::kMessage;
        if (!search_ || *search_ != search) {
            event = send(out_.encode(search), until, cancel);
            search_ = search;
        }
        // The jobs that fit the pipeline go in one write, once it is half empty, so that the
        // reader finds several requests at once and answers them together.
        batch_.clear();
        const bool refill = sent - answered <= depth / 2;
        while (refill && pid_ != 0 && sent < jobs.size() && sent - answered < depth) {
            const ExamineJob& job = jobs[sent];
            batch_ += out_.encode(ExamineRequest{first + sent, job.call, job.summarise, job.lines});
            ++sent;
        }
        if (event == Event::kMessage && !batch_.empty()) {
            event = send(batch_, until, cancel);
        }
        std::string_view payload;
        if (event == Event::kMessage && pid_ != 0) {
            event = next(until, cancel, payload);
        }
        if (event == Event::kMessage && pid_ != 0) {
            const std::uint64_t job = first + answered;
            MessageType type{};
            MessageReader peek(payload);
            peek.type(type);
            if (type == MessageType::kLines) {
                LinesNote note;
                if (decode(payload, MessageType::kLines, note) && note.job == job) {
                    linesBytes += payload.size();
                    if (linesBytes <= kMaxLinesBytes) {
                        head.lines.push_back(std::move(note.lines));
                        continue;
                    }
                    kill();
                    failure_ = "reader sent more matched lines than can be shown";
                }
            } else if (type == MessageType::kSummary) {
                SummaryNote note;
                if (decode(payload, MessageType::kSummary, note) && note.job == job) {
                    summaryBytes += note.summary.bits.size() * 8 + 8;
                    if (summaryBytes <= kMaxSummaryBytes) {
                        head.summaries.push_back(std::move(note.summary));
                        continue;
                    }
                    kill();
                    failure_ = "reader sent more summaries than an archive can have";
                }
            } else {
                JobAnswer reply;
                if (decode(payload, MessageType::kAnswer, reply) && reply.job == job) {
                    if (reply.failure.empty()) {
                        head.examined = true;
                        head.result = reply.result;
                        head.matched = reply.matched;
                        answer(head);
                        continue;
                    }
                    kill();
                    failure_ = reply.failure;
                }
            }
            event = Event::kLost;
        }
        if (event == Event::kLost && endedByItself_ && retried != answered) {
            retried = answered;
            head = ReaderAnswer();
            summaryBytes = 0;
            linesBytes = 0;
            continue;
        }
        ReaderAnswer a = failed(event, "reader took longer than " + SecondsText(headTime));
        answer(a);
    }
}

ReaderAnswer ReaderProcess::examineOne(const ReaderSearch& search, const ExamineJob& job,
                                       const std::atomic<bool>* cancel) {
    ReaderAnswer result;
    examine(
        search, {job}, [&](std::size_t, ReaderAnswer& a) { result = std::move(a); }, cancel);
    return result;
}

ReaderAnswer ReaderProcess::stage(const StagingCall& call, StagingState* state,
                                  Questions* questions, const std::atomic<bool>* cancel) {
    if (cancel != nullptr && cancel->load()) {
        return Cancelled();
    }
    // Without a folder the call only lists: a reader that writes nothing does it.
    const std::filesystem::path& folder = call.options.extractFolder;
    if (!ensure(folder.empty() ? ReaderMode::kScan : ReaderMode::kStage, folder)) {
        return NotExamined(failure_);
    }
    const std::uint64_t job = nextJob_++;
    auto lastProgress = Clock::now();
    Event event = send(out_.encode(StageRequest{job, call, state != nullptr, questions != nullptr}),
                       lastProgress + limits_.stageStall, cancel);
    std::uint64_t moved = 0;
    while (event == Event::kMessage && pid_ != 0) {
        std::string_view payload;
        event = next(lastProgress + limits_.stageStall, cancel, payload);
        if (event != Event::kMessage) {
            break;
        }
        MessageType type{};
        MessageReader peek(payload);
        peek.type(type);
        bool ok = false;
        if (type == MessageType::kProgress) {
            ProgressNote note;
            ok = decode(payload, type, note) && note.job == job;
            if (ok && note.bytes > moved) {
                moved = note.bytes;
                lastProgress = Clock::now();
            }
        } else if (type == MessageType::kQuestion) {
            QuestionAsked question;
            ok = decode(payload, type, question) && question.job == job;
            if (ok) {
                QuestionReply reply{job, {}, 0};
                if (question.kind == QuestionKind::kPassword) {
                    reply.text =
                        questions != nullptr ? questions->askPassword(question.text) : QString();
                    if (reply.text.isEmpty() && state != nullptr) {
                        state->NoPasswordPrompt = 1;
                    }
                } else {
                    reply.choice = questions != nullptr
                                       ? questions->askReplace(question.text, question.title)
                                       : static_cast<int>(kReplaceNo);
                }
                lastProgress = Clock::now();
                event = send(out_.encode(reply), lastProgress + limits_.stageStall, cancel);
                continue;
            }
        } else {
            JobAnswer reply;
            if (decode(payload, MessageType::kAnswer, reply) && reply.job == job) {
                if (reply.failure.empty()) {
                    ReaderAnswer answer;
                    answer.examined = true;
                    answer.result = reply.result;
                    return answer;
                }
                kill();
                failure_ = reply.failure;
            }
        }
        if (!ok) {
            event = Event::kLost;
        }
    }
    if (event == Event::kMessage) {
        event = Event::kLost;  // the reader went while it was sent the request
    }
    return failed(event, "reader made no progress for " + SecondsText(limits_.stageStall));
}

ProbeAnswer ReaderProcess::probe(const std::filesystem::path& path,
                                 const std::filesystem::path& stageFolder) {
    ProbeAnswer answer;
    if (!ensure(stageFolder.empty() ? ReaderMode::kScan : ReaderMode::kStage, stageFolder)) {
        answer.failure = failure_;
        return answer;
    }
    const std::uint64_t job = nextJob_++;
    const auto until = Clock::now() + kProbeDeadline;
    Event event = send(out_.encode(ProbeRequest{job, path}), until, nullptr);
    std::string_view payload;
    if (event == Event::kMessage && pid_ != 0) {
        event = next(until, nullptr, payload);
    }
    ProbeReport report;
    if (event == Event::kMessage && pid_ != 0 &&
        decode(payload, MessageType::kProbeReport, report) && report.job == job) {
        answer.answered = true;
        answer.socketErrno = report.socketErrno;
        answer.openErrno = report.openErrno;
        answer.layers = report.layers;
        return answer;
    }
    answer.failure = failed(event == Event::kMessage ? Event::kLost : event,
                            "reader took longer than " + SecondsText(kProbeDeadline))
                         .failure;
    return answer;
}

}  // namespace quillery
