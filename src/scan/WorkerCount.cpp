#include "scan/WorkerCount.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace quillery {

WorkerCount ChooseWorkerCount(const char* setting, unsigned hardwareThreads) {
    WorkerCount count;
    count.threads = std::clamp(hardwareThreads, 1U, kMaxWorkerThreads);
    if (setting == nullptr) {
        return count;
    }
    const char* end = setting + std::strlen(setting);
    unsigned value = 0;
    const auto [stop, error] = std::from_chars(setting, end, value);
    if (error == std::errc() && stop == end && value > 0 && value <= kMaxWorkerThreads) {
        count.threads = value;
    } else {
        count.warning = std::string("quillery: QUILLERY_THREADS=\"") + setting +
                        "\" is not a number from 1 to " + std::to_string(kMaxWorkerThreads) +
                        "; using " + std::to_string(count.threads) + " threads";
    }
    return count;
}

WorkerCount WorkerCountFromEnvironment() {
    return ChooseWorkerCount(std::getenv("QUILLERY_THREADS"), std::thread::hardware_concurrency());
}

unsigned WorkerThreadsFromEnvironment() {
    return WorkerCountFromEnvironment().threads;
}

}  // namespace quillery
