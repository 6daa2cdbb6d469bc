#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "archive/FunctionRef.h"
#include "archive/Outcome.h"

namespace quillery {

// One entry of an archive as its reader describes it.
struct ArchiveEntry {
    std::uint64_t index = 0;  // its place in the archive, from 0
    std::string name;         // as the archive holds it, UTF-8 where it says so
    std::uint64_t size = 0;   // inflated; 0 when not known
    bool sizeKnown = false;
    std::uint64_t compressedSize = 0;  // 0 when the format does not tell
    std::string method;                // the compression method's name in listings
    bool stored = false;               // the bytes are held as they are
    std::uint32_t crc = 0;             // 0 when the format does not tell
    std::optional<std::time_t> mtime;
    bool folder = false;
    bool link = false;     // a symbolic link: its bytes are the link text
    bool special = false;  // a device, a pipe, a socket: never extracted
    bool encrypted = false;
};

// Receives an entry's bytes piece by piece; returns kOk to go on or the outcome to stop with.
// Never kept beyond the call it is passed to.
using ByteConsumer = FunctionRef<Outcome(const char* data, std::size_t size)>;

// Where the extractions of the formats differ in what they show and when they touch files.
struct ReaderTraits {
    // Every header is known once the archive is open: the entries are chosen, and listed
    // with their folders, before any of them is read or anything is written.
    bool indexed = false;
    // Folders made for folder entries are announced ("   creating: ").
    bool announcesFolders = false;
    // A target file is made, with messages of its own, before the entry's bytes are read;
    // else at its first bytes, so that an entry that cannot be read leaves an existing file
    // alone.
    bool createsBeforeReading = false;
};

// Reads one archive for an extraction: opens it, hands out its entries in archive order and
// their bytes. A reader says its own problems through the extraction's reporter; the modes
// on top of it (see Extraction.h) say theirs.
class ArchiveReader {
  public:
    virtual ~ArchiveReader() = default;

    virtual ReaderTraits traits() const = 0;
    // Opens the archive the extraction's options and source name.
    virtual Outcome open() = 0;
    // The archive's comment; empty when there is none.
    virtual std::string comment() const { return {}; }
    // The next entry, or false at the end of the archive or at a header that cannot be
    // read: failure() tells which.
    virtual bool next(ArchiveEntry& entry) = 0;
    virtual Outcome failure() const = 0;
    // Makes the entry's bytes ready to read, asking for a password when it needs one.
    // Readers that stream in one pass take the entry last handed out by next.
    virtual Outcome prepare(const ArchiveEntry& entry) = 0;
    // Hands the prepared entry's bytes to consume in pieces and checks them.
    virtual Outcome read(const ArchiveEntry& entry, const ByteConsumer& consume) = 0;
};

}  // namespace quillery
