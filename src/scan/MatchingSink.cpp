#include "scan/MatchingSink.h"

#include "text/CodePage.h"

namespace quillery {

void MatchingSink::begin(const EntryInfo& entry) {
    stream_.reset();
    if (!matched_) {
        stream_ = std::make_unique<MatchStream>(matcher_, CodePageForName(entry.name));
    }
}

bool MatchingSink::write(const char* data, std::size_t size) {
    if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
        return false;
    }
    if (stream_) {
        stream_->feed(data, size);
    }
    return true;
}

void MatchingSink::end(bool complete) {
    if (stream_ && complete && stream_->finish()) {
        matched_ = true;
    }
    stream_.reset();
}

}  // namespace quillery
