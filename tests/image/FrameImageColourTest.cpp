#include "image/FrameImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "TestPictures.h"
#include "image/HlsColour.h"

namespace vantrel {
namespace {

using testing::rgb;

class FrameImageColourTest : public ::testing::Test {
 protected:
  void SetUp() override { image.attachPixels(pixels.data(), 2, 2); }

  std::vector<std::uint32_t> pixels = {rgb(100, 100, 100), rgb(10, 10, 10),
                                       rgb(200, 40, 40), rgb(30, 60, 200)};
  FrameImage image;
};

TEST_F(FrameImageColourTest, NoBrightnessOrContrastKeepsEveryLightness) {
  std::vector<int> before;
  for (std::uint32_t p : pixels) before.push_back(rgbToHls(p >> 16, (p >> 8) & 0xff, p & 0xff).lightness);
  image.adjustLightness(0, 0, -1, -1, 0.0f, 0.0f);
  EXPECT_EQ(pixels[0], rgb(100, 100, 100));
  EXPECT_EQ(pixels[1], rgb(10, 10, 10));
  for (int i = 0; i < 4; ++i) {
    const std::uint32_t p = pixels[i];
    EXPECT_NEAR(rgbToHls(p >> 16, (p >> 8) & 0xff, p & 0xff).lightness, before[i], 1) << i;
  }
}

TEST_F(FrameImageColourTest, BrightnessShiftsLightnessAndContrastStretchesAround128) {
  // brightness 0.5: lightness' = trunc(1.5 x 128) + (l - 128) = l + 64.
  image.adjustLightness(0, 0, 1, 1, 0.5f, 0.0f);
  EXPECT_EQ(pixels[0], rgb(164, 164, 164));
  // contrast 1: lightness' = 128 + 2 (l - 128), clamped at 0.
  image.adjustLightness(1, 0, 1, 1, 0.0f, 1.0f);
  EXPECT_EQ(pixels[1], rgb(0, 0, 0));
  pixels[0] = rgb(100, 100, 100);
  image.adjustLightness(0, 0, 1, 1, 0.0f, 1.0f);
  EXPECT_EQ(pixels[0], rgb(72, 72, 72));
}

TEST_F(FrameImageColourTest, LightnessChangeStaysInsideItsClippedRectangle) {
  image.adjustLightness(-1, 1, 2, 5, 1.0f, 0.0f);  // only (0, 1) remains
  EXPECT_EQ(pixels[0], rgb(100, 100, 100));
  EXPECT_EQ(pixels[1], rgb(10, 10, 10));
  EXPECT_NE(pixels[2], rgb(200, 40, 40));
  EXPECT_EQ(pixels[3], rgb(30, 60, 200));
}

TEST_F(FrameImageColourTest, SaturationZeroTurnsColoursGrayAndOneKeepsThem) {
  image.adjustSaturation(0, 0, -1, -1, 1.0f);
  EXPECT_EQ(pixels[2], rgb(200, 40, 40));
  image.adjustSaturation(0, 0, -1, -1, 0.0f);
  // Lightness (200 + 40) / 2 = 120 with no saturation.
  EXPECT_EQ(pixels[2], rgb(120, 120, 120));
  EXPECT_EQ(pixels[3], rgb(115, 115, 115));
}

TEST_F(FrameImageColourTest, SaturationAboveOneRaisesSaturation) {
  pixels[2] = rgb(150, 100, 100);
  const int before = rgbToHls(150, 100, 100).saturation;
  image.adjustSaturation(0, 1, 1, 1, 2.0f);  // k = 255: s' = s x 510 / (255 + s)
  const std::uint32_t p = pixels[2];
  const HlsColour after = rgbToHls(p >> 16, (p >> 8) & 0xff, p & 0xff);
  EXPECT_NEAR(after.saturation, before * 510 / (255 + before), 3);
  EXPECT_GT(after.saturation, before);
}

}  // namespace
}  // namespace vantrel
