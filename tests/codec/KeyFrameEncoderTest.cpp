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
  // 8-bit (the cube palette) and truecolor (16 x 8 pixels: 8 luma rows, then
  // 4 rows of 8 U and 8 V samples): every group's sample must have the
  // smallest summed impact of all the samples its rows may hold, and repeat
  // in the reconstruction.
  std::array<std::uint32_t, 256> truecolor{};
  truecolorPalette(truecolor.data(), kTruecolorDepth);
  std::vector<int> lumas;
  for (int s = 16; s <= 113; ++s) {
    if (s % 15 != 0) lumas.push_back(s);
  }
  std::vector<int> us;
  std::vector<int> vs;
  std::vector<int> entries;
  for (int step = 0; step < 15; ++step) {
    us.push_back(step);
    vs.push_back(15 * step);
  }
  for (int e = 1; e <= 254; ++e) entries.push_back(e);
  for (const bool truecolour : {false, true}) {
    const int height = truecolour ? 12 : 8;
    CodecPalette codecPalette;
    codecPalette.build(truecolour ? truecolor.data() : palette.data(), true);
    ImpactDistance impact;
    impact.build(codecPalette.words(), truecolour ? kTruecolorDepth : 16, 16, height);
    // The samples a position may hold: entries, or luma, U or V samples.
    const auto storedAt = [&](int y, int x) -> const std::vector<int>& {
      if (!truecolour) return entries;
      return y < 8 ? lumas : x < 8 ? us : vs;
    };
    std::vector<std::uint8_t> frame = testing::noiseFrame(16, height, 7);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < 16; ++x) {
        const std::vector<int>& stored = storedAt(y, x);
        std::uint8_t& sample = frame[y * 16 + x];
        sample = static_cast<std::uint8_t>(stored[sample % stored.size()]);
      }
    }
    std::vector<std::uint8_t> recon(frame.size(), 0);
    KeyFrameEncoder(codecPalette, &impact)
        .encode(out.data(), frame.data(), recon.data(), 16, height, false, false);
    for (int y = 0; y < height; y += 2) {
      for (int x = 0; x < 16; x += 2) {
        const int sample = out[16 + (y / 2) * 8 + x / 2];
        const std::int32_t* table = impact.tableAt(y * 16 + x);
        const auto error = [&](int s) {
          std::int64_t sum = 0;
          for (int k = 0; k < 4; ++k)
            sum += table[s * 256 + frame[(y + k / 2) * 16 + x + k % 2]];
          return sum;
        };
        const std::vector<int>& stored = storedAt(y, x);
        ASSERT_NE(std::find(stored.begin(), stored.end(), sample), stored.end())
            << y << " " << x;
        for (const int other : stored) ASSERT_LE(error(sample), error(other)) << other;
        for (int k = 0; k < 4; ++k) EXPECT_EQ(recon[(y + k / 2) * 16 + x + k % 2], sample);
      }
    }
  }
}

}  // namespace
}  // namespace vantrel
