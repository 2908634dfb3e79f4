#include "image/ColourReduction.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "TestPictures.h"
#include "image/ColourGrid.h"
#include "image/FrameGeometry.h"

namespace vantrel {
namespace {

using testing::Picture;
using testing::rgb;

class ColourReductionTest : public ::testing::Test {
 protected:
  // Runs the output pass as the encode driver does: picture into the working
  // image, the orientation flips, then the conversion into a handheld frame of
  // frameWidth x targetHeight.
  std::vector<std::uint8_t> outputPass(const Picture& picture, int depthCode, bool rotate,
                                       int frameWidth, int targetHeight,
                                       bool flipVertical = false, bool flipHorizontal = false) {
    std::vector<std::uint32_t> work;
    testing::storeBottomUp(picture, work);
    const int stride = picture.width * 4;
    if (outputNeedsRowFlip(depthCode, flipVertical, rotate)) {
      flipRows(work.data(), picture.width, picture.height, stride, 32);
    }
    if (outputNeedsMirror(depthCode, flipHorizontal, rotate)) {
      mirrorRows(work.data(), picture.width, picture.height, stride, 32);
    }
    FrameImage image(work.data(), picture.width, picture.height);
    std::vector<std::uint8_t> frame(
        static_cast<std::size_t>(frameWidth) * storedFrameHeight(depthCode, targetHeight), 0xEE);
    convertFrame(image, frame.data(), depthCode, rotate, frameWidth, targetHeight,
                 colourMap.data(), true);
    return frame;
  }

  // A fine-grid colour map that gives every test picture colour its own byte: the
  // cell of red 8c + 4, green 8r + 4 maps to c + 16 r + 1.
  void identityMapForDistinctPictures() {
    colourMap.fill(0);
    for (int r = 0; r < 8; ++r) {
      for (int c = 0; c < 8; ++c) {
        colourMap[fineCellIndex(rgb(8 * c + 4, 8 * r + 4, 100))] =
            static_cast<std::uint8_t>(c + 16 * r + 1);
      }
    }
  }

