#include "audio/G711Expansion.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

class G711ExpansionTest : public ::testing::Test {};

// Known values of the ITU-T G.711 reference expansion.
TEST_F(G711ExpansionTest, ALawKnownCodesExpandToTheReferenceValues) {
  EXPECT_EQ(expandALaw(0xD5), 8);       // smallest positive step
  EXPECT_EQ(expandALaw(0x55), -8);      // smallest negative step
  EXPECT_EQ(expandALaw(0xAA), 32256);   // largest positive
  EXPECT_EQ(expandALaw(0x2A), -32256);  // largest negative
  EXPECT_EQ(expandALaw(0xC5), 264);     // segment 1 starts at 0x108 + 0
}

TEST_F(G711ExpansionTest, MuLawKnownCodesExpandToTheReferenceValues) {
  EXPECT_EQ(expandMuLaw(0xFF), 0);       // positive zero
  EXPECT_EQ(expandMuLaw(0x7F), 0);       // negative zero
  EXPECT_EQ(expandMuLaw(0x80), 32124);   // largest positive
  EXPECT_EQ(expandMuLaw(0x00), -32124);  // largest negative
  EXPECT_EQ(expandMuLaw(0xFE), 8);       // first step above zero
}

TEST_F(G711ExpansionTest, TheSignBitMirrorsEveryCode) {
  for (int code = 0; code < 256; ++code) {
    const auto c = static_cast<std::uint8_t>(code);
    const auto mirrored = static_cast<std::uint8_t>(code ^ 0x80);
    EXPECT_EQ(expandALaw(c), -expandALaw(mirrored)) << code;
    EXPECT_EQ(expandMuLaw(c), -expandMuLaw(mirrored)) << code;
  }
}

TEST_F(G711ExpansionTest, MagnitudeGrowsWithTheCodeWithinEachSign) {
  // Positive A-law codes in value order are 0x80..0xFF with the even bits inverted;
  // positive mu-law codes run from 0xFF (zero) down to 0x80 (largest).
  int previousA = -1;
  int previousMu = -1;
  for (int magnitude = 0; magnitude < 128; ++magnitude) {
    const int a = expandALaw(static_cast<std::uint8_t>((0x80 | magnitude) ^ 0x55));
    const int mu = expandMuLaw(static_cast<std::uint8_t>(0xFF - magnitude));
    EXPECT_GT(a, previousA) << magnitude;
    EXPECT_GT(mu, previousMu) << magnitude;
    previousA = a;
    previousMu = mu;
  }
}

}  // namespace
}  // namespace vantrel
