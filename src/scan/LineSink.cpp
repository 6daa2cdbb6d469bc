#include "scan/LineSink.h"

#include <algorithm>

#include "text/CodePage.h"

namespace quillery {

void LineSink::begin(const EntryInfo& entry) {
    entryName_ = entry.name;
    entryArchive_ = entry.archive;
    bytes_.clear();
    stream_ = std::make_unique<MatchStream>(matcher_, CodePageForName(entry.name));
}

bool LineSink::write(const char* data, std::size_t size) {
    if (stream_) {
        stream_->feed(data, size);
        bytes_.append(data,
                      std::min(size, kMostEntryBytes - std::min(bytes_.size(), kMostEntryBytes)));
    }
    return true;
}

void LineSink::end(bool complete) {
    if (stream_ && complete && stream_->finish()) {
        matched_ = true;
        EntryLines lines;
        // An inner archive's entries name it below the file on disk: "file/inner.zip".
        if (entryArchive_.size() > archive_.size() + 1 && entryArchive_.starts_with(archive_)) {
            lines.inner = entryArchive_.substr(archive_.size() + 1);
        }
        lines.entry = entryName_;
        lines.lines =
            matcher_.query() != nullptr
                ? MatchedLines(bytes_, CodePageForName(entryName_), *matcher_.query())
                : MatchedLines(bytes_, CodePageForName(entryName_), matcher_.expression().terms);
        if (lines.lines.size() > kMostLines) {
            lines.lines.resize(kMostLines);
        }
        found_(lines);
    }
    stream_.reset();
    bytes_.clear();
}

}  // namespace quillery
