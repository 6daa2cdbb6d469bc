#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace quillery {

// The exit status of a program that a signal asked to end.
inline constexpr int kInterruptedStatus = 130;

// Turns SIGTERM, SIGHUP and SIGINT into a Qt signal on the event loop. The handler itself
// only writes one byte into a pipe; a second signal, while the program is still ending
// after the first, ends the process at once.
class SignalWatcher : public QObject {
    Q_OBJECT
  public:
    // Puts the handler in place; call once, early, before anything worth cleaning up exists.
    // Until a watcher exists, a signal waits in the pipe.
    static bool installHandlers();

    // Needs the application object; reports the signals the handler has noted.
    SignalWatcher();

  signals:
    void received();

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quillery
