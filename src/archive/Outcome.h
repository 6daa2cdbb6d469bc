#pragma once

#include "archive/UnzipResult.h"

namespace quillery {

// What a step of an extraction comes to, inside the extraction layer. The values are the
// public result codes of UnzipResult.h, which callers get through ResultCode.
enum class Outcome : int {
    kOk = kUnzOk,
    kWarning = kUnzWarning,
    kCorrupt = kUnzCorrupt,
    kTooLarge = kUnzTooLarge,
    kNotAnArchive = kUnzNotAZip,
    kBadOptions = kUnzBadOptions,
    kNoMatch = kUnzNoMatch,
    kWriteFailed = kUnzWriteFailed,
    kCancelled = kUnzCancelled,
    kEncryptedSkipped = kUnzEncryptedSkipped,
};

constexpr int ResultCode(Outcome outcome) {
    return static_cast<int>(outcome);
}

// The severity order of the outcomes (see UnzipResult.h); the higher wins.
int Severity(Outcome outcome);

// Whether the next entries cannot sensibly go on after this outcome.
inline bool StopsExtraction(Outcome outcome) {
    return Severity(outcome) >= Severity(Outcome::kCorrupt);
}

// Keeps the more severe of the two in worst; returns whether the extraction goes on after
// the entry that came to latest.
inline bool Record(Outcome& worst, Outcome latest) {
    if (Severity(latest) > Severity(worst)) {
        worst = latest;
    }
    return !StopsExtraction(latest);
}

}  // namespace quillery
