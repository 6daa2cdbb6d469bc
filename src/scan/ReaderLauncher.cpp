#include "scan/ReaderLauncher.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <set>
#include <system_error>
#include <utility>

namespace quillery {

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// A note from the launcher: a reader launched (value: 0, or the errno of the failure; with
// the reader's socket and process descriptor), or a reader ended (value: its wait status).
enum class NoteKind : std::uint8_t { kLaunched = 1, kEnded = 2 };
struct Note {
    NoteKind kind;
    std::int32_t pid;
    std::int32_t value;
};

constexpr milliseconds kLaunchWait{5'000};
// How long the program, as it ends, waits for the launcher to end by itself.
constexpr milliseconds kEndWait{1'000};

std::unique_ptr<ReaderLauncher>& Instance() {
    static std::unique_ptr<ReaderLauncher> launcher;
    return launcher;
}

// How many threads this process has (0 when that cannot be told).
long ThreadCount() {
    std::error_code ec;
    const std::filesystem::directory_iterator tasks("/proc/self/task", ec);
    return ec ? 0 : std::distance(tasks, std::filesystem::directory_iterator());
}

void SendNote(int control, const Note& note, const int* fds = nullptr, std::size_t count = 0) {
    iovec data{const_cast<Note*>(&note), sizeof note};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) std::array<char, CMSG_SPACE(2 * sizeof(int))> control_bytes{};
    if (count > 0) {
        message.msg_control = control_bytes.data();
        message.msg_controllen = CMSG_SPACE(count * sizeof(int));
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(count * sizeof(int));
        std::memcpy(CMSG_DATA(header), fds, count * sizeof(int));
    }
    while (::sendmsg(control, &message, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

// Forks one reader for the request (mode, then the folder's bytes) and tells the program;
// returns its process id, or 0.
pid_t Launch(int control, int children, const char* request, std::size_t size,
             const ReaderServe& serve) {
    const auto mode = static_cast<ReaderMode>(request[0]);
    const std::filesystem::path folder(std::string(request + 1, size - 1));
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        SendNote(control, Note{NoteKind::kLaunched, 0, errno});
        return 0;
    }
    const pid_t self = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        sigset_t none;
        sigemptyset(&none);
        // The launcher and its readers have one thread each.
        ::sigprocmask(SIG_SETMASK, &none, nullptr);  // NOLINT(concurrency-mt-unsafe)
        ::close(control);
        ::close(children);
        ::close(ends[0]);
        std::exit(serve(ends[1], mode, folder, self));  // NOLINT(concurrency-mt-unsafe)
    }
    const int error = errno;
    ::close(ends[1]);
    if (pid < 0) {
        ::close(ends[0]);
        SendNote(control, Note{NoteKind::kLaunched, 0, error});
        return 0;
    }
    const int process = OpenProcessDescriptor(pid);
    if (process < 0) {
        const int pidError = errno;
        ::kill(pid, SIGKILL);  // reaped with the others
        ::close(ends[0]);
        SendNote(control, Note{NoteKind::kLaunched, 0, pidError});
        return pid;
    }
    const int fds[2] = {ends[0], process};
    SendNote(control, Note{NoteKind::kLaunched, pid, 0}, fds, 2);
    ::close(ends[0]);
    ::close(process);
    return pid;
}

// Ends the readers still running and reaps every one, so that their time is counted with the
// launcher's (and, once the program reaps the launcher, with the program's), then ends.
[[noreturn]] void EndLauncher(const std::set<pid_t>& running) {
    for (const pid_t pid : running) {
        ::kill(pid, SIGKILL);  // not reaped yet, so the number is still this reader's
    }
    int status = 0;
    while (::waitpid(-1, &status, 0) > 0 || errno == EINTR) {
    }
    ::_exit(0);
}

// The launcher's life: forks readers as asked, reaps them and says how each ended, until the
// program closes its end or ends.
[[noreturn]] void RunLauncher(int control, const ReaderServe& serve, pid_t program) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != program) {
        ::_exit(0);
    }
    ::prctl(PR_SET_NAME, "quillery-launch");
    // Out of the terminal's process group: an interrupt is the program's to handle, and the
    // program ends its readers itself.
    ::setpgid(0, 0);
    if (const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC); null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    sigset_t childSignal;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    ::sigprocmask(SIG_BLOCK, &childSignal, nullptr);  // NOLINT(concurrency-mt-unsafe): one thread
    const int children = ::signalfd(-1, &childSignal, SFD_CLOEXEC | SFD_NONBLOCK);
    if (children < 0) {
        ::_exit(1);
    }
    std::array<char, 4097 + 1> request{};
    std::set<pid_t> running;
    for (;;) {
        std::array<pollfd, 2> watch = {pollfd{control, POLLIN, 0}, pollfd{children, POLLIN, 0}};
        if (::poll(watch.data(), watch.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::_exit(1);
        }
        if ((watch[1].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            while (::read(children, &info, sizeof info) > 0) {
            }
            int status = 0;
            for (pid_t pid; (pid = ::waitpid(-1, &status, WNOHANG)) > 0;) {
                running.erase(pid);
                SendNote(control, Note{NoteKind::kEnded, pid, status});
            }
        }
        if ((watch[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t got = ::recv(control, request.data(), request.size(), 0);
            if (got <= 0) {
                EndLauncher(running);  // the program is gone or done: its readers go too
            }
            if (const pid_t pid =
                    Launch(control, children, request.data(), static_cast<std::size_t>(got), serve);
                pid > 0) {
                running.insert(pid);
            }
        }
    }
}

}  // namespace

int OpenProcessDescriptor(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

int SignalThroughDescriptor(int process, int signal) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, process, signal, nullptr, 0));
}

void ReaderLauncher::Start(const ReaderServe& serve) {
    static bool tried = false;
    if (tried || ThreadCount() != 1) {
        return;
    }
    tried = true;
    if (const int probe = OpenProcessDescriptor(::getpid()); probe >= 0) {
        ::close(probe);
    } else {
        return;
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return;
    }
    const pid_t program = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ends[0]);
        RunLauncher(ends[1], serve, program);
    }
    ::close(ends[1]);
    if (pid < 0) {
        ::close(ends[0]);
        return;
    }
    Instance() = std::make_unique<ReaderLauncher>(UniqueFd(ends[0]), pid);
}

