#pragma once

#include <optional>
#include <vector>

#include "archive/UnzipCallbacks.h"
#include "index/TextSummary.h"

namespace quillery {

// Passes every entry on to another sink and summarises its text on the way.
class SummarySink : public EntrySink {
  public:
    explicit SummarySink(EntrySink& inner) : inner_(inner) {}

    void begin(const EntryInfo& entry) override;
    bool write(const char* data, std::size_t size) override;
    void end(bool complete) override;

    // The summaries of the entries handed over so far, in order.
    std::vector<EntrySummary> take() { return std::move(entries_); }

  private:
    EntrySink& inner_;
    std::optional<TextSummarizer> summarizer_;
    std::vector<EntrySummary> entries_;
};

}  // namespace quillery
