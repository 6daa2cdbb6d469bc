#include "archive/Outcome.h"

namespace quillery {

int Severity(Outcome outcome) {
    switch (outcome) {
        case Outcome::kCancelled:
            return 6;
        case Outcome::kWriteFailed:
            return 5;
        case Outcome::kTooLarge:
            return 4;
        case Outcome::kCorrupt:
            return 3;
        case Outcome::kEncryptedSkipped:
            return 2;
        case Outcome::kWarning:
            return 1;
        default:
            return 0;
    }
}

}  // namespace quillery
