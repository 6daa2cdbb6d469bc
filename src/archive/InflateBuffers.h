#pragma once

#include <libdeflate.h>

#include <algorithm>
#include <cstddef>
#include <memory>

namespace quillery {

// Memory for bytes that are always written before they are read: it grows, never shrinks,
// and is not cleared.
class ByteBuffer {
  public:
    char* reserve(std::size_t size) {
        if (size > capacity_ || !bytes_) {
            capacity_ = std::max<std::size_t>(size, 1);
            bytes_ = std::make_unique_for_overwrite<char[]>(capacity_);
        }
        return bytes_.get();
    }

  private:
    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0;
};

// Memory that the zip extractions on one thread reuse: the archive's bytes, an entry's
// compressed and inflated bytes, and the inflater.
struct InflateBuffers {
    InflateBuffers() = default;
    ~InflateBuffers() { libdeflate_free_decompressor(inflater); }
    InflateBuffers(const InflateBuffers&) = delete;
    InflateBuffers& operator=(const InflateBuffers&) = delete;

    libdeflate_decompressor* decompressor() {
        if (inflater == nullptr) {
            inflater = libdeflate_alloc_decompressor();
        }
        return inflater;
    }

    ByteBuffer archive;
    ByteBuffer compressed;
    ByteBuffer inflated;
    libdeflate_decompressor* inflater = nullptr;
    bool inUse = false;
};

// The thread's buffers while one extraction uses them; an extraction that starts meanwhile
// on the same thread (from a question's event loop) gets buffers of its own.
class BufferLease {
  public:
    BufferLease();
    ~BufferLease() { buffers_->inUse = false; }
    BufferLease(const BufferLease&) = delete;
    BufferLease& operator=(const BufferLease&) = delete;

    InflateBuffers& operator*() const { return *buffers_; }

  private:
    std::unique_ptr<InflateBuffers> own_;
    InflateBuffers* buffers_ = nullptr;
};

}  // namespace quillery