  std::array<std::uint8_t, kFineGridCells> colourMap{};
};

TEST_F(ColourReductionTest, TruecolorLumaRunsFrom16To113WithoutMultiplesOf15) {
  EXPECT_EQ(truecolorLuma(rgb(255, 255, 255), 24), 113);
  EXPECT_EQ(truecolorLuma(rgb(0, 0, 0), 24), 16);
  EXPECT_EQ(truecolorLuma(rgb(37, 37, 37), 24), 31);  // 16 + 14 = 30, moved to 31
  for (int gray = 0; gray < 256; ++gray) {
    EXPECT_NE(truecolorLuma(rgb(gray, gray, gray), 24) % 15, 0) << gray;
  }
}

TEST_F(ColourReductionTest, TruecolorPlusLumaRunsFrom17To144AndSkipsSixteenPlusFifteens) {
  EXPECT_EQ(truecolorLuma(rgb(255, 255, 255), 25), 144);
  EXPECT_EQ(truecolorLuma(rgb(0, 0, 0), 25), 17);
  EXPECT_EQ(truecolorLuma(rgb(28, 28, 28), 25), 32);  // 17 + 14 = 31, moved to 32
  for (int value = 0; value < 256; ++value) {
    for (std::uint32_t pixel : {rgb(value, value, value), rgb(value, 0, 0), rgb(0, 0, value)}) {
      const int luma = truecolorLuma(pixel, 25);
      EXPECT_NE(luma, 16);
      EXPECT_NE((luma - 16) % 15, 0) << value;
    }
  }
}

TEST_F(ColourReductionTest, YellowGroupGivesUMinusOneStoredAs255) {
  const Picture yellow{2, 2, std::vector<std::uint32_t>(4, rgb(255, 255, 0))};
  const std::vector<std::uint8_t> frame = outputPass(yellow, 24, false, 2, 2);
  // Luma 16 + ((14634 + 7454) x 255 >> 16) = 101, then U, then V = 15 x 8.
  EXPECT_EQ(frame, (std::vector<std::uint8_t>{101, 101, 101, 101, 255, 120}));
}

TEST_F(ColourReductionTest, TruecolorPlusColourDifferencesFollowTheSoftCurve) {
  const Picture gray{2, 2, std::vector<std::uint32_t>(4, rgb(128, 128, 128))};
  std::vector<std::uint8_t> frame = outputPass(gray, 25, false, 2, 2);
  EXPECT_EQ(frame[4], 8);    // u = 490620 >> 16 = 7, U = u + 1
  EXPECT_EQ(frame[5], 121);  // V = 16 + 15 x 7
  for (std::uint32_t colour : {rgb(0, 0, 255), rgb(255, 0, 0), rgb(255, 255, 0),
                               rgb(0, 255, 255), rgb(0, 255, 0)}) {
    frame = outputPass(Picture{2, 2, std::vector<std::uint32_t>(4, colour)}, 25, false, 2, 2);
    EXPECT_GE(frame[4], 1);
    EXPECT_LE(frame[4], 15);
    EXPECT_GE(frame[5], 16);
    EXPECT_LE(frame[5], 226);
    EXPECT_EQ((frame[5] - 16) % 15, 0);
  }
  // Pure blue: t = 481 x 1020 = 490620, f(t) = 490620 x 786432 / 752764 = 512562,
  // (512562 + 490620) >> 16 = 15, clamped to 14.
  frame = outputPass(Picture{2, 2, std::vector<std::uint32_t>(4, rgb(0, 0, 255))}, 25, false, 2, 2);
  EXPECT_EQ(frame[4], 15);
}

TEST_F(ColourReductionTest, TruecolorChromaRowHoldsUThenVPerGroup) {
  // 4 x 2 picture: yellow group on the left, gray (U 7, V 105) on the right.
  const std::uint32_t y = rgb(255, 255, 0);
  const std::uint32_t g = rgb(128, 128, 128);
  const Picture picture{4, 2, {y, y, g, g, y, y, g, g}};
  const std::vector<std::uint8_t> frame = outputPass(picture, 24, false, 4, 2);
  ASSERT_EQ(frame.size(), 12u);
  EXPECT_EQ((std::vector<std::uint8_t>(frame.begin() + 8, frame.end())),
            (std::vector<std::uint8_t>{255, 7, 120, 105}));
  // Rotated: the picture is 2 x 4 with yellow on top; turned clockwise the top
  // goes to the right.
  const Picture tall{2, 4, {y, y, y, y, g, g, g, g}};
  const std::vector<std::uint8_t> turned = outputPass(tall, 24, true, 4, 2);
  EXPECT_EQ((std::vector<std::uint8_t>(turned.begin() + 8, turned.end())),
            (std::vector<std::uint8_t>{7, 255, 105, 120}));
}

TEST_F(ColourReductionTest, RotationTurnsEightBitFramesAQuarterClockwise) {
  identityMapForDistinctPictures();
  const Picture picture = testing::distinctPicture(4, 6);  // 4 wide, 6 tall
  const Picture turned = testing::rotatedClockwise(picture);  // 6 wide, 4 tall
  const std::vector<std::uint8_t> rotated = outputPass(picture, 16, true, 6, 4);
  const std::vector<std::uint8_t> expected = outputPass(turned, 16, false, 6, 4);
  EXPECT_EQ(rotated, expected);
  // The picture's bottom-left corner (column 0, row 5) is the frame's top-left.
  EXPECT_EQ(rotated[0], 0 + 16 * 5 + 1);
  // Its top-left corner is the frame's top-right.
  EXPECT_EQ(rotated[5], 1);
}

TEST_F(ColourReductionTest, RotationTurnsTruecolorFramesAQuarterClockwise) {
  for (int depth : {24, 25}) {
    const Picture picture = testing::distinctPicture(4, 6);
    const Picture turned = testing::rotatedClockwise(picture);
    const std::vector<std::uint8_t> rotated = outputPass(picture, depth, true, 6, 4);
    EXPECT_EQ(rotated, outputPass(turned, depth, false, 6, 4)) << depth;
    EXPECT_EQ(rotated[0], truecolorLuma(picture.at(0, 5), depth));
    EXPECT_EQ(rotated[5], truecolorLuma(picture.at(0, 0), depth));
  }
}

TEST_F(ColourReductionTest, UnrotatedFrameIsUprightAndUserFlipsTurnIt) {
  identityMapForDistinctPictures();
  const Picture picture = testing::distinctPicture(4, 2);
  const std::vector<std::uint8_t> upright = outputPass(picture, 16, false, 4, 2);
  EXPECT_EQ(upright, (std::vector<std::uint8_t>{1, 2, 3, 4, 17, 18, 19, 20}));
  EXPECT_EQ(outputPass(picture, 16, false, 4, 2, true, false),
            (std::vector<std::uint8_t>{17, 18, 19, 20, 1, 2, 3, 4}));
  EXPECT_EQ(outputPass(picture, 16, false, 4, 2, false, true),
            (std::vector<std::uint8_t>{4, 3, 2, 1, 20, 19, 18, 17}));
}

TEST_F(ColourReductionTest, MidGrayInStandardGrayModeMapsToLevel136) {
  std::array<std::uint32_t, 256> palette{};
  palette[0] = rgb(255, 255, 255);
  grayPalette(palette.data(), false);
  std::array<std::uint8_t, kCoarseGridCells> map{};
  buildColourMap(palette.data(), false, map.data());
  const std::uint8_t entry = map[coarseCellIndex(rgb(128, 128, 128))];
  EXPECT_EQ(entry, 9);
  EXPECT_EQ(palette[entry], rgb(136, 136, 136));
}

TEST_F(ColourReductionTest, ColourMapNeverChoosesEntryZeroOr255) {
  std::array<std::uint32_t, 256> palette{};
  palette[0] = rgb(255, 255, 255);
  palette[255] = rgb(255, 255, 255);
  palette[7] = rgb(250, 250, 250);
  for (bool fine : {true, false}) {
    std::vector<std::uint8_t> map(gridCellCount(fine), 0);
    buildColourMap(palette.data(), fine, map.data());
    for (std::uint8_t entry : map) {
      EXPECT_GE(entry, 1);
      EXPECT_LE(entry, 254);
    }
    EXPECT_EQ(map[cellIndex(rgb(255, 255, 255), fine)], 7);
    EXPECT_EQ(map[cellIndex(rgb(0, 0, 0), fine)], 1);  // all-black ties go to entry 1
  }
}

TEST_F(ColourReductionTest, ColourMapTiesGoToTheLowerEntry) {
  std::array<std::uint32_t, 256> palette{};
  palette.fill(rgb(255, 255, 255));
  palette[40] = rgb(100, 100, 100);
  palette[30] = rgb(100, 100, 100);
  std::array<std::uint8_t, kFineGridCells> map{};
  buildColourMap(palette.data(), true, map.data());
  EXPECT_EQ(map[fineCellIndex(rgb(100, 100, 100))], 30);
  EXPECT_EQ(map[fineCellIndex(rgb(255, 255, 255))], 1);
}

TEST_F(ColourReductionTest, GrayRampsFillTheLowEntriesAndClearTheRest) {
  std::array<std::uint32_t, 256> palette;
  palette.fill(0x00ABCDEF);
  grayPalette(palette.data(), true);
  EXPECT_EQ(palette[0], 0x00ABCDEFu);
  EXPECT_EQ(palette[255], 0x00ABCDEFu);
  EXPECT_EQ(palette[1], 0u);
  EXPECT_EQ(palette[2], rgb(8, 8, 8));
  EXPECT_EQ(palette[6], rgb(41, 41, 41));  // 5 x 8 + 5 / 4
  EXPECT_EQ(palette[32], rgb(255, 255, 255));
  EXPECT_EQ(palette[33], 0u);
  grayPalette(palette.data(), false);
  EXPECT_EQ(palette[2], rgb(17, 17, 17));
  EXPECT_EQ(palette[16], rgb(255, 255, 255));
  EXPECT_EQ(palette[17], 0u);
}

TEST_F(ColourReductionTest, TruecolorTableAPutsLumaInGreenAndDifferencesInRedAndBlue) {
  std::array<std::uint32_t, 256> palette;
  palette.fill(0x00ABCDEF);
  truecolorPalette(palette.data(), 24);
  EXPECT_EQ(palette[16], rgb(0, 0, 0));
  EXPECT_EQ(palette[17], rgb(0, 1, 0));      // 255 / 178
  EXPECT_EQ(palette[113], rgb(0, 138, 0));   // 97 x 255 / 178
  EXPECT_EQ(palette[194], rgb(0, 255, 0));
  EXPECT_EQ(palette[14], rgb(224, 0, 0));
  EXPECT_EQ(palette[30], rgb(0, 0, 36));     // no green at multiples of 15
  EXPECT_EQ(palette[15], rgb(0, 0, 18));
  EXPECT_EQ(palette[210], rgb(0, 0, 255));
  EXPECT_EQ(palette[211], 0u);
  EXPECT_EQ(palette[0], 0x0000CD00u);  // red and blue bytes set to 0, green kept
  EXPECT_EQ(palette[255], 0x00ABCDEFu);
}

TEST_F(ColourReductionTest, TruecolorTableBMatchesThePlusLayout) {
  std::array<std::uint32_t, 256> palette;
  palette.fill(0x00ABCDEF);
  truecolorPalette(palette.data(), 25);
  EXPECT_EQ(palette[17], rgb(0, 0, 0));
  EXPECT_EQ(palette[144], rgb(0, 255, 0));
  EXPECT_EQ(palette[31], rgb(0, 0, 32));     // 31 - 1 is a multiple of 15: V entry
  EXPECT_EQ(palette[15], rgb(240, 0, 0));
  EXPECT_EQ(palette[16], rgb(0, 0, 16));
  EXPECT_EQ(palette[226], rgb(0, 0, 240));
  EXPECT_EQ(palette[227], rgb(10, 0, 10));
  EXPECT_EQ(palette[255], rgb(10, 0xCD, 10));  // entry 255 is not cleared first
  EXPECT_EQ(palette[0], 0x00ABCDEFu);
  EXPECT_EQ(storedFrameHeight(25, 160), 240);
  EXPECT_EQ(storedFrameHeight(16, 160), 160);
}

}  // namespace
}  // namespace vantrel
