#include "cli/SignalWatcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace quillery {

namespace {

int pipeEnds[2] = {-1, -1};
volatile std::sig_atomic_t signalsReceived = 0;

// Only async-signal-safe calls here.
void NoteSignal(int) {
    if (signalsReceived != 0) {
        ::_exit(kInterruptedStatus);
    }
    signalsReceived = 1;
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

bool SignalWatcher::installHandlers() {
    if (pipeEnds[0] >= 0) {
        return true;
    }
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeEnds[0] = pipeEnds[1] = -1;
        return false;
    }
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    bool installed = true;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        // A signal ignored from the start stays ignored (nohup, a background job).
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
            continue;
        }
        installed = ::sigaction(signal, &action, nullptr) == 0 && installed;
    }
    return installed;
}

SignalWatcher::SignalWatcher() {
    if (pipeEnds[0] < 0) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
        }
        emit received();
    });
}

}  // namespace quillery
