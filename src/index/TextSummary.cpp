#include "index/TextSummary.h"

#include <QStringView>
#include <algorithm>
#include <array>
#include <bit>
#include <cassert>

#include "text/TextCase.h"

namespace quillery {

namespace {

constexpr std::size_t kMinBits = 64;
// The working set while a text arrives: about two bits a byte, at most 128 KiB, so that
// setting bits stays within the nearer caches.
constexpr std::size_t kMaxWorkingBits = std::size_t{1} << 20;
constexpr std::size_t kUnknownSizeBits = std::size_t{1} << 16;

std::size_t PopCount(const std::uint64_t* bits, std::size_t words) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < words; ++i) {
        count += static_cast<std::size_t>(std::popcount(bits[i]));
    }
    return count;
}

// Halves a bit set: bit i and bit i + n/2 become bit i, as the low bits of a hash choose.
void Fold(std::uint64_t* bits, std::size_t& words) {
    words /= 2;
    for (std::size_t i = 0; i < words; ++i) {
        bits[i] |= bits[words + i];
    }
}

std::size_t FoldedPopCount(const std::uint64_t* bits, std::size_t words) {
    const std::size_t half = words / 2;
    std::size_t count = 0;
    for (std::size_t i = 0; i < half; ++i) {
        count += static_cast<std::size_t>(std::popcount(bits[i] | bits[half + i]));
    }
    return count;
}

// Bytes with the ASCII letters upper-cased.
struct FoldTable {
    std::array<std::uint8_t, 256> map{};
    constexpr FoldTable() {
        for (int b = 0; b < 256; ++b) {
            map[static_cast<std::size_t>(b)] =
                static_cast<std::uint8_t>(b >= 'a' && b <= 'z' ? b - 32 : b);
        }
    }
};
constexpr FoldTable kFolded;

// Working sets are reused by the entries a thread summarises one after the other.
struct SharedWords {
    std::vector<std::uint64_t> words;
    bool inUse = false;
};
thread_local SharedWords shared;

}  // namespace

TextSummarizer::TextSummarizer(ByteCodePage page, std::uint64_t sizeHint) : page_(page) {
    std::size_t wanted = kUnknownSizeBits;
    if (sizeHint > 0) {
        wanted = std::bit_ceil(
            static_cast<std::size_t>(std::min<std::uint64_t>(sizeHint * 2, kMaxWorkingBits)));
    }
    wanted = std::clamp(wanted, kMinBits, kMaxWorkingBits);
    words_ = wanted / 64;
    if (!shared.inUse) {
        shared.inUse = sharedWords_ = true;
        if (shared.words.size() < words_) {
            shared.words.resize(words_);
        }
        bits_ = shared.words.data();
        std::fill_n(bits_, words_, 0);
    } else {
        own_.assign(words_, 0);
        bits_ = own_.data();
    }
    mask_ = static_cast<std::uint32_t>(wanted - 1);
    // Bits are set at hash & mask_: the set must be a power of two of bits.
    assert(std::has_single_bit(wanted) && words_ * 64 == wanted);
}

TextSummarizer::~TextSummarizer() {
    if (sharedWords_) {
        shared.inUse = false;
    }
}

void TextSummarizer::feed(const char* data, std::size_t size) {
    // The text exactly as the matcher reads it.
    front_.feed(data, size, [this](const char* text, std::size_t n) { feedText(text, n); });
}

