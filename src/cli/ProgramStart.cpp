#include "cli/ProgramStart.h"

#include <QString>
#include <QtGlobal>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/Usage.h"

namespace quillery {

namespace {

// Qt's note that it picked a runtime folder by itself says nothing to a user of a
// command-line run; everything else goes on to the default handler.
QtMessageHandler defaultHandler = nullptr;
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
        return;
    }
    defaultHandler(type, context, text);
}

}  // namespace

void PrepareProcess() {
    // The same zone, named so that the C library reads it once instead of checking the zone
    // file at every time conversion (libzip converts every entry's date). Before the reader
    // launcher is forked, so that its readers have it too.
    const char* zone = std::getenv("TZ");
    if ((zone == nullptr || *zone == '\0') && ::access("/etc/localtime", R_OK) == 0) {
        ::setenv("TZ", ":/etc/localtime", 1);  // NOLINT(concurrency-mt-unsafe): one thread yet
    }
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            // Read-only: a write through it fails with EBADF, as it does on a closed one.
            const int held = ::open("/dev/null", O_RDONLY);
            if (held >= 0 && held != fd) {
                ::dup2(held, fd);
                ::close(held);
            }
        }
    }
}

ProgramArguments StartProgram(int argc, char** argv) {
    defaultHandler = qInstallMessageHandler(FilterMessages);
    ProgramArguments program;
    for (int i = 1; i < argc; ++i) {
        program.words.push_back(QString::fromLocal8Bit(argv[i]));
    }
    program.parsed = ParseArguments(program.words);
    if (program.parsed.request.separateWords) {
        program.parsed.request.folderBytes =
            FolderArgumentBytes(std::vector<std::string>(argv + 1, argv + argc));
    }
    switch (program.parsed.action) {
        case ArgumentAction::Help:
            std::fputs(UsageText().toLocal8Bit().constData(), stdout);
            program.exitStatus = 0;
            break;
        case ArgumentAction::Version:
            std::printf("%s\n", VersionLine().toLocal8Bit().constData());
            program.exitStatus = 0;
            break;
        case ArgumentAction::Error:
            std::fprintf(stderr, "quillery: %s See quillery --help.\n",
                         program.parsed.error.toLocal8Bit().constData());
            program.exitStatus = 2;
            break;
        case ArgumentAction::Start:
            break;
    }
    return program;
}

bool HasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace quillery
