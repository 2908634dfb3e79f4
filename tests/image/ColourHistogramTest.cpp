#include "image/ColourHistogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

#include "TestPictures.h"
#include "image/ColourGrid.h"
#include "image/OctreePalette.h"

namespace vantrel {
namespace {

using testing::rgb;

class ColourHistogramTest : public ::testing::Test {
 protected:
  // Analyses the frames (each a 4 x 2 working image) the way the encode driver
  // does, including the static-pixel discount.
  void analyse(const std::vector<std::vector<std::uint32_t>>& frames, bool fineGrid) {
    histogram.assign(gridCellCount(fineGrid), 0);
    keys.assign(8, 0);
    for (std::size_t i = 0; i < frames.size(); ++i) {
      std::vector<std::uint32_t> pixels = frames[i];
      FrameImage work(pixels.data(), 4, 2);
      addFrameToHistogram(work, fineGrid, histogram.data(), keys.data(), i == 0);
    }
    discountStaticPixels(histogram.data(), keys.data(), 8, static_cast<int>(frames.size()));
  }
  std::uint32_t countOf(std::uint32_t colour, bool fineGrid = true) const {
    return histogram[cellIndex(colour, fineGrid)];
  }

  std::vector<std::uint32_t> histogram;
  std::vector<std::int16_t> keys;
};

TEST_F(ColourHistogramTest, StillPictureCountsEveryPixelOnce) {
  const std::vector<std::uint32_t> still = {rgb(255, 0, 0), rgb(255, 0, 0), 0, 0,
                                            0,              0,              0, rgb(0, 0, 255)};
  analyse({still, still, still, still}, true);
  EXPECT_EQ(countOf(rgb(255, 0, 0)), 2u);
  EXPECT_EQ(countOf(0), 5u);  // black borders too, once
  EXPECT_EQ(countOf(rgb(0, 0, 255)), 1u);
  EXPECT_EQ(std::accumulate(histogram.begin(), histogram.end(), 0u), 8u);
}

TEST_F(ColourHistogramTest, ChangingPixelCountsInEveryFrame) {
  std::vector<std::uint32_t> first(8, 0);
  std::vector<std::uint32_t> second(8, 0);
  first[3] = rgb(200, 200, 200);
  second[3] = rgb(100, 100, 100);
  analyse({first, second, first}, true);
  EXPECT_EQ(keys[3], -1);
  EXPECT_EQ(keys[0], 0);
  EXPECT_EQ(countOf(rgb(200, 200, 200)), 2u);
  EXPECT_EQ(countOf(rgb(100, 100, 100)), 1u);
  EXPECT_EQ(countOf(0), 7u);  // seven static black pixels
}

TEST_F(ColourHistogramTest, ChangeWithinOneCellKeepsThePixelStatic) {
  std::vector<std::uint32_t> first(8, rgb(16, 16, 16));
  std::vector<std::uint32_t> second(8, rgb(23, 20, 17));  // same fine cell
  analyse({first, second}, true);
  EXPECT_EQ(countOf(rgb(16, 16, 16)), 8u);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), -1), 0);
}

TEST_F(ColourHistogramTest, CoarseGridKeysUseCoarseCells) {
  std::vector<std::uint32_t> frame(8, rgb(128, 128, 128));
  analyse({frame}, false);
  EXPECT_EQ(keys[5], coarseCellIndex(rgb(128, 128, 128)));
  EXPECT_EQ(countOf(rgb(128, 128, 128), false), 8u);
}

TEST_F(ColourHistogramTest, FeedingTurnsCellsIntoTheirColours) {
  // Fine cell 31, 0, 16 becomes 255, 0, 132; the quantiser returns it rounded to
  // a multiple of 8 plus 4.
  std::vector<std::uint32_t> fine(kFineGridCells, 0);
  fine[31 << 10 | 0 << 5 | 16] = 3;
  OctreePalette quantiser;
  quantiser.beginPaletteAnalysis();
  feedPalette(fine.data(), true, quantiser);
  std::vector<std::uint32_t> palette(256, 0);
  EXPECT_EQ(quantiser.buildPalette(palette.data()), 1);
  EXPECT_EQ(palette[1], rgb(252, 4, 132));
  // Coarse cell 15, 0, 8 becomes 248, 8, 136.
  std::vector<std::uint32_t> coarse(kCoarseGridCells, 0);
  coarse[15 << 8 | 0 << 4 | 8] = 1;
  quantiser.beginPaletteAnalysis();
  feedPalette(coarse.data(), false, quantiser);
  EXPECT_EQ(quantiser.buildPalette(palette.data()), 1);
  EXPECT_EQ(palette[1], rgb(252, 12, 140));
  quantiser.endPaletteAnalysis();
}

}  // namespace
}  // namespace vantrel
