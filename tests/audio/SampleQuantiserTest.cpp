#include "audio/SampleQuantiser.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

class SampleQuantiserTest : public ::testing::Test {};

TEST_F(SampleQuantiserTest, UnsignedBytesCentreOnOneHundredTwentyEight) {
  EXPECT_EQ(quantiseUnsigned8(0.0L), 128);
  EXPECT_EQ(quantiseUnsigned8(1.0L), 255);   // 255.5 rounded down
  EXPECT_EQ(quantiseUnsigned8(-1.0L), 0);    // 0.5 rounded down
  EXPECT_EQ(quantiseUnsigned8(0.5L), 191);   // 191.75
  EXPECT_EQ(quantiseUnsigned8(-0.5L), 64);   // 64.25
  EXPECT_EQ(quantiseUnsigned8(-1.0L / 255.0L), 127);
}

TEST_F(SampleQuantiserTest, UnsignedBytesClipBeyondFullScale) {
  EXPECT_EQ(quantiseUnsigned8(1.0000001L), 255);
  EXPECT_EQ(quantiseUnsigned8(2.7L), 255);
  EXPECT_EQ(quantiseUnsigned8(-1.0000001L), 0);
  EXPECT_EQ(quantiseUnsigned8(-40.0L), 0);
}

TEST_F(SampleQuantiserTest, SignedSamplesRoundToNearestWithHalvesUp) {
  EXPECT_EQ(quantiseSigned16(0.0L), 0);
  EXPECT_EQ(quantiseSigned16(1.0L), 32767);
  EXPECT_EQ(quantiseSigned16(-1.0L), -32767);  // -32766.5 rounds up
  EXPECT_EQ(quantiseSigned16(0.5L / 32767.0L), 1);
  EXPECT_EQ(quantiseSigned16(-0.5L / 32767.0L), 0);
}

TEST_F(SampleQuantiserTest, SignedSamplesClipBeyondFullScale) {
  EXPECT_EQ(quantiseSigned16(1.5L), 32767);
  EXPECT_EQ(quantiseSigned16(-1.0000001L), -32768);
  EXPECT_EQ(quantiseSigned16(-3.0L), -32768);
}

}  // namespace
}  // namespace vantrel
