#include "codec/KeyFrameEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "codec/CodecPalette.h"
#include "codec/CodecTestData.h"
#include "codec/ImpactDistance.h"
#include "image/ColourReduction.h"

namespace vantrel {
namespace {

class KeyFrameEncoderTest : public ::testing::Test {
 protected:
  KeyFrameEncoderTest() : out(65536, 0xEE) {
    palette = testing::cubePalette();
    colours.build(palette.data(), true);
  }

  std::array<std::uint32_t, 256> palette{};
  CodecPalette colours;
  std::vector<std::uint8_t> out;
};

// Cube entry for channel steps r, g, b (each 0 to 5, 51 per step).
int cube(int r, int g, int b) { return 1 + r * 36 + g * 6 + b; }

TEST_F(KeyFrameEncoderTest, FirstKeyFrameOf160ColumnsCarriesPaletteAndEverySample) {
  const std::vector<std::uint8_t> frame = testing::noiseFrame(160, 8, 1);
  std::vector<std::uint8_t> recon(frame.size(), 0);
  const KeyFrameEncoder encoder(colours);
  const int length =
      encoder.encode(out.data(), frame.data(), recon.data(), 160, 8, true, false);

  ASSERT_EQ(length, 16 + 762 + 1280);
  const std::vector<std::uint8_t> header(out.begin(), out.begin() + 16);
  const std::vector<std::uint8_t> expected = {
      0x00, 0x01,              // frame kind 1
      0x09,                    // (2058 + 255) / 256 = 9 units
      0x00,                    // padding flag off
      0x00, 0x01,              // first palette index 1
      0x00, 0xFE,              // 254 entries
      0x00, 0x00, 0x00, 0x10,  // palette at 16
      0x00, 0x00, 0x03, 0x0A,  // pixels at 778
  };
  EXPECT_EQ(header, expected);
  // Entry 1 is black, entry 2 (0, 0, 51), entry 254 the last gray.
  EXPECT_EQ(out[16], 0);
  EXPECT_EQ(out[19 + 2], 51);
  const std::uint32_t last = palette[254];
  EXPECT_EQ(out[16 + 253 * 3], (last >> 16) & 0xFF);
  EXPECT_EQ(out[16 + 253 * 3 + 2], last & 0xFF);
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), out.begin() + 778));
  EXPECT_EQ(recon, frame);
  EXPECT_EQ(out[length], 0xEE);  // nothing written past the record
}

TEST_F(KeyFrameEncoderTest, LaterKeyFrameCarriesNoPalette) {
  const std::vector<std::uint8_t> frame = testing::noiseFrame(160, 16, 2);
  std::vector<std::uint8_t> recon(frame.size(), 0);
  const int length = KeyFrameEncoder(colours).encode(out.data(), frame.data(),
                                                     recon.data(), 160, 16, false, false);
  ASSERT_EQ(length, 16 + 2560);
  EXPECT_EQ(out[2], 11);                              // (2576 + 255) / 256
  EXPECT_EQ(out[8] | out[9] | out[10] | out[11], 0);  // palette offset 0
  EXPECT_EQ(out[14], 0x00);                           // pixel offset 16
  EXPECT_EQ(out[15], 0x10);
  EXPECT_EQ(out[16], frame[0]);
  EXPECT_EQ(recon, frame);
}

TEST_F(KeyFrameEncoderTest, PaddingRequestSetsTheFlagAndKeepsEvenRecordsAsTheyAre) {
  // Frame sides are multiples of 8, so key frames always come out even.
  const std::vector<std::uint8_t> frame = testing::noiseFrame(16, 8, 3);
  std::vector<std::uint8_t> recon(frame.size(), 0);
  const int length = KeyFrameEncoder(colours).encode(out.data(), frame.data(),
                                                     recon.data(), 16, 8, false, true);
  EXPECT_EQ(length, 16 + 32);
  EXPECT_EQ(out[3], 1);  // padding flag
  EXPECT_EQ(out[length], 0xEE);
}

