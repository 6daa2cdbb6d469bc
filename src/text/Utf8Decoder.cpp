#include "text/Utf8Decoder.h"

#include <cstring>

namespace quillery {

void Utf8Decoder::append(char32_t cp, std::u16string* out) {
    const bool first = !started_;
    started_ = true;
    if (out == nullptr || (first && cp == 0xFEFF)) {
        return;
    }
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out->push_back(static_cast<char16_t>(cp));
    }
}

bool Utf8Decoder::feed(const char* data, std::size_t size, std::u16string* out) {
    if (invalid_) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto* end = p + size;
    while (p < end) {
        if (need_ == 0) {
            if (out == nullptr && started_) {
                // Checking only: skip ASCII eight bytes at a time.
                while (end - p >= 8) {
                    std::uint64_t word;
                    std::memcpy(&word, p, 8);
                    if (word & 0x8080808080808080ULL) {
                        break;
                    }
                    p += 8;
                }
                if (p == end) {
                    break;
                }
            }
            const unsigned char b = *p++;
            if (b < 0x80) {
                append(b, out);
            } else if (b >= 0xC2 && b <= 0xDF) {
                cp_ = b & 0x1F;
                need_ = 1;
                min_ = 0x80;
            } else if (b >= 0xE0 && b <= 0xEF) {
                cp_ = b & 0x0F;
                need_ = 2;
                min_ = 0x800;
            } else if (b >= 0xF0 && b <= 0xF4) {
                cp_ = b & 0x07;
                need_ = 3;
                min_ = 0x10000;
            } else {
                invalid_ = true;
                return false;
            }
            continue;
        }
        const unsigned char b = *p++;
        if ((b & 0xC0) != 0x80) {
            invalid_ = true;
            return false;
        }
        cp_ = (cp_ << 6) | (b & 0x3F);
        if (--need_ == 0) {
            if (cp_ < min_ || cp_ > 0x10FFFF || (cp_ >= 0xD800 && cp_ <= 0xDFFF)) {
                invalid_ = true;
                return false;
            }
            append(cp_, out);
        }
    }
    return true;
}

bool Utf8Decoder::finish() {
    if (need_ != 0) {
        invalid_ = true;
    }
    return !invalid_;
}

}  // namespace quillery
