#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillery {

// Answers of the replace callback.
enum ReplaceAnswer : int { kReplaceNo = 100, kReplaceYes = 102, kReplaceCancel = 104 };

// One line of a contents listing, handed to the message callback.
struct EntryListing {
    std::uint64_t size = 0;
    std::uint64_t compressedSize = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    std::string name;
    std::string method;
    std::uint32_t crc = 0;
    bool encrypted = false;
};

// The entry being handed to an output sink.
struct EntryInfo {
    std::string name;  // the entry's name in the archive, UTF-8
    std::uint64_t size = 0;
    // The archive it is in: the file's path, or for an entry of an inner archive the outer
    // one's followed by "/" and the inner archive's entry name (valid during begin only).
    std::string_view archive;
};

// Receives the inflated bytes of each selected entry when the write-to-standard-output flag
// is on. Calls come in the order begin, write..., end for each entry, entries in archive
// order. end(true) means the entry inflated completely with a correct CRC.
class EntrySink {
  public:
    virtual ~EntrySink() = default;
    virtual void begin(const EntryInfo& entry) = 0;
    // Returns false to cancel the whole extraction.
    virtual bool write(const char* data, std::size_t size) = 0;
    virtual void end(bool complete) = 0;
};

// The callback record. Every member may be empty; an empty callback takes its default answer
// (print: ignored; replace: no; password: none; service: go on).
struct UnzipCallbacks {
    // Progress and diagnostic text. Returns a value the layer ignores.
    std::function<int(std::string_view text)> print;
    // Asked before an existing file is overwritten when overwriting is not on but prompting is.
    // Returns kReplaceYes, kReplaceNo or kReplaceCancel.
    std::function<int(const std::string& entryName)> replace;
    // Asked for an encrypted entry. Fills password and returns 0, or returns 1 for none.
    std::function<int(std::string& password, const std::string& prompt,
                      const std::string& entryName)>
        password;
    // One call per entry when listing contents.
    std::function<void(const EntryListing& entry)> message;
    // One call per selected entry before it is extracted. Non-zero cancels the extraction.
    std::function<int(const std::string& entryName, std::uint64_t size)> service;
    // Destination of the bytes in write-to-standard-output mode; without it they go to print.
    EntrySink* output = nullptr;
};

}  // namespace quillery
