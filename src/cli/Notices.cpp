#include "cli/Notices.h"

#include <cstdio>
#include <cstdlib>

namespace quillery {

void PrintNotice(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void TellLeftOutLayer(const std::string& text) {
    if (std::getenv("QUILLERY_DEBUG") != nullptr) {
        std::fprintf(stderr, "quillery reader: %s\n", text.c_str());
    }
}

void TakeWorkerCount(RunState& state) {
    const WorkerCount count = WorkerCountFromEnvironment();
    state.workerThreads = count.threads;
    if (!count.warning.empty()) {
        std::fprintf(stderr, "%s\n", count.warning.c_str());
    }
}

}  // namespace quillery
