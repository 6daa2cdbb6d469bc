#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/Questions.h"
#include "archive/Staging.h"
#include "archive/UniqueFd.h"
#include "index/TextSummary.h"
#include "scan/ArchiveExaminer.h"
#include "scan/ReaderProtocol.h"
#include "scan/ReaderSearch.h"
#include "scan/Sandbox.h"

namespace quillery {

// How long and how large a reader may get before it is killed, and how it is driven.
struct ReaderLimits {
    // An examination may take base plus perTenMegabytes for each 10 MB of its archive.
    std::chrono::milliseconds base{10'000};
    std::chrono::milliseconds perTenMegabytes{1'000};
    // A stage may go this long without reading or writing anything.
    std::chrono::milliseconds stageStall{30'000};
    // The most resident memory a reader may hold.
    std::uint64_t residentBytes = std::uint64_t{192} << 20;
    // Examinations sent ahead of the one being answered (at least 1): a whole batch, so that
    // the reader never waits for the rest of it.
    std::size_t pipelineDepth = 256;
    // How long stop() waits after SIGTERM before SIGKILL.
    std::chrono::milliseconds stopGrace{100};
    // Whether readers are forked by the launcher when there is one (ReaderLauncher), rather
    // than started as this program run again.
    bool fromLauncher = true;
};

// What a reader answered for a job. When examined is false the archive was not examined
// (the reader crashed, went over a limit, was cancelled or could not be started): failure
// says why, result is kUnzCorrupt (kUnzCancelled when cancelled) and nothing matched.
struct ReaderAnswer {
    bool examined = false;
    int result = 0;
    bool matched = false;
    std::vector<EntrySummary> summaries;  // with summarise, in entry order
    std::vector<EntryLines> lines;        // with lines, the matching entries' in entry order
    std::string failure;
};

// What a probe found (see ProbeReport): the errnos of socket() and of opening path for
// writing, and the sandbox layers in force; answered is false when the reader failed.
struct ProbeAnswer {
    bool answered = false;
    int socketErrno = 0;
    int openErrno = 0;
    std::uint8_t layers = 0;
    std::string failure;
};

// Owns one reader process: this program run again (/proc/self/exe) with kReaderOption,
// sandboxed, connected by a socket. It is started when a job needs it, in the mode the job
// needs (scan, or stage to one folder), and replaced by a fresh one after any failure. A
// reader that crashes, stops answering, outgrows its limits or is cancelled is killed and
// reaped; its job is answered as not examined. The object is for one thread at a time; the
// reader gets SIGKILL when the thread that started it ends.
class ReaderProcess {
  public:
    explicit ReaderProcess(ReaderLimits limits = {});
    ~ReaderProcess();
    ReaderProcess(const ReaderProcess&) = delete;
    ReaderProcess& operator=(const ReaderProcess&) = delete;

    using AnswerHandler = std::function<void(std::size_t job, ReaderAnswer& answer)>;
    // Examines the archives of jobs with the search, as ExamineWithCall (and, with
    // summarise, IndexedExamine's reading) would in this process, up to pipelineDepth of
    // them sent ahead. onAnswer gets every job's answer, in order, as it comes. With cancel,
    // the reader is killed as soon as it is set and the jobs left are answered cancelled.
    void examine(const ReaderSearch& search, const std::vector<ExamineJob>& jobs,
                 const AnswerHandler& onAnswer, const std::atomic<bool>* cancel = nullptr);
    // One job.
    ReaderAnswer examineOne(const ReaderSearch& search, const ExamineJob& job,
                            const std::atomic<bool>* cancel = nullptr);

    // RunStagingCall(call, state, questions, nullptr) in a reader that may write beneath the
    // call's folder only (which it makes when missing): questions are asked here, on the
    // calling thread, and an empty password answer turns further questions off in state,
    // as in RunStagingCall. Stopped when it goes stageStall without reading or writing.
    ReaderAnswer stage(const StagingCall& call, StagingState* state, Questions* questions,
                       const std::atomic<bool>* cancel = nullptr);

    // Starts the reader for scanning, unless it runs already.
    void prepare() { ensure(ReaderMode::kScan, {}); }

    // Asks the reader for scanning (stageFolder empty) or the one staging to stageFolder to
    // try to create a socket and open path for writing.
    ProbeAnswer probe(const std::filesystem::path& path,
                      const std::filesystem::path& stageFolder = {});

    // goOn is called about every 40 ms while an examination or a stage waits for the reader;
    // when it returns false, what runs is cancelled.
    void whileWaiting(const std::function<bool()>& goOn) { goOn_ = goOn; }

    // Ends the reader: SIGTERM, then SIGKILL after the grace time; reaped.
    void stop();
    // The reader's process id; 0 when none runs.
    pid_t pid() const { return pid_; }
    // The readers started so far.
    std::uint64_t starts() const { return starts_; }

  private:
    enum class Event { kMessage, kTimeout, kLost, kCancelled };
    using Clock = std::chrono::steady_clock;

    // A reader in mode (and for folder) runs; false with failure_ when none could start.
    bool ensure(ReaderMode mode, const std::filesystem::path& folder);
    bool spawn(ReaderMode mode, const std::filesystem::path& folder);
    // Takes on a reader just started; true.
    bool started(pid_t pid, UniqueFd socket, ReaderMode mode, const std::filesystem::path& folder);
    // Kills the reader at once and reaps it; its wait status.
    int kill();
    // Sends the reader a signal.
    void signal(int number);
    // The reader's wait status once it has ended, waiting up to wait; nullopt if it runs on.
    std::optional<int> ended(std::chrono::milliseconds wait);
    // Lets go of a reader that was reaped.
    void forget();
    // Whether a wait until until has to end now (cancelled, over the memory limit, past
    // until), and with which event.
    bool stopping(Clock::time_point until, const std::atomic<bool>* cancel, Event& event);
    // The reader closed its socket: why it went (it is reaped).
    std::string lost();
    // Sends frame, taking in what the reader sends meanwhile.
    Event send(const std::string& frame, Clock::time_point until, const std::atomic<bool>* cancel);
    // Waits until until for the next message from the reader.
    Event next(Clock::time_point until, const std::atomic<bool>* cancel, std::string_view& payload);
    // Whether the reader is above its memory limit (read at most every few milliseconds).
    bool overMemory();
    // The reader's failure as an answer; the reader is gone afterwards.
    ReaderAnswer failed(Event event, const std::string& timeout);
    // One message from the reader as the message expected; false (and the reader killed)
    // when it is none such.
    template <typename Message>
    bool decode(std::string_view payload, MessageType type, Message& message);
    std::chrono::milliseconds deadlineFor(const StagingCall& call) const;

    const ReaderLimits limits_;
    pid_t pid_ = 0;
    // For a reader the launcher forked (see ReaderLauncher): its process descriptor; the
    // launcher reaps it. Otherwise this process's own child.
    UniqueFd process_;
    ReaderMode mode_ = ReaderMode::kScan;
    std::filesystem::path folder_;
    UniqueFd socket_;
    UniqueFd statm_;
    std::optional<ReaderSearch> search_;  // what the reader was last sent
    Clock::time_point lastMemoryCheck_{};
    std::function<bool()> goOn_;
    Clock::time_point lastGoOn_{};
    std::uint64_t nextJob_ = 1;
    std::uint64_t starts_ = 0;
    std::string failure_;  // why the reader was lost or could not start
    // Whether the reader last lost ended by itself (crashed, or was killed from outside)
    // rather than being ended here.
    bool endedByItself_ = false;
    FrameBuffer in_;
    MessageWriter out_;
    std::string batch_;  // the frames of one write
};

}  // namespace quillery
