#include <gtest/gtest.h>

#include <limits>

#include "ui/ResizeMath.h"

namespace quillery::test {
namespace {

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

TEST(ResizeMathTest, PercentIsWholeAndTruncated) {
    EXPECT_EQ(Percent(400, 400), 100);
    EXPECT_EQ(Percent(603, 400), 150);    // 150.75
    EXPECT_EQ(Percent(1509, 1000), 150);  // 150.9
    EXPECT_EQ(Percent(399, 400), 99);
    EXPECT_EQ(Percent(3, 400), 0);
    EXPECT_EQ(Percent(0, 400), 0);
}

TEST(ResizeMathTest, PercentOfANothingReferenceKeepsTheLayout) {
    EXPECT_EQ(Percent(0, 0), 100);
    EXPECT_EQ(Percent(500, 0), 100);
}

TEST(ResizeMathTest, ScaledTruncatesTowardZero) {
    EXPECT_EQ(Scaled(81, 150), 121);  // 121.5
    EXPECT_EQ(Scaled(81, 100), 81);
    EXPECT_EQ(Scaled(81, 0), 0);
    EXPECT_EQ(Scaled(-15, 150), -22);  // -22.5
    EXPECT_EQ(Scaled(-15, 33), -4);    // -4.95
}

TEST(ResizeMathTest, ParkedLeftEdgesAreStoredAtTheirRealPlaceAndParkedAgain) {
    EXPECT_EQ(NormalizeLeft(20), 20);
    EXPECT_EQ(NormalizeLeft(0), 0);
    EXPECT_EQ(NormalizeLeft(20 - kParkedLeftOffset), 20);
    EXPECT_EQ(NormalizeLeft(-1), kParkedLeftOffset - 1);

    EXPECT_EQ(ScaledLeft(20, 150, false), 30);
    EXPECT_EQ(ScaledLeft(20, 150, true), 30 - kParkedLeftOffset);
    EXPECT_EQ(ScaledLeft(21, 50, true), 10 - kParkedLeftOffset);
    EXPECT_EQ(ScaledLeft(20, 0, true), -kParkedLeftOffset);
}

TEST(ResizeMathTest, ExtremeSizesSaturateInsteadOfOverflowing) {
    EXPECT_EQ(Percent(kMax, 1), kMax);
    EXPECT_EQ(Percent(kMax, kMax), 100);
    EXPECT_EQ(Scaled(kMax, 200), kMax);
    EXPECT_EQ(Scaled(kMin, 200), kMin);
    EXPECT_EQ(Scaled(kParkedLeftOffset, kMax), kMax);
    EXPECT_EQ(ScaledLeft(kMin, 100, true), kMin);
    EXPECT_EQ(NormalizeLeft(kMin), kMin + kParkedLeftOffset);
}

}  // namespace
}  // namespace quillery::test
