#include "image/FrameGeometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vantrel {
namespace {

class FrameGeometryTest : public ::testing::Test {
 protected:
  static void expectDestination(const Placement& p, int left, int top, int width, int height) {
    EXPECT_EQ(p.destLeft, left);
    EXPECT_EQ(p.destTop, top);
    EXPECT_EQ(p.destWidth, width);
    EXPECT_EQ(p.destHeight, height);
  }
};

TEST_F(FrameGeometryTest, FullCropOfFourByThreeFillsTheSquareScreen) {
  // cropping 100: scale 1/3, scaled 213.33 wide, left -27, right 186.
  const Placement p = computePlacement(640, 480, 0.0, 160, 160);
  expectDestination(p, 0, 0, 160, 160);
  EXPECT_DOUBLE_EQ(p.srcX, 640.0 * 27 / 213);  // 81.13
  EXPECT_NEAR(p.srcX, 81.13, 0.005);
  EXPECT_EQ(p.srcY, 0.0);
  EXPECT_EQ(p.srcWidth, 480.0);  // 480.75 cut to a multiple of 4
  EXPECT_EQ(p.srcHeight, 480.0);
}

TEST_F(FrameGeometryTest, LetterboxOfFourByThreeLeavesBordersOfTwentyFourRows) {
  // cropping 0: scale 0.25, scaled 160 x 120, top floor(20) + 4 rounded down to 8s.
  const Placement p = computePlacement(640, 480, 1.0, 160, 160);
  expectDestination(p, 0, 24, 160, 120);
  EXPECT_EQ(p.srcX, 0.0);
  EXPECT_EQ(p.srcY, 0.0);
  EXPECT_EQ(p.srcWidth, 640.0);
  EXPECT_EQ(p.srcHeight, 480.0);
}

TEST_F(FrameGeometryTest, SourceOfTheWorkingSizeIsShownWhole) {
  const Placement p = computePlacement(216, 384, 1.0, 216, 384);
  expectDestination(p, 0, 0, 216, 384);
  EXPECT_EQ(p.srcWidth, 216.0);
  EXPECT_EQ(p.srcHeight, 384.0);
  const Placement odd = computePlacement(162, 150, 1.0, 162, 150);
  EXPECT_EQ(odd.srcWidth, 160.0);  // rounded down to multiples of 4
  EXPECT_EQ(odd.srcHeight, 148.0);
}

TEST_F(FrameGeometryTest, SourceWindowWidthIsCutToAMultipleOfFour) {
  // 780 x 360 on the rotated 320 x 240 screen (working 240 x 320), cropping 50:
  // scaled 466.67 wide, left -114, right 352, so the window runs from
  // 780 x 114 / 466 = 190.82 to 780 x (1 - 112 / 466) = 592.53: 401.72 wide,
  // which becomes 400.
  const Placement p = computePlacement(780, 360, 0.5, 240, 320);
  EXPECT_NEAR(p.srcX, 190.815, 0.001);
  EXPECT_EQ(p.srcWidth, 400.0);
  EXPECT_EQ(p.destWidth, 240);
  EXPECT_EQ(p.srcY, 0.0);
  EXPECT_EQ(p.srcHeight, 360.0);
}

TEST_F(FrameGeometryTest, HalfCropMixesBothScalesAndRoundsBordersToEightPixels) {
  // scale = 1/3 + 0.5 x (0.25 - 1/3) = 0.29167: 186.67 x 140 (139.99999999999997
  // in double precision), top (10 + 4) & ~7 = 8, bottom truncated to 147.
  const Placement p = computePlacement(640, 480, 0.5, 160, 160);
  expectDestination(p, 0, 8, 160, 139);
  EXPECT_GT(p.srcX, 0.0);
  EXPECT_EQ(static_cast<int>(p.srcWidth) % 4, 0);
}

TEST_F(FrameGeometryTest, TallSourceGetsSideBorders) {
  const Placement p = computePlacement(480, 640, 1.0, 160, 160);
  expectDestination(p, 24, 0, 120, 160);
}

TEST_F(FrameGeometryTest, EmptySourceGivesEmptyPlacement) {
  const Placement p = computePlacement(0, 480, 1.0, 160, 160);
  expectDestination(p, 0, 0, 0, 0);
}

TEST_F(FrameGeometryTest, FlipRowsOnOneRowChangesNothing) {
  std::vector<std::uint8_t> buffer = {1, 2, 3, 4};
  flipRows(buffer.data(), 1, 1, 4, 32);
  EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST_F(FrameGeometryTest, FlipRowsOnThreeRowsExchangesOuterRowsLeadingBytesOnly) {
  // 1 pixel of 24 bits per row, stride 4: the fourth byte of each row is padding.
  std::vector<std::uint8_t> buffer = {1, 1, 1, 90,   // row 0
                                      2, 2, 2, 91,   // row 1
                                      3, 3, 3, 92};  // row 2
  flipRows(buffer.data(), 1, 3, 4, 24);
  EXPECT_EQ(buffer, (std::vector<std::uint8_t>{3, 3, 3, 90, 2, 2, 2, 91, 1, 1, 1, 92}));
}

TEST_F(FrameGeometryTest, MirrorRowsReversesPixelsOfEveryRow) {
  std::vector<std::uint32_t> buffer = {1, 2, 3, 4, 5, 6};
  mirrorRows(buffer.data(), 3, 2, 12, 32);
  EXPECT_EQ(buffer, (std::vector<std::uint32_t>{3, 2, 1, 6, 5, 4}));
  std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};  // 16-bit pixels
  mirrorRows(bytes.data(), 4, 1, 8, 16);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{7, 8, 5, 6, 3, 4, 1, 2}));
}

TEST_F(FrameGeometryTest, UnknownPixelDepthLeavesBuffersAlone) {
  std::vector<std::uint8_t> buffer = {1, 2, 3, 4};
  flipRows(buffer.data(), 2, 2, 2, 12);
  mirrorRows(buffer.data(), 2, 2, 2, 4);
  EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST_F(FrameGeometryTest, OutputFlipsDependOnDepthRotationAndUserFlips) {
  // 8-bit codes: rows flip only for the user's vertical flip; rotation mirrors.
  EXPECT_FALSE(outputNeedsRowFlip(16, false, true));
  EXPECT_TRUE(outputNeedsRowFlip(12, true, true));
  EXPECT_TRUE(outputNeedsMirror(16, false, true));
  EXPECT_FALSE(outputNeedsMirror(16, true, true));
  EXPECT_TRUE(outputNeedsMirror(12, true, false));
  // Truecolor codes: rotation flips rows and leaves mirroring to the user.
  EXPECT_TRUE(outputNeedsRowFlip(24, false, true));
  EXPECT_FALSE(outputNeedsRowFlip(25, true, true));
  EXPECT_FALSE(outputNeedsMirror(25, false, true));
  EXPECT_TRUE(outputNeedsMirror(24, true, true));
  EXPECT_FALSE(outputNeedsRowFlip(24, false, false));
}

}  // namespace
}  // namespace vantrel