void TextSummarizer::feedText(const char* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    content_.feed(p, size);
    const std::uint64_t windowBefore = byteWindow_;
    const std::uint64_t seenBefore = bytesSeen_;
    std::uint64_t window = byteWindow_;
    unsigned char high = 0;
    std::size_t i = 0;
    // The first two units start the window; trigrams count from the third on.
    for (; i < size && bytesSeen_ + i < 2; ++i) {
        const unsigned char b = p[i];
        high |= b;
        window = (window << 16) | kFolded.map[b];
    }
    std::uint64_t* const bits = bits_;
    const std::uint32_t mask = mask_;
    for (; i < size; ++i) {
        const unsigned char b = p[i];
        high |= b;
        window = ((window << 16) | kFolded.map[b]) & 0xFFFF'FFFF'FFFFULL;
        const std::uint32_t h = TrigramHash(window) & mask;
        bits[h >> 6] |= std::uint64_t{1} << (h & 63);
    }
    byteWindow_ = window;
    bytesSeen_ += size;
    const bool wasAscii = !nonAscii_;
    nonAscii_ = nonAscii_ || (high & 0x80) != 0;

    if (!utf8_.valid()) {
        return;
    }
    decoded_.clear();
    if (!utf8_.feed(data, size, nonAscii_ ? &decoded_ : nullptr) || !nonAscii_) {
        return;
    }
    if (wasAscii) {
        // The first piece that is not ASCII only: the decoded reading of what came before is
        // its upper-cased bytes, already in the set; it goes on from their last two units.
        wideWindow_ = rawWindow_ = windowBefore;
        wideSeen_ = std::min<std::uint64_t>(seenBefore, 2);
    }
    std::uint64_t wide = wideWindow_;
    std::uint64_t raw = rawWindow_;
    // Upper-cased in slices small enough to stay off the memory mapper; a slice never ends
    // between the two halves of a surrogate pair, which upper-case together.
    constexpr std::size_t kSlice = 8192;
    for (std::size_t start = 0; start < decoded_.size();) {
        std::size_t end = std::min(decoded_.size(), start + kSlice);
        if (end < decoded_.size() && QChar::isHighSurrogate(decoded_[end - 1])) {
            --end;
        }
        const QString upper =
            UpperSimple(QStringView(decoded_.data() + start, static_cast<qsizetype>(end - start)));
        const auto* units = reinterpret_cast<const char16_t*>(upper.utf16());
        for (std::size_t i = start; i < end; ++i) {
            wide = (wide << 16) | units[i - start];
            raw = (raw << 16) | decoded_[i];
            if (wideSeen_ < 2) {
                ++wideSeen_;
                continue;
            }
            // Three characters from ASCII bytes read as the bytes do: that trigram is in.
            if ((raw & 0xFF80'FF80'FF80ULL) != 0) {
                const std::uint32_t h = TrigramHash(wide & 0xFFFF'FFFF'FFFFULL);
                bits_[(h & mask_) >> 6] |= std::uint64_t{1} << (h & 63);
            }
        }
        start = end;
    }
    rawWindow_ = raw;
    wideWindow_ = wide;
}

EntrySummary TextSummarizer::finish(bool complete) {
    front_.finish([this](const char* text, std::size_t n) { feedText(text, n); });
    EntrySummary summary;
    content_.finish();
    const bool utf8 = utf8_.finish();
    summary.flags = (complete ? EntrySummary::kComplete : 0) |
                    (content_.nonBlank() ? EntrySummary::kNonEmpty : 0) |
                    (utf8 ? EntrySummary::kUtf8 : 0) |
                    (page_ == ByteCodePage::Cp437 ? EntrySummary::kCp437 : 0);
    if (!complete) {
        return summary;  // never read at query time
    }
    // Fold while a third of the bits or fewer are set, then until the set takes at most
    // a fifth of the text's size.
    const std::size_t sizeLimitBits = std::max<std::size_t>(
        kMinBits, static_cast<std::size_t>(std::min<std::uint64_t>(bytesSeen_ * 8 / 5, SIZE_MAX)));
    while (words_ * 64 > kMinBits) {
        const std::size_t halfBits = words_ * 32;
        if (halfBits * 2 <= sizeLimitBits && FoldedPopCount(bits_, words_) * 3 > halfBits) {
            break;
        }
        Fold(bits_, words_);
    }
    assert(std::has_single_bit(words_) && words_ * 64 >= kMinBits);
    if (PopCount(bits_, words_) * 5 <= words_ * 64 * 3) {
        summary.flags |= EntrySummary::kHasFilter;
        summary.bits.assign(bits_, bits_ + words_);
    }
    return summary;
}

}  // namespace quillery
