#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "codec/BlockSearch.h"
#include "codec/CodecPalette.h"
#include "codec/CodecTables.h"
#include "codec/CodecTestData.h"
#include "codec/DisplacementTable.h"
#include "codec/PatternFit.h"

namespace vantrel {
namespace {

// The error of a pattern and two colours over a side x side block, by the
// table the fit was given.
std::int64_t drawnError(const std::uint8_t* block, int width, int side, int index,
                        int colour0, int colour1, const std::int32_t* distances) {
  const std::uint64_t bits = side == 8 ? kPattern8Table[index] : kPattern4Table[index];
  std::int64_t error = 0;
  for (int i = 0; i < side * side; ++i) {
    const int colour = (bits >> i) & 1 ? colour1 : colour0;
    error += distances[colour * 256 + block[(i / side) * width + i % side]];
  }
  return error;
}

TEST(PatternFitTest, FitsAreNeverWorseAndNoPatternDrawsTheirColoursBetter) {
  // Every block of moving, noisy and textured pictures, from the pattern
  // search's answer: the fit's error is that of what it returns, never above
  // the start's, and no pattern of the table in either colour order does
  // better with the fit's two colours.
  CodecPalette colours;
  const auto palette = testing::cubePalette();
  colours.build(palette.data(), true);
  const std::int32_t* distances = colours.distanceRow(0);
  constexpr int kWidth = 64;
  constexpr int kHeight = 48;
  DisplacementTable displacements;
  displacements.build(kWidth);
  const std::vector<std::vector<std::uint8_t>> pictures = {
      testing::movingFrame(kWidth, kHeight, 3), testing::noiseFrame(kWidth, kHeight, 5),
      testing::texturedFrame(kWidth, kHeight, 2, -3)};
  int improved = 0;
  for (const std::vector<std::uint8_t>& picture : pictures) {
    BlockSearch search(colours, displacements, kWidth, kHeight);
    search.setPictures(picture.data(), picture.data());
    for (int side : {8, 4}) {
      for (int offset = 0; offset + (side - 1) * kWidth < kWidth * kHeight;
           offset += side) {
        if (offset % kWidth > kWidth - side) continue;
        if ((offset / kWidth) % side != 0) continue;
        const std::uint8_t* block = picture.data() + offset;
        BlockSearch::Pattern start =
            side == 8 ? search.findPattern8(offset) : search.findPattern4(offset);
        start.error = drawnError(block, kWidth, side, start.index, start.colour0,
                                 start.colour1, distances);
        const BlockSearch::Pattern fit =
            PatternFit::fit(block, kWidth, side, start, distances);
        SCOPED_TRACE(offset);
        ASSERT_EQ(fit.error, drawnError(block, kWidth, side, fit.index, fit.colour0,
                                        fit.colour1, distances));
        ASSERT_LE(fit.error, start.error);
        improved += fit.error < start.error;
        for (int index = 0; index < kPatternCount; ++index) {
          ASSERT_GE(
              drawnError(block, kWidth, side, index, fit.colour0, fit.colour1, distances),
              fit.error);
          ASSERT_GE(
              drawnError(block, kWidth, side, index, fit.colour1, fit.colour0, distances),
              fit.error);
        }
      }
    }
  }
  EXPECT_GT(improved, 0);
}

}  // namespace
}  // namespace vantrel
