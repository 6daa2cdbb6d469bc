#include <gtest/gtest.h>

#include <limits>

#include "ui/ResizeMath.h"

namespace quillery::test {
namespace {

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();
constexpr int kPark = kParkedLeftOffset;

TEST(ResizeMathTest, WholePercentagesTruncatedParkedEdgesKeptAndNoOverflow) {
    const std::vector<std::tuple<const char*, int, int>> cases = {
        {"Percent(603, 400)", Percent(603, 400), 150},  // 150.75
        {"Percent(3, 400)", Percent(3, 400), 0},
        {"Percent(500, 0)", Percent(500, 0), 100},  // a nothing reference keeps the layout
        {"Percent(kMax, 1)", Percent(kMax, 1), kMax},
        {"Percent(kMax, kMax)", Percent(kMax, kMax), 100},
        {"Scaled(-15, 150)", Scaled(-15, 150), -22},
        {"Scaled(-15, 33)", Scaled(-15, 33), -4},
        {"Scaled(kMax, 200)", Scaled(kMax, 200), kMax},
        {"Scaled(kMin, 200)", Scaled(kMin, 200), kMin},
        {"Scaled(kPark, kMax)", Scaled(kPark, kMax), kMax},
        {"NormalizeLeft(20 - kPark)", NormalizeLeft(20 - kPark), 20},
        {"NormalizeLeft(-1)", NormalizeLeft(-1), kPark - 1},
        {"NormalizeLeft(kMin)", NormalizeLeft(kMin), kMin + kPark},
        {"ScaledLeft(21, 50, true)", ScaledLeft(21, 50, true), 10 - kPark},
        {"ScaledLeft(20, 0, true)", ScaledLeft(20, 0, true), -kPark},
        {"ScaledLeft(kMin, 100, true)", ScaledLeft(kMin, 100, true), kMin},
    };
    for (const auto& [call, result, expected] : cases) {
        EXPECT_EQ(result, expected) << call;
    }
}

}  // namespace
}  // namespace quillery::test
