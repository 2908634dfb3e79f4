#include "audio/SampleQuantiser.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

class SampleQuantiserTest : public ::testing::Test {
 protected:
  static ExtendedFloat x(double value) { return ExtendedFloat::fromDouble(value); }
};

TEST_F(SampleQuantiserTest, UnsignedBytesCentreOnOneHundredTwentyEight) {
  EXPECT_EQ(quantiseUnsigned8(x(0.0)), 128);
  EXPECT_EQ(quantiseUnsigned8(x(1.0)), 255);  // 255.5 rounded down
  EXPECT_EQ(quantiseUnsigned8(x(-1.0)), 0);   // 0.5 rounded down
  EXPECT_EQ(quantiseUnsigned8(x(0.5)), 191);  // 191.75
  EXPECT_EQ(quantiseUnsigned8(x(-0.5)), 64);  // 64.25
  EXPECT_EQ(quantiseUnsigned8(x(-1.0 / 255.0)), 127);
}

TEST_F(SampleQuantiserTest, UnsignedBytesClipBeyondFullScale) {
  EXPECT_EQ(quantiseUnsigned8(x(1.0000001)), 255);
  EXPECT_EQ(quantiseUnsigned8(x(2.7)), 255);
  EXPECT_EQ(quantiseUnsigned8(x(-1.0000001)), 0);
  EXPECT_EQ(quantiseUnsigned8(x(-40.0)), 0);
}

TEST_F(SampleQuantiserTest, SignedSamplesRoundToNearestWithHalvesUp) {
  EXPECT_EQ(quantiseSigned16(x(0.0)), 0);
  EXPECT_EQ(quantiseSigned16(x(1.0)), 32767);
  EXPECT_EQ(quantiseSigned16(x(-1.0)), -32767);  // -32766.5 rounds up
  EXPECT_EQ(quantiseSigned16(x(0.50001 / 32767.0)), 1);
  EXPECT_EQ(quantiseSigned16(x(-0.49999 / 32767.0)), 0);
}

TEST_F(SampleQuantiserTest, SignedSamplesClipBeyondFullScale) {
  EXPECT_EQ(quantiseSigned16(x(1.5)), 32767);
  EXPECT_EQ(quantiseSigned16(x(-1.0000001)), -32768);
  EXPECT_EQ(quantiseSigned16(x(-3.0)), -32768);
}

}  // namespace
}  // namespace vantrel
