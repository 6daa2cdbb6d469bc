#include "archive/ZipLzma.h"

#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace quillery {

namespace {

constexpr std::size_t kInputBytes = 64 * 1024;
constexpr std::uint64_t kOutputBytes = 256 * 1024;
constexpr std::size_t kPropertyBytes = 5;

struct StreamEnder {
    void operator()(lzma_stream* stream) const { lzma_end(stream); }
};
struct OptionsFreer {
    void operator()(void* options) const { std::free(options); }
};

bool ReadFully(const CompressedSource& source, std::uint8_t* out, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::int64_t got = source(reinterpret_cast<char*>(out) + done, size - done);
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

Outcome DecodeZipLzma(const CompressedSource& source, std::uint64_t size, std::uint32_t crc,
                      const ByteConsumer& consume) {
    std::uint8_t header[4 + kPropertyBytes];
    if (!ReadFully(source, header, 4) || (header[2] | header[3] << 8) != kPropertyBytes ||
        !ReadFully(source, header + 4, kPropertyBytes)) {
        return Outcome::kCorrupt;
    }
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, header + 4, kPropertyBytes) != LZMA_OK) {
        return Outcome::kCorrupt;
    }
    const std::unique_ptr<void, OptionsFreer> ownOptions(filters[0].options);
    auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
    // No match reaches back further than the entry is long: a larger dictionary is not needed.
    options->dict_size = static_cast<std::uint32_t>(std::max<std::uint64_t>(
        LZMA_DICT_SIZE_MIN, std::min<std::uint64_t>(options->dict_size, size)));

    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK) {
        return Outcome::kCorrupt;
    }
    const std::unique_ptr<lzma_stream, StreamEnder> ending(&stream);
    std::vector<std::uint8_t> input(kInputBytes);
    std::vector<std::uint8_t> output(
        static_cast<std::size_t>(std::clamp<std::uint64_t>(size, 1, kOutputBytes)));
    std::uint64_t total = 0;
    std::uint32_t sum = 0;
    bool inputEnded = false;
    while (total < size) {
        if (stream.avail_in == 0 && !inputEnded) {
            const std::int64_t got = source(reinterpret_cast<char*>(input.data()), input.size());
            if (got < 0) {
                return Outcome::kCorrupt;
            }
            inputEnded = got == 0;
            stream.next_in = input.data();
            stream.avail_in = static_cast<std::size_t>(got);
        }
        // Never more than the entry holds: without an end marker its size ends the stream.
        stream.next_out = output.data();
        stream.avail_out =
            static_cast<std::size_t>(std::min<std::uint64_t>(output.size(), size - total));
        const std::size_t room = stream.avail_out;
        const lzma_ret status = lzma_code(&stream, inputEnded ? LZMA_FINISH : LZMA_RUN);
        const std::size_t produced = room - stream.avail_out;
        if (produced > 0) {
            total += produced;
            sum = lzma_crc32(output.data(), produced, sum);
            if (const Outcome outcome =
                    consume(reinterpret_cast<const char*>(output.data()), produced);
                outcome != Outcome::kOk) {
                return outcome;
            }
        }
        if (status == LZMA_STREAM_END) {
            break;
        }
        if (status != LZMA_OK) {
            return Outcome::kCorrupt;
        }
    }
    return total == size && sum == crc ? Outcome::kOk : Outcome::kCorrupt;
}

}  // namespace quillery
