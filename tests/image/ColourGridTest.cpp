#include "image/ColourGrid.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

class ColourGridTest : public ::testing::Test {};

TEST_F(ColourGridTest, FineIndexTakesTheTopFiveBitsOfEachChannel) {
  EXPECT_EQ(fineCellIndex(0x00FFFFFF), 32767);
  EXPECT_EQ(fineCellIndex(0x00080000), 1 << 10);  // red 8
  EXPECT_EQ(fineCellIndex(0x00000800), 1 << 5);   // green 8
  EXPECT_EQ(fineCellIndex(0x00000007), 0);        // blue 7 stays in cell 0
  EXPECT_EQ(fineCellIndex(0xFF000000), 0);        // the fourth byte is ignored
}

TEST_F(ColourGridTest, CoarseIndexTakesTheTopFourBitsOfEachChannel) {
  EXPECT_EQ(coarseCellIndex(0x00FFFFFF), 4095);
  EXPECT_EQ(coarseCellIndex(0x00808080), 8 << 8 | 8 << 4 | 8);
  EXPECT_EQ(cellIndex(0x00808080, false), coarseCellIndex(0x00808080));
  EXPECT_EQ(cellIndexOf(128, 128, 128, true), fineCellIndex(0x00808080));
}

TEST_F(ColourGridTest, CellCentresLieInTheMiddleOfEachCell) {
  EXPECT_EQ(cellCentre(0, true), 0x00040404u);
  EXPECT_EQ(cellCentre(32767, true), 0x00FCFCFCu);
  EXPECT_EQ(cellCentre(8 << 8 | 8 << 4 | 8, false), 0x00888888u);  // 136 gray
  for (int cell = 0; cell < kCoarseGridCells; ++cell) {
    EXPECT_EQ(coarseCellIndex(cellCentre(cell, false)), cell);
  }
}

TEST_F(ColourGridTest, DistanceWeighsGreenMostAndRoundsAtTheEighthBit) {
  EXPECT_EQ(colourDistance(0, 0x00FFFFFF), 65025);
  EXPECT_EQ(colourDistance(0x00FFFFFF, 0), 65025);
  EXPECT_EQ(colourDistance(0x00123456, 0x00123456), 0);
  EXPECT_EQ(colourDistance(0, 0x00010000), 0);      // (77 + 128) >> 8
  EXPECT_EQ(colourDistance(0, 0x00000100), 1);      // (150 + 128) >> 8
  EXPECT_EQ(colourDistance(0, 0x000A0000), 30);     // (7700 + 128) >> 8
  EXPECT_EQ(colourDistance(0, 0x0000000A), 11);     // (2900 + 128) >> 8
  EXPECT_EQ(colourDistance(0xFF000000, 0), 0);      // fourth byte ignored
}

}  // namespace
}  // namespace vantrel
