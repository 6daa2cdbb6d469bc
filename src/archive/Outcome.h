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

// The severity order of the outcomes (see UnzipResult.h); the higher wins. Least severe
// first; every other outcome ranks below them all.
constexpr int Severity(Outcome outcome) {
    switch (outcome) {
        case Outcome::kWarning:
            return 1;
        case Outcome::kEncryptedSkipped:
            return 2;
        case Outcome::kCorrupt:
            return 3;
        case Outcome::kTooLarge:
            return 4;
        case Outcome::kWriteFailed:
            return 5;
        case Outcome::kCancelled:
            return 6;
        default:
            return 0;
    }
}

// Whether the next entries cannot sensibly go on after this outcome.
constexpr bool StopsExtraction(Outcome outcome) {
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
