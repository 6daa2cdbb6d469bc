#include "cli/Notices.h"

#include <cstdio>

namespace quillery {

void PrintNotice(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void TakeWorkerCount(RunState& state) {
    const WorkerCount count = WorkerCountFromEnvironment();
    state.workerThreads = count.threads;
    if (!count.warning.empty()) {
        std::fprintf(stderr, "%s\n", count.warning.c_str());
    }
}

}  // namespace quillery
