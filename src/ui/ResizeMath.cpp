#include "ui/ResizeMath.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace quillery {

namespace {

int Saturate(std::int64_t value) {
    constexpr std::int64_t lowest = std::numeric_limits<int>::min();
    constexpr std::int64_t highest = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(value, lowest, highest));
}

}  // namespace

int Percent(int current, int reference) {
    if (reference == 0) {
        return 100;
    }
    return Saturate(std::int64_t{current} * 100 / reference);
}

int Scaled(int value, int percent) {
    return Saturate(std::int64_t{value} * percent / 100);
}

int ScaledLeft(int storedLeft, int percent, bool currentlyNegative) {
    const std::int64_t left = Scaled(storedLeft, percent);
    return Saturate(currentlyNegative ? left - kParkedLeftOffset : left);
}

int NormalizeLeft(int value) {
    return value < 0 ? Saturate(std::int64_t{value} + kParkedLeftOffset) : value;
}

}  // namespace quillery
