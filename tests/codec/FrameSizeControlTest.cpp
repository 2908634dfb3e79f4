#include "codec/FrameSizeControl.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

class FrameSizeControlTest : public ::testing::Test {
 protected:
  // Fills the history with four frame sums through frames 0 to 3.
  void fill(std::int64_t sum) {
    for (int f = 0; f < 4; ++f) control.budget(sum, f, 800, 3000, 1600);
  }

  FrameSizeControl control;
};

TEST_F(FrameSizeControlTest, FirstFramesTakeTheTargetAndFillTheHistory) {
  EXPECT_EQ(control.budget(10, 1, 800, 3000, 1234), 1234);
  EXPECT_EQ(control.budget(20, 2, 800, 3000, 50), 50);  // not raised to the minimum
  EXPECT_EQ(control.budget(30, 3, 800, 3000, 1600), 1600);
  const std::array<std::int64_t, 4> expected = {30, 20, 10, 0};
  EXPECT_EQ(control.sizeHistory(), expected);
}

TEST_F(FrameSizeControlTest, BusyFrameGetsItsShareOfTheRecentErrors) {
  fill(100);
  // 200 / 400 x 1600 = 800.
  EXPECT_EQ(control.budget(200, 4, 100, 3000, 1600), 800);
  const std::array<std::int64_t, 4> expected = {200, 100, 100, 100};
  EXPECT_EQ(control.sizeHistory(), expected);
  // 1000 / 500 x 1600 = 3200, lowered to the maximum.
  EXPECT_EQ(control.budget(1000, 5, 100, 3000, 1600), 3000);
}

TEST_F(FrameSizeControlTest, BudgetIsRoundedToNearest) {
  fill(1);
  // History 1, 1, 1, 1: 1 / 4 x 1000 + 0.5 = 250.5 -> 250.
  EXPECT_EQ(control.budget(1, 4, 0, 3000, 1000), 250);
  // History 1, 1, 1, 1: 3 / 4 x 999 = 749.25 -> 749.
  EXPECT_EQ(control.budget(3, 5, 0, 3000, 999), 749);
  // History 3, 1, 1, 1: 5 / 6 x 1000 = 833.3 -> 833.
  EXPECT_EQ(control.budget(5, 6, 0, 3000, 1000), 833);
  // History 5, 3, 1, 1: 15 / 10 x 1001 = 1501.5 -> 1502.
  EXPECT_EQ(control.budget(15, 7, 0, 3000, 1001), 1502);
}

TEST_F(FrameSizeControlTest, MinimumWinsOverMaximum) {
  fill(100);
  EXPECT_EQ(control.budget(10000, 4, 700, 500, 1600), 700);
  EXPECT_EQ(control.budget(1, 5, 700, 500, 1600), 700);
}

TEST_F(FrameSizeControlTest, StillHistoryGivesTheMinimum) {
  fill(0);
  EXPECT_EQ(control.budget(5000, 4, 640, 3000, 1600), 640);
  EXPECT_EQ(control.sizeHistory()[0], 5000);
}

TEST_F(FrameSizeControlTest, UnlimitedMaximumGivesTheWholeBufferAndLeavesTheHistory) {
  fill(100);
  EXPECT_EQ(control.budget(999, 4, 800, 65520, 1600), 65520);
  EXPECT_EQ(control.budget(999, 9, 800, 70000, 1600), 65520);
  const std::array<std::int64_t, 4> expected = {100, 100, 100, 100};
  EXPECT_EQ(control.sizeHistory(), expected);
  // Early frames still follow the target.
  EXPECT_EQ(control.budget(999, 2, 800, 65520, 1600), 1600);
}

TEST_F(FrameSizeControlTest, BudgetNeverExceedsTheRecordBuffer) {
  // A long run of small frames lets the driver's surplus grow past any record.
  EXPECT_EQ(control.budget(100, 1, 800, 3000, 250000), 65520);
  fill(1);
  EXPECT_EQ(control.budget(1000000, 4, 70000, 60000, 1600), 65520);
}

TEST_F(FrameSizeControlTest, HugeRatioIsLimitedWithoutOverflow) {
  fill(1);
  EXPECT_EQ(control.budget(std::int64_t{1} << 60, 4, 100, 3000, 1600), 3000);
  EXPECT_EQ(control.budget(std::int64_t{1} << 60, 5, 100, 3000, -1600), 100);
}

}  // namespace
}  // namespace vantrel
