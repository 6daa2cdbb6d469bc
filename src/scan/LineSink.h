#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/UnzipCallbacks.h"
#include "scan/MatchStream.h"
#include "scan/MatchedLines.h"
#include "scan/TextMatcher.h"

namespace quillery {

// Tests every entry of one archive as MatchingSink does and, for each entry that matches,
// gives its lines that hold a term (MatchedLines) with the entry's name and inner archive.
// Only the first kMostEntryBytes of an entry are looked at for its lines (the entry's
// match takes all of it), and an entry gives its first kMostLines lines at most.
class LineSink : public EntrySink {
  public:
    static constexpr std::size_t kMostEntryBytes = std::size_t{8} << 20;
    static constexpr std::size_t kMostLines = 10000;
    using Found = std::function<void(EntryLines& lines)>;
    // archive: the file on disk, as its entries' EntryInfo::archive starts.
    LineSink(const TextMatcher& matcher, std::string archive, Found found)
        : matcher_(matcher), archive_(std::move(archive)), found_(std::move(found)) {}

    void begin(const EntryInfo& entry) override;
    bool write(const char* data, std::size_t size) override;
    void end(bool complete) override;

    bool matched() const { return matched_; }

  private:
    const TextMatcher& matcher_;
    const std::string archive_;
    const Found found_;
    std::unique_ptr<MatchStream> stream_;
    std::string entryName_, entryArchive_;
    std::string bytes_;
    bool matched_ = false;
};

}  // namespace quillery
