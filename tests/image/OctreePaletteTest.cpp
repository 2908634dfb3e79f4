#include "image/OctreePalette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "TestPictures.h"

namespace vantrel {
namespace {

using testing::rgb;

class OctreePaletteTest : public ::testing::Test {
 protected:
  void SetUp() override { quantiser.beginPaletteAnalysis(); }
  void TearDown() override { quantiser.endPaletteAnalysis(); }

  std::set<std::uint32_t> entries(int count) const {
    return std::set<std::uint32_t>(palette.begin() + 1, palette.begin() + 1 + count);
  }

  OctreePalette quantiser;
  std::vector<std::uint32_t> palette = std::vector<std::uint32_t>(256, 0x00ABCDEF);
};

TEST_F(OctreePaletteTest, FewColoursComeBackExactlyRoundedToEightsPlusFour) {
  quantiser.addColour(255, 255, 255, 10);
  quantiser.addColour(0, 0, 0, 1);
  quantiser.addColour(200, 100, 50, 7);
  quantiser.addColour(8, 16, 24, 2);
  quantiser.addColour(9, 17, 25, 0);  // ignored
  ASSERT_EQ(quantiser.buildPalette(palette.data()), 4);
  EXPECT_EQ(entries(4), (std::set<std::uint32_t>{rgb(252, 252, 252), rgb(4, 4, 4),
                                                 rgb(204, 100, 52), rgb(12, 20, 28)}));
  EXPECT_EQ(palette[0], 0x00ABCDEFu);  // entries outside 1 .. count untouched
  EXPECT_EQ(palette[5], 0x00ABCDEFu);
}

TEST_F(OctreePaletteTest, ColoursSharingTheTopFiveBitsShareALeafAndAverage) {
  quantiser.addColour(16, 0, 0, 1);
  quantiser.addColour(23, 0, 0, 3);  // mean (16 + 69) / 4 = 21
  ASSERT_EQ(quantiser.buildPalette(palette.data()), 1);
  EXPECT_EQ(palette[1], rgb(20, 4, 4));
}

TEST_F(OctreePaletteTest, ManyColoursReduceToAtMost254Leaves) {
  for (int r = 0; r < 16; ++r) {
    for (int g = 0; g < 16; ++g) {
      for (int b = 0; b < 16; ++b) quantiser.addColour(16 * r + 8, 16 * g + 8, 16 * b + 8, 1 + r);
    }
  }
  EXPECT_EQ(quantiser.leafCount(), 4096);
  const int written = quantiser.buildPalette(palette.data());
  EXPECT_LE(written, 254);
  EXPECT_GT(written, 0);
  EXPECT_EQ(quantiser.leafCount(), written);
  EXPECT_EQ(palette[0], 0x00ABCDEFu);
  EXPECT_EQ(palette[255], 0x00ABCDEFu);
  for (int i = 1; i <= written; ++i) {
    for (int shift : {0, 8, 16}) {
      const int channel = (palette[i] >> shift) & 0xff;
      EXPECT_GE(channel, 4);
      EXPECT_LE(channel, 252);
      EXPECT_EQ(channel % 8, 4);
    }
  }
}

TEST_F(OctreePaletteTest, ReductionMergesTheLeastPopulatedBranchesFirst) {
  // 128 pairs of colours; the two of a pair differ only in bit 3 of red, so each
  // pair shares a parent: 256 leaves, two merges to reach 254. The pairs at
  // (0, 0) and (80, 48) hold 2 pixels, every other pair 200: those two merge.
  for (int r = 0; r < 16; ++r) {
    for (int g = 0; g < 8; ++g) {
      const bool rare = (r == 0 && g == 0) || (r == 5 && g == 3);
      quantiser.addColour(16 * r, 16 * g, 0, rare ? 1 : 100);
      quantiser.addColour(16 * r + 8, 16 * g, 0, rare ? 1 : 100);
    }
  }
  ASSERT_EQ(quantiser.leafCount(), 256);
  ASSERT_EQ(quantiser.buildPalette(palette.data()), 254);
  const std::set<std::uint32_t> colours = entries(254);
  for (int r = 0; r < 16; ++r) {
    for (int g = 0; g < 8; ++g) {
      const bool rare = (r == 0 && g == 0) || (r == 5 && g == 3);
      // A merged pair's mean red is 16 r + 4, the same entry as its first colour.
      EXPECT_EQ(colours.count(rgb(16 * r + 4, 16 * g + 4, 4)), 1u) << r << "," << g;
      EXPECT_EQ(colours.count(rgb(16 * r + 12, 16 * g + 4, 4)), rare ? 0u : 1u) << r << "," << g;
    }
  }
}

TEST_F(OctreePaletteTest, CountsBeyond32BitsKeepTheirMean) {
  quantiser.addColour(200, 100, 50, 3'000'000'000LL);
  quantiser.addColour(200, 100, 50, 3'000'000'000LL);
  quantiser.addColour(0, 0, 0, 1);
  ASSERT_EQ(quantiser.buildPalette(palette.data()), 2);
  EXPECT_EQ(entries(2), (std::set<std::uint32_t>{rgb(204, 100, 52), rgb(4, 4, 4)}));
}

TEST_F(OctreePaletteTest, EmptyTreeWritesNothing) {
  EXPECT_EQ(quantiser.buildPalette(palette.data()), 0);
  EXPECT_EQ(palette[1], 0x00ABCDEFu);
}

TEST_F(OctreePaletteTest, EndedOrRestartedAnalysisForgetsEarlierColours) {
  quantiser.addColour(255, 0, 0, 5);
  quantiser.endPaletteAnalysis();
  quantiser.addColour(0, 255, 0, 5);  // no tree: ignored
  EXPECT_EQ(quantiser.buildPalette(palette.data()), 0);
  quantiser.beginPaletteAnalysis();
  quantiser.addColour(255, 0, 0, 5);
  quantiser.beginPaletteAnalysis();
  quantiser.addColour(0, 0, 255, 5);
  ASSERT_EQ(quantiser.buildPalette(palette.data()), 1);
  EXPECT_EQ(palette[1], rgb(4, 4, 252));
}

TEST_F(OctreePaletteTest, PaletteCanBeBuiltTwice) {
  quantiser.addColour(128, 128, 128, 5);
  ASSERT_EQ(quantiser.buildPalette(palette.data()), 1);
  ASSERT_EQ(quantiser.buildPalette(palette.data()), 1);
  EXPECT_EQ(palette[1], rgb(132, 132, 132));
}

}  // namespace
}  // namespace vantrel
