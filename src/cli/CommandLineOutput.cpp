#include "cli/CommandLineOutput.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "text/ShownPath.h"

namespace quillery {

namespace {

// At most ten redraws a second.
constexpr qint64 kRedrawMilliseconds = 100;

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

}  // namespace

void CommandLineOutput::folderEntered(const std::filesystem::path& folder) {
    if (choice_.statusLine) {
        folder_ = PathText(folder);
        drawWhenDue();
    }
}

void CommandLineOutput::archiveDecided(const std::string& archive, bool matched) {
    if (matched && choice_.list && !outputClosed_) {
        erase();  // standard output may share the terminal
        const std::string& bytes = archive;
        const char end = choice_.nullEnds ? '\0' : '\n';
        errno = 0;
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
            std::fputc(end, stdout) == EOF || std::fflush(stdout) != 0) {
            // The run stops at the next archive and ends as a stopped run does. When the
            // reader of a pipe has ended, that is all: nobody reads the list any more.
            if (errno != EPIPE) {
                writeError_ = std::generic_category().message(errno != 0 ? errno : EIO);
            }
            outputClosed_ = true;
            state_.KeepScanning = false;
        }
    }
    if (choice_.statusLine) {
        drawWhenDue();
    }
}

bool CommandLineOutput::problem(const std::string& path, const std::string& reason) {
    if (!choice_.problems) {
        return false;
    }
    ++problems_;
    if (!choice_.quiet) {
        erase();
        std::fprintf(stderr, "quillery: %s: %s\n", path.c_str(), reason.c_str());
        std::fflush(stderr);
    }
    return true;
}

void CommandLineOutput::drawWhenDue() {
    if (sinceDraw_.isValid() && sinceDraw_.elapsed() < kRedrawMilliseconds) {
        return;
    }
    sinceDraw_.start();
    const QString counts =
        QStringLiteral("Checked %1, found %2: ").arg(state_.FilesChecked).arg(state_.FilesFound);
    // One line, never wrapped: a long folder keeps its end.
    const qsizetype room = TerminalColumns() - 1 - counts.size();
    QString folder = folder_;
    if (folder.size() > room) {
        folder = room > 3 ? QStringLiteral("...") + folder.right(room - 3) : QString();
    }
    std::fprintf(stderr, "\r\033[K%s%s", counts.toLocal8Bit().constData(),
                 folder.toLocal8Bit().constData());
    std::fflush(stderr);
    shown_ = true;
}

void CommandLineOutput::erase() {
    if (shown_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }
}

}  // namespace quillery
