#include "index/SummarySink.h"

#include "text/CodePage.h"

namespace quillery {

void SummarySink::begin(const EntryInfo& entry) {
    inner_.begin(entry);
    summarizer_.emplace(CodePageForName(entry.name), entry.size);
}

bool SummarySink::write(const char* data, std::size_t size) {
    if (!inner_.write(data, size)) {
        return false;
    }
    if (summarizer_) {
        summarizer_->feed(data, size);
    }
    return true;
}

void SummarySink::end(bool complete) {
    inner_.end(complete);
    if (summarizer_) {
        entries_.push_back(summarizer_->finish(complete));
        summarizer_.reset();
    }
}

}  // namespace quillery