ReaderLauncher::~ReaderLauncher() {
    // Its socket closed, the launcher ends its readers, reaps them and ends. Waiting for it
    // leaves no process of this program behind, and counts the readers' processor time with
    // this process's, where the system's accounting (time, a shell's times) looks for it.
    control_.reset();
    if (::getpid() != owner_) {
        return;  // a copy in a forked child: the launcher is not its child
    }
    const UniqueFd process(OpenProcessDescriptor(pid_));
    pollfd watch{process.get(), POLLIN, 0};
    if (!process.valid() || ::poll(&watch, 1, static_cast<int>(kEndWait.count())) <= 0) {
        ::kill(pid_, SIGKILL);  // not reaped yet, so the number is still the launcher's
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
}

ReaderLauncher* ReaderLauncher::Get() {
    return Instance().get();
}

bool ReaderLauncher::receive(milliseconds wait, std::optional<LaunchedReader>* launched,
                             int* launchError) {
    pollfd watch{control_.get(), POLLIN, 0};
    const int ready =
        ::poll(&watch, 1, static_cast<int>(std::max<milliseconds::rep>(0, wait.count())));
    if (ready <= 0) {
        return false;
    }
    Note note{};
    iovec data{&note, sizeof note};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) std::array<char, CMSG_SPACE(2 * sizeof(int))> control_bytes{};
    message.msg_control = control_bytes.data();
    message.msg_controllen = control_bytes.size();
    const ssize_t got = ::recvmsg(control_.get(), &message, MSG_CMSG_CLOEXEC);
    if (got <= 0) {
        if (got == 0 || errno != EINTR) {
            gone_ = true;
        }
        return false;
    }
    std::array<UniqueFd, 2> fds;
    std::size_t count = 0;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        const std::size_t n = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < n; ++i) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof fd);
            if (count < fds.size()) {
                fds[count++] = UniqueFd(fd);
            } else {
                ::close(fd);
            }
        }
    }
    if (static_cast<std::size_t>(got) != sizeof note) {
        return true;
    }
    if (note.kind == NoteKind::kEnded) {
        if (forsaken_.erase(note.pid) == 0) {
            ended_[note.pid] = note.value;
        }
    } else if (note.kind == NoteKind::kLaunched && launched != nullptr) {
        if (note.value == 0 && count == 2) {
            *launched = LaunchedReader{note.pid, std::move(fds[0]), std::move(fds[1])};
        } else if (launchError != nullptr) {
            *launchError = note.value != 0 ? note.value : EIO;
        }
    }
    return true;
}

std::optional<LaunchedReader> ReaderLauncher::launch(ReaderMode mode,
                                                     const std::filesystem::path& folder,
                                                     std::string& failure) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string request(1, static_cast<char>(mode));
    request += folder.native();
    if (gone_ || ::send(control_.get(), request.data(), request.size(), MSG_NOSIGNAL) !=
                     static_cast<ssize_t>(request.size())) {
        gone_ = true;
        failure = "reader could not be started: its launcher is gone";
        return std::nullopt;
    }
    const auto until = Clock::now() + kLaunchWait;
    for (;;) {
        std::optional<LaunchedReader> launched;
        int error = 0;
        const auto left = std::chrono::ceil<milliseconds>(until - Clock::now());
        if (!receive(left, &launched, &error)) {
            if (gone_ || Clock::now() >= until) {
                gone_ = true;  // no answer in time: the launcher is of no use any more
                failure = "reader could not be started: its launcher does not answer";
                return std::nullopt;
            }
            continue;
        }
        if (launched) {
            return launched;
        }
        if (error != 0) {
            failure = "reader could not be started: " + std::generic_category().message(error);
            return std::nullopt;
        }
    }
}

std::optional<int> ReaderLauncher::endOf(pid_t pid, milliseconds wait) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto until = Clock::now() + wait;
    for (;;) {
        if (const auto found = ended_.find(pid); found != ended_.end()) {
            const int status = found->second;
            ended_.erase(found);
            return status;
        }
        const auto left = std::chrono::ceil<milliseconds>(until - Clock::now());
        if (gone_ || left.count() <= 0) {
            return std::nullopt;
        }
        receive(left, nullptr, nullptr);
    }
}

void ReaderLauncher::forsake(pid_t pid) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (ended_.erase(pid) == 0) {
        forsaken_.insert(pid);
    }
}

}  // namespace quillery
