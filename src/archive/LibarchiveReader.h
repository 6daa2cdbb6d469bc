#pragma once

#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "archive/ExtractionContext.h"
#include "archive/LibarchiveOpen.h"

namespace quillery {

// Reads an archive of any format but zip through libarchive, from start to end in one
// pass. libarchive reports data that ends early itself; the sizes in the headers are not
// checked against the data, which some writers pad. Passwords are asked for while an
// entry is read, up to three times an entry.
class LibarchiveReader final : public ArchiveReader {
  public:
    explicit LibarchiveReader(const ExtractionContext& context)
        : context_(context),
          passwords_([this](std::string& password) { return nextPassword(password); }) {}

    ReaderTraits traits() const override { return {}; }
    Outcome open() override;
    bool next(ArchiveEntry& entry) override;
    Outcome failure() const override { return failure_; }
    Outcome prepare(const ArchiveEntry& entry) override;
    Outcome read(const ArchiveEntry& entry, const ByteConsumer& consume) override;

  private:
    void say(const std::string& text, int level) const { context_.reporter.say(text, level); }
    bool nextPassword(std::string& password);

    const ExtractionContext& context_;
    PassphraseSource passwords_;
    int asked_ = 0;
    LibarchivePtr reader_;
    std::uint64_t headers_ = 0;
    Outcome failure_ = Outcome::kOk;
    std::string linkText_;  // the current entry's, when it is a symbolic link
    std::vector<char> buffer_;
};

}  // namespace quillery
