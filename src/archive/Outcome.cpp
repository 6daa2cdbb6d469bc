#include "archive/Outcome.h"

#include <array>

namespace quillery {

int Severity(Outcome outcome) {
    // Least severe first; every other outcome ranks below them all.
    constexpr std::array<Outcome, 6> kRising = {Outcome::kWarning,     Outcome::kEncryptedSkipped,
                                                Outcome::kCorrupt,     Outcome::kTooLarge,
                                                Outcome::kWriteFailed, Outcome::kCancelled};
    for (std::size_t i = 0; i < kRising.size(); ++i) {
        if (kRising[i] == outcome) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

}  // namespace quillery
