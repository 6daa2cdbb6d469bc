#pragma once

#include <atomic>
#include <memory>

#include "archive/UnzipCallbacks.h"
#include "scan/MatchStream.h"
#include "scan/TextMatcher.h"

namespace quillery {

// Tests the entries of one archive as they are inflated, without writing them anywhere.
// matched() is true when an entry that inflated completely matched; entries after the
// first match are still inflated (their check decides the archive's result) but not tested.
class MatchingSink : public EntrySink {
  public:
    // With cancel, a write after it was set asks the extraction to stop.
    explicit MatchingSink(const TextMatcher& matcher, const std::atomic<bool>* cancel = nullptr)
        : matcher_(matcher), cancel_(cancel) {}

    void begin(const EntryInfo& entry) override;
    bool write(const char* data, std::size_t size) override;
    void end(bool complete) override;

    bool matched() const { return matched_; }

  private:
    const TextMatcher& matcher_;
    const std::atomic<bool>* cancel_;
    std::unique_ptr<MatchStream> stream_;
    bool matched_ = false;
};

}  // namespace quillery
