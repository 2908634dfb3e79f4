#include "engine/RateControl.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(RateControlTest, FirstFrameNeverEntersTheCarry) {
  RateControl rate(1600);
  EXPECT_EQ(rate.nextTargetSize(3000), 1600);
  rate.frameWritten(0, 26378);  // a key frame with the palette
  EXPECT_EQ(rate.carry(), 0);
  EXPECT_EQ(rate.nextTargetSize(3000), 1600);
}

TEST(RateControlTest, HalfTheSurplusIsOfferedToTheNextFrame) {
  RateControl rate(1600);
  rate.nextTargetSize(3000);
  rate.frameWritten(0, 9000);
  EXPECT_EQ(rate.nextTargetSize(3000), 1600);
  rate.frameWritten(1, 1000);
  EXPECT_EQ(rate.carry(), 600);
  EXPECT_EQ(rate.nextTargetSize(3000), 1900);
  rate.frameWritten(2, 2200);
  EXPECT_EQ(rate.carry(), 0);
  EXPECT_EQ(rate.nextTargetSize(3000), 1600);
}

TEST(RateControlTest, NegativeCarryHalvesTowardZero) {
  RateControl rate(1600);
  rate.frameWritten(0, 0);
  rate.frameWritten(1, 1601);  // carry -1
  EXPECT_EQ(rate.nextTargetSize(3000), 1600);  // -1 / 2 truncates to 0
  rate.frameWritten(2, 1602);  // carry -3
  EXPECT_EQ(rate.nextTargetSize(3000), 1599);
}

TEST(RateControlTest, MaximumSizeZeroTurnsTheTargetOff) {
  RateControl rate(1600);
  rate.frameWritten(0, 100);
  rate.frameWritten(1, 100);
  EXPECT_EQ(rate.nextTargetSize(0), 0);
  rate.frameWritten(2, 500);
  EXPECT_EQ(rate.nextTargetSize(0), 0);
  EXPECT_EQ(rate.carry(), 0);
}

}  // namespace
}  // namespace vantrel
