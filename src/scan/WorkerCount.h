#pragma once

#include <string>

namespace quillery {

// How many threads examine archives during a run, and what to say about the setting.
struct WorkerCount {
    unsigned threads = 1;
    std::string warning;  // empty, or one line for standard error
};

// More threads than this gain nothing and only cost memory.
inline constexpr unsigned kMaxWorkerThreads = 256;

// The count from the QUILLERY_THREADS value (null when unset): a decimal number from 1 to
// kMaxWorkerThreads is taken as it is; anything else is ignored with a warning. Without a
// usable value, the hardware's thread count, within 1 and kMaxWorkerThreads.
WorkerCount ChooseWorkerCount(const char* setting, unsigned hardwareThreads);

// ChooseWorkerCount over the environment and the machine. The warning is the caller's to
// show (the programs print it at start-up).
WorkerCount WorkerCountFromEnvironment();
// Its thread count alone.
unsigned WorkerThreadsFromEnvironment();

}  // namespace quillery
