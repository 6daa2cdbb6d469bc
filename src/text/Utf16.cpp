#include "text/Utf16.h"

namespace quillery {

namespace {

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

bool IsHigh(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLow(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::optional<Utf16Order> Utf16MarkOf(std::string_view head) {
    if (head.size() < 2) {
        return std::nullopt;
    }
    const auto b0 = static_cast<unsigned char>(head[0]);
    const auto b1 = static_cast<unsigned char>(head[1]);
    if (b0 == 0xFF && b1 == 0xFE) {
        return Utf16Order::Little;
    }
    if (b0 == 0xFE && b1 == 0xFF) {
        return Utf16Order::Big;
    }
    return std::nullopt;
}

void Utf16ToUtf8::unit(char16_t u, std::string& out) {
    if (high_ != 0) {
        const char16_t high = high_;
        high_ = 0;
        if (IsLow(u)) {
            AppendUtf8(0x10000 + ((char32_t{high} - 0xD800) << 10) + (u - 0xDC00), out);
            return;
        }
        AppendUtf8(kReplacement, out);
    }
    if (IsHigh(u)) {
        high_ = u;
    } else if (IsLow(u)) {
        AppendUtf8(kReplacement, out);
    } else {
        AppendUtf8(u, out);
    }
}

void Utf16ToUtf8::feed(const char* data, std::size_t size, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    std::size_t i = 0;
    if (oddByte_ >= 0 && size > 0) {
        const auto first = static_cast<unsigned>(oddByte_);
        const unsigned second = p[i++];
        oddByte_ = -1;
        unit(static_cast<char16_t>(big_ ? (first << 8) | second : (second << 8) | first), out);
    }
    for (; i + 1 < size; i += 2) {
        const unsigned a = p[i], b = p[i + 1];
        unit(static_cast<char16_t>(big_ ? (a << 8) | b : (b << 8) | a), out);
    }
    if (i < size) {
        oddByte_ = p[i];
    }
}

void Utf16ToUtf8::finish(std::string& out) {
    if (high_ != 0) {
        high_ = 0;
        AppendUtf8(kReplacement, out);
    }
    if (oddByte_ >= 0) {
        oddByte_ = -1;
        AppendUtf8(kReplacement, out);
    }
}

}  // namespace quillery
