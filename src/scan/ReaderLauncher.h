#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "archive/UniqueFd.h"
#include "scan/Sandbox.h"

namespace quillery {

// A descriptor for the process pid (pidfd_open), or -1 with errno; and a signal sent through
// one (pidfd_send_signal). Debian's C library declares the wrappers without C linkage.
int OpenProcessDescriptor(pid_t pid);
int SignalThroughDescriptor(int process, int signal);

// What a reader process runs: it serves on socket in mode (and for folder), its parent
// being parent; returns its exit status.
using ReaderServe = std::function<int(int socket, ReaderMode mode,
                                      const std::filesystem::path& folder, pid_t parent)>;

// A reader the launcher forked: its process id, this program's end of its socket, and a
// descriptor for the process (signals sent through it never reach another process that got
// its number later).
struct LaunchedReader {
    pid_t pid = 0;
    UniqueFd socket;
    UniqueFd process;
};

// Starting this program again for every reader costs a few milliseconds (loading and
// relocating its libraries), which a short run notices. So when the program starts, while it
// has one thread, it forks a small launcher process that forks readers on request: a reader
// then starts in a fraction of a millisecond, the libraries loaded already. The launcher is
// the readers' parent: it reaps them and tells this process how each ended. It ends with
// this process (or when this process closes its socket). Where it cannot be made, readers are
// started by running the program again (see ReaderProcess).
class ReaderLauncher {
  public:
    // Forks the launcher, whose readers run serve; does nothing unless this process has one
    // thread (a fork of a threaded process may hold another thread's locks) and the kernel
    // gives process descriptors. Once per process.
    static void Start(const ReaderServe& serve);
    // The launcher, or nullptr when there is none.
    static ReaderLauncher* Get();

    // Forks a reader; nullopt with failure when the launcher could not (or is gone).
    std::optional<LaunchedReader> launch(ReaderMode mode, const std::filesystem::path& folder,
                                         std::string& failure);
    // The wait status of a reader it launched, once it has ended and been reaped, waiting up
    // to wait for it; nullopt when it has not ended by then (or the launcher is gone).
    std::optional<int> endOf(pid_t pid, std::chrono::milliseconds wait);
    // No one will ask for the end of this reader (killed, say): its status is not kept.
    void forsake(pid_t pid);

    // control: this process's end of the launcher's socket; pid: the launcher's.
    ReaderLauncher(UniqueFd control, pid_t pid)
        : control_(std::move(control)), pid_(pid), owner_(::getpid()) {}
    // Ends the launcher, which ends its readers, and waits for it.
    ~ReaderLauncher();
    ReaderLauncher(const ReaderLauncher&) = delete;
    ReaderLauncher& operator=(const ReaderLauncher&) = delete;

  private:
    // Takes one message from the launcher, waiting up to wait; false when none came (or the
    // launcher is gone). A reader's end is kept in ended_; a launch's answer goes to launched.
    bool receive(std::chrono::milliseconds wait, std::optional<LaunchedReader>* launched,
                 int* launchError);

    std::mutex mutex_;
    UniqueFd control_;
    pid_t pid_;
    pid_t owner_;  // the process that forked the launcher
    bool gone_ = false;
    std::map<pid_t, int> ended_;  // wait statuses not yet asked for
    // Readers whose end is not asked for and not reported yet. A reader's end is reported
    // before a reader launched after it is, so a number used again is never mistaken.
    std::set<pid_t> forsaken_;
};

}  // namespace quillery