TEST_F(KeyFrameEncoderTest, OtherWidthsSendOneAveragedIndexPer2x2Group) {
  // Group 0: two pure reds over two pure blues; group 1: one colour throughout.
  std::vector<std::uint8_t> frame(16 * 8, static_cast<std::uint8_t>(cube(0, 5, 0)));
  const auto red = static_cast<std::uint8_t>(cube(5, 0, 0));
  const auto blue = static_cast<std::uint8_t>(cube(0, 0, 5));
  frame[0] = red;
  frame[1] = red;
  frame[16] = blue;
  frame[17] = blue;
  std::vector<std::uint8_t> recon(frame.size(), 0);
  const int length = KeyFrameEncoder(colours).encode(out.data(), frame.data(),
                                                     recon.data(), 16, 8, false, false);
  ASSERT_EQ(length, 16 + 8 * 4);
  // Sums red 510, green 0, blue 510: fine cells 15, 0, 16 (blue rounded up),
  // centre (124, 4, 132), nearest cube colour (102, 0, 153).
  EXPECT_EQ(out[16], cube(2, 0, 3));
  EXPECT_EQ(out[17], cube(0, 5, 0));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(recon[i < 2 ? i : 14 + i], cube(2, 0, 3)) << i;
  EXPECT_EQ(recon[2], cube(0, 5, 0));
}

TEST_F(KeyFrameEncoderTest, GroupAveragesRoundOnlyBlueOnBothGrids) {
  for (bool fine : {true, false}) {
    CodecPalette grid;
    grid.build(palette.data(), fine);
    for (int trial = 0; trial < 100; ++trial) {
      const std::vector<std::uint8_t> frame = testing::noiseFrame(8, 8, 100 + trial);
      std::vector<std::uint8_t> recon(frame.size(), 0);
      KeyFrameEncoder(grid).encode(out.data(), frame.data(), recon.data(), 8, 8, false,
                                   false);
      for (int g = 0; g < 16; ++g) {
        const int x = (g % 4) * 2;
        const int y = (g / 4) * 2;
        int sum[3] = {0, 0, 0};
        for (int k = 0; k < 4; ++k) {
          const std::uint32_t c = palette[frame[(y + k / 2) * 8 + x + k % 2]];
          sum[0] += (c >> 16) & 0xFF;
          sum[1] += (c >> 8) & 0xFF;
          sum[2] += c & 0xFF;
        }
        // Fine: sums >> 5 (blue + 2 first); coarse: sums >> 6 (blue + 2 first).
        const int shift = fine ? 5 : 6;
        const int bits = fine ? 5 : 4;
        const int cell = (sum[0] >> shift) << (2 * bits) | (sum[1] >> shift) << bits |
                         ((sum[2] + 2) >> shift);
        ASSERT_EQ(out[16 + g], grid.colourMap()[cell])
            << fine << " " << trial << " " << g;
      }
    }
  }
}

TEST_F(KeyFrameEncoderTest, BestEncodeGivesEachGroupTheStoredSampleClosestToItsFour) {
  // Truecolor at 16 x 8 (8 luma rows, then 4 rows of 8 U and 8 V samples):
  // each group's sample is one its rows may hold, with the least summed impact
  // of them all, and fills the group in the picture.
  std::array<std::uint32_t, 256> words{};
  truecolorPalette(words.data(), kTruecolorDepth);
  CodecPalette truecolor;
  truecolor.build(words.data(), true);
  ImpactDistance impact;
  impact.build(truecolor.words(), kTruecolorDepth, 16, 12);
  std::vector<int> stored[3];  // lumas, U and V samples
  for (int s = 16; s <= 113; ++s) {
    if (s % 15 != 0) stored[0].push_back(s);
  }
  for (int step = 0; step < 15; ++step) {
    stored[1].push_back(step);
    stored[2].push_back(15 * step);
  }
  const auto kind = [](int i) { return i < 128 ? 0 : i % 16 < 8 ? 1 : 2; };
  std::vector<std::uint8_t> frame = testing::noiseFrame(16, 12, 7);
  for (int i = 0; i < 16 * 12; ++i) {
    const std::vector<int>& from = stored[kind(i)];
    frame[i] = static_cast<std::uint8_t>(from[frame[i] % from.size()]);
  }
  std::vector<std::uint8_t> recon(frame.size(), 0);
  KeyFrameEncoder(truecolor, &impact)
      .encode(out.data(), frame.data(), recon.data(), 16, 12, false, false);
  for (int g = 0; g < 48; ++g) {
    const int top = g / 8 * 32 + g % 8 * 2;
    const int group[4] = {top, top + 1, top + 16, top + 17};
    const auto error = [&](int s) {
      std::int64_t sum = 0;
      for (const int i : group) sum += impact.tableAt(top)[s * 256 + frame[i]];
      return sum;
    };
    const std::vector<int>& from = stored[kind(top)];
    ASSERT_NE(std::find(from.begin(), from.end(), out[16 + g]), from.end()) << g;
    for (const int other : from) ASSERT_LE(error(out[16 + g]), error(other)) << g;
    for (const int i : group) EXPECT_EQ(recon[i], out[16 + g]) << g;
  }
}

}  // namespace
}  // namespace vantrel
