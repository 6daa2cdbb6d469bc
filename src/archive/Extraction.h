#pragma once

#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "archive/ExtractionContext.h"
#include "archive/UniqueFd.h"

namespace quillery {

// One extraction of one archive, whatever its format: chooses the entries by the name lists
// and lists, tests, streams or writes them as the options say, under the contract of
// SingleEntryUnzip (see Unzip.h). The reader underneath opens the archive and reads it.
class Extraction {
  public:
    Extraction(const std::vector<std::string>& include, const std::vector<std::string>& exclude,
               const ExtractionContext& context)
        : include_(include),
          exclude_(exclude),
          options_(context.options),
          callbacks_(context.callbacks),
          context_(context) {}

    Outcome run(ArchiveReader& reader);

  private:
    bool writesFiles() const {
        return !options_.listContents && !options_.testOnly && !options_.writeToStdout;
    }
    bool isSelected(const std::string& name) const;
    bool isChosen(const ArchiveEntry& entry) const;
    void say(const std::string& text, int level) const { context_.reporter.say(text, level); }
    bool openRoot();

    // The entries chosen before any is read, from a reader that knows them all.
    Outcome runIndexed();
    // The entries chosen as they come, in one pass.
    Outcome runInOnePass();
    void list(const ArchiveEntry& entry) const;

    Outcome extract(const ArchiveEntry& entry);
    Outcome makeFolder(const ArchiveEntry& entry);
    Outcome test(const ArchiveEntry& entry);
    Outcome stream(const ArchiveEntry& entry);
    Outcome write(const ArchiveEntry& entry);
    // Opens the entry (the whole of it) as an archive and searches it.
    Outcome openInner(const ArchiveEntry& entry);
    // Reads the prepared entry through the reader, held to the size limit.
    Outcome readEntry(const ArchiveEntry& entry, const ByteConsumer& consume);

    const std::vector<std::string>& include_;
    const std::vector<std::string>& exclude_;
    const UnzipOptions& options_;
    const UnzipCallbacks& callbacks_;
    const ExtractionContext& context_;
    ArchiveReader* reader_ = nullptr;
    UniqueFd root_;
};

enum class ArchiveFormat { kZip, kOther };

// Extracts with the reader for the format: libzip's for a zip, libarchive's for the others.
Outcome ExtractArchive(ArchiveFormat format, const std::vector<std::string>& include,
                       const std::vector<std::string>& exclude, const UnzipOptions& options,
                       const UnzipCallbacks& callbacks, const ArchiveSource& source);

}  // namespace quillery
