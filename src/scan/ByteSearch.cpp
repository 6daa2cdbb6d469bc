#include "scan/ByteSearch.h"

#include <array>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillery {

namespace {

bool IsUpperLetter(unsigned char b) {
    return b >= 'A' && b <= 'Z';
}

unsigned char FoldByte(unsigned char b) {
    return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

#if defined(__SSE2__)
// The positions in a block of sixteen bytes that hold b (with a letter, in either case).
struct ByteProbe {
    explicit ByteProbe(unsigned char b)
        : caseBit(_mm_set1_epi8(static_cast<char>(IsUpperLetter(b) ? 0x20 : 0))),
          wanted(_mm_set1_epi8(static_cast<char>(IsUpperLetter(b) ? (b | 0x20) : b))) {}
    __m128i mask(const char* at) const {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return _mm_cmpeq_epi8(_mm_or_si128(block, caseBit), wanted);
    }
    __m128i caseBit;
    __m128i wanted;
};
#endif

}  // namespace

namespace {

struct CommonnessTable {
    std::array<signed char, 128> rank{};
    constexpr CommonnessTable() {
        constexpr const char* kLettersByUse = "ETAOINSHRDLCUMWFGYPBVKJXQZ";
        for (int c = 0; c < 128; ++c) {
            rank[static_cast<std::size_t>(c)] = static_cast<signed char>(c < 0x20 ? 20 : 30);
        }
        for (int c = '0'; c <= '9'; ++c) {
            rank[static_cast<std::size_t>(c)] = 45;
        }
        for (const unsigned char c : {'\r', '\n', '.', ','}) {
            rank[c] = 60;
        }
        for (int i = 0; i < 26; ++i) {
            rank[static_cast<unsigned char>(kLettersByUse[i])] =
                static_cast<signed char>(95 - i * 7 / 2);
        }
        rank[' '] = 100;
    }
};
constexpr CommonnessTable kCommonness;

}  // namespace

int Commonness(char32_t c) {
    return c < 0x80 ? kCommonness.rank[c] : 25;
}

void FoldAscii(const char* in, std::size_t n, char* out) {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Bytes 'a'..'z' shifted to the bottom of the signed range compare below 26 - 128.
    const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - 'a'));
    const __m128i limit = _mm_set1_epi8(static_cast<char>(-128 + 26));
    const __m128i bit = _mm_set1_epi8(0x20);
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i lower = _mm_cmplt_epi8(_mm_add_epi8(block, shift), limit);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_sub_epi8(block, _mm_and_si128(lower, bit)));
    }
#endif
    for (; i < n; ++i) {
        out[i] = static_cast<char>(FoldByte(static_cast<unsigned char>(in[i])));
    }
}

FoldedTerm::FoldedTerm(std::string upperTerm) : term_(std::move(upperTerm)) {
    const auto commonness = [this](std::size_t i) {
        return Commonness(static_cast<unsigned char>(term_[i]));
    };
    for (std::size_t i = 1; i < term_.size(); ++i) {
        if (commonness(i) < commonness(first_)) {
            first_ = i;
        }
    }
    second_ = first_;
    for (std::size_t i = 0; i < term_.size(); ++i) {
        if (i != first_ && (second_ == first_ || commonness(i) < commonness(second_))) {
            second_ = i;
        }
    }
}

bool FoldedTerm::matchesAt(const char* at) const {
    for (std::size_t i = 0; i < term_.size(); ++i) {
        if (FoldByte(static_cast<unsigned char>(at[i])) != static_cast<unsigned char>(term_[i])) {
            return false;
        }
    }
    return true;
}

bool FoldedTerm::foundIn(const char* data, std::size_t size) const {
    const std::size_t m = term_.size();
    if (m == 0 || size < m) {
        return false;
    }
    const std::size_t last = size - m;  // the last position a match can start at
    std::size_t i = 0;
#if defined(__SSE2__)
    const ByteProbe one(static_cast<unsigned char>(term_[first_]));
    const ByteProbe two(static_cast<unsigned char>(term_[second_]));
    // A block covers start positions i .. i + 15; its loads stay below data + size.
    for (; i + 15 <= last; i += 16) {
        const __m128i both =
            _mm_and_si128(one.mask(data + i + first_), two.mask(data + i + second_));
        auto bits = static_cast<unsigned>(_mm_movemask_epi8(both));
        while (bits != 0) {
            const auto bit = static_cast<std::size_t>(__builtin_ctz(bits));
            if (matchesAt(data + i + bit)) {
                return true;
            }
            bits &= bits - 1;
        }
    }
#endif
    for (; i <= last; ++i) {
        if (matchesAt(data + i)) {
            return true;
        }
    }
    return false;
}

}  // namespace quillery
