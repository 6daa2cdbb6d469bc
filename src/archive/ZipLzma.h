#pragma once

#include <cstdint>
#include <functional>

#include "archive/ArchiveReader.h"

namespace quillery {

// Reads up to size compressed bytes into out: the count, 0 at their end, -1 on an error.
using CompressedSource = std::function<std::int64_t(char* out, std::size_t size)>;

// Decodes the data of a zip entry stored with LZMA (method 14) with liblzma: a header of
// four bytes (the version, two bytes, and the size of the properties, two bytes little-endian),
// the five property bytes and a raw LZMA1 stream, with an end marker or without. The entry's
// size and CRC end it and check it. Returns kOk, kCorrupt, or what consume stopped with.
Outcome DecodeZipLzma(const CompressedSource& source, std::uint64_t size, std::uint32_t crc,
                      const ByteConsumer& consume);

}  // namespace quillery
