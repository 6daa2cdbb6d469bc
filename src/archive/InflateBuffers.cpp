#include "archive/InflateBuffers.h"

namespace quillery {

BufferLease::BufferLease() {
    thread_local InflateBuffers shared;
    if (shared.inUse) {
        own_ = std::make_unique<InflateBuffers>();
        buffers_ = own_.get();
    } else {
        buffers_ = &shared;
    }
    buffers_->inUse = true;
}

}  // namespace quillery
