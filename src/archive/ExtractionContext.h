#pragma once

#include <cstdint>
#include <string>

#include "archive/NestedArchives.h"
#include "archive/TargetPlace.h"
#include "archive/UnzipCallbacks.h"
#include "archive/UnzipOptions.h"

namespace quillery {

// The messages of one extraction, at the levels of TargetPlace.h, through the print callback.
class Reporter {
  public:
    Reporter(const UnzipOptions& options, const UnzipCallbacks& callbacks)
        : options_(options), callbacks_(callbacks) {}

    // Whether a message of this level reaches the print callback; checked first where
    // building the text would cost more than the message is worth.
    bool speaks(int level) const {
        // Without an output sink, print carries the extracted bytes; keep it clean of chatter.
        return callbacks_.print && options_.quietLevel <= level &&
               !(options_.writeToStdout && callbacks_.output == nullptr);
    }
    void say(const std::string& text, int level) const {
        if (speaks(level)) {
            callbacks_.print(text);
        }
    }

  private:
    const UnzipOptions& options_;
    const UnzipCallbacks& callbacks_;
};

// The bytes an entry of the file on disk may inflate to, over every level of inner archives
// below it: the options' limit (0: none) less what the levels have inflated already.
class InflateLimit {
  public:
    InflateLimit(std::uint64_t maxEntryBytes, NestBudget* budget)
        : max_(maxEntryBytes), budget_(budget) {}

    std::uint64_t used() const { return budget_ != nullptr ? budget_->inflated : 0; }
    // Whether an entry may inflate to bytes (on top of what the levels used).
    bool allows(std::uint64_t bytes) const { return max_ == 0 || used() + bytes <= max_; }
    void charge(std::uint64_t bytes) const {
        if (budget_ != nullptr) {
            budget_->inflated += bytes;
        }
    }

  private:
    std::uint64_t max_;
    NestBudget* budget_;
};

// What one extraction is given, and shares with the reader of its archive.
struct ExtractionContext {
    const UnzipOptions& options;
    const UnzipCallbacks& callbacks;
    const ArchiveSource& source;
    const Reporter& reporter;
    const InflateLimit& limit;
};

}  // namespace quillery
