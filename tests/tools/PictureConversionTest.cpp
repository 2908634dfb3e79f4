#include "PictureConversion.h"

#include <vector>

#include <gtest/gtest.h>

#include "image/ColourReduction.h"
#include "image/FrameImage.h"
#include "support/TestClips.h"

namespace vantrel::inspect {
namespace {

constexpr std::uint32_t kQuadrantColours[4] = {0x808080, 0xE02020, 0x2040E0, 0xF0E020};

// A 16 x 16 working image of four 8 x 8 quadrants, converted to a handheld frame.
std::vector<std::uint8_t> truecolorFrame(int depthCode) {
  FrameImage work(16, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      // Row 0 is the bottom row: the top-left quadrant is rows 8 to 15.
      const int quadrant = (y >= 8 ? 0 : 2) + (x >= 8 ? 1 : 0);
      work.pixels[y * 16 + x] = kQuadrantColours[quadrant];
    }
  }
  std::vector<std::uint8_t> frame(16 * 24, 0);
  convertFrame(work, frame.data(), depthCode, false, 16, 16, nullptr, true);
  return frame;
}

class PictureConversionTest : public ::testing::TestWithParam<int> {};

TEST_P(PictureConversionTest, TruecolorFramesComeBackNearTheirColours) {
  const int depthCode = GetParam();
  const std::vector<std::uint8_t> frame = truecolorFrame(depthCode);
  const std::array<std::uint32_t, 256> palette{};
  const int colourMode = depthCode == 24 ? 4 : 5;
  const RgbPicture picture = framePicture(frame.data(), 16, 24, colourMode, palette);
  ASSERT_EQ(picture.width, 16);
  ASSERT_EQ(picture.height, 16);
  for (int quadrant = 0; quadrant < 4; ++quadrant) {
    const int x = (quadrant % 2) * 8 + 4;
    const int y = (quadrant / 2) * 8 + 4;  // top row first in the picture
    EXPECT_TRUE(test::coloursClose(picture.pixel(x, y), kQuadrantColours[quadrant], 20))
        << "quadrant " << quadrant << " got " << std::hex << picture.pixel(x, y);
  }
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, PictureConversionTest, ::testing::Values(24, 25));

TEST(PictureConversionPaletteTest, PaletteFramesLookUpEverySample) {
  std::array<std::uint32_t, 256> palette{};
  palette[1] = 0x102030;
  palette[7] = 0xFFEEDD;
  const std::vector<std::uint8_t> samples = {1, 7, 7, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  const RgbPicture picture = framePicture(samples.data(), 8, 2, 3, palette);
  EXPECT_EQ(picture.width, 8);
  EXPECT_EQ(picture.height, 2);
  EXPECT_EQ(picture.pixel(0, 0), 0x102030u);
  EXPECT_EQ(picture.pixel(1, 0), 0xFFEEDDu);
  EXPECT_EQ(picture.pixel(3, 0), 0x102030u);
}

std::array<std::uint32_t, 256> paletteOf(void (*fill)(std::uint32_t*, int), int code) {
  std::array<std::uint32_t, 256> palette{};
  fill(palette.data(), code);
  palette[0] = 0xFFFFFF;
  return palette;
}

std::array<std::uint32_t, 256> grayRamp(bool fineGrid) {
  std::array<std::uint32_t, 256> palette{};
  grayPalette(palette.data(), fineGrid);
  palette[0] = 0xFFFFFF;
  return palette;
}

TEST(PictureConversionTest, SixteenBitFramesAreTruecolorOfTheirMode) {
  const SampleLayout plus = sampleLayoutFor(5, 16, 160, 240, paletteOf(truecolorPalette, 25));
  EXPECT_EQ(plus.depthCode, 25);
  EXPECT_EQ(plus.pictureMode, 5);
  EXPECT_EQ(plus.screenHeight, 160);
  EXPECT_EQ(plus.storedHeight, 240);
  EXPECT_TRUE(plus.fineGrid);
  const SampleLayout plain = sampleLayoutFor(4, 16, 320, 360, paletteOf(truecolorPalette, 24));
  EXPECT_EQ(plain.depthCode, 24);
  EXPECT_EQ(plain.pictureMode, 4);
  EXPECT_EQ(plain.screenHeight, 240);
}

TEST(PictureConversionTest, GrayscaleTruecolorFramesAreToldApartByTheirTable) {
  // A grayscale conversion in a truecolor code keeps colour mode 1.
  const SampleLayout b = sampleLayoutFor(1, 16, 160, 240, paletteOf(truecolorPalette, 25));
  EXPECT_EQ(b.depthCode, 25);
  EXPECT_EQ(b.pictureMode, 5);
  const SampleLayout a = sampleLayoutFor(1, 16, 160, 240, paletteOf(truecolorPalette, 24));
  EXPECT_EQ(a.depthCode, 24);
  EXPECT_EQ(a.pictureMode, 4);
}

TEST(PictureConversionTest, EightBitFramesKeepTheirModeAndFindTheirGrid) {
  const std::array<std::uint32_t, 256> any = grayRamp(true);
  const SampleLayout standard = sampleLayoutFor(0, 8, 160, 160, any);
  EXPECT_EQ(standard.depthCode, 12);
  EXPECT_FALSE(standard.fineGrid);
  EXPECT_EQ(standard.pictureMode, 0);
  const SampleLayout enhanced = sampleLayoutFor(3, 8, 160, 160, any);
  EXPECT_EQ(enhanced.depthCode, 16);
  EXPECT_TRUE(enhanced.fineGrid);
  EXPECT_EQ(enhanced.screenHeight, 160);
  const SampleLayout fineGray = sampleLayoutFor(1, 8, 160, 160, grayRamp(true));
  EXPECT_EQ(fineGray.depthCode, 16);
  EXPECT_TRUE(fineGray.fineGrid);
  EXPECT_EQ(fineGray.pictureMode, 1);
  const SampleLayout coarseGray = sampleLayoutFor(1, 8, 160, 160, grayRamp(false));
  EXPECT_EQ(coarseGray.depthCode, 12);
  EXPECT_FALSE(coarseGray.fineGrid);
}

}  // namespace
}  // namespace vantrel::inspect
