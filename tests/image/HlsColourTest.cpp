#include "image/HlsColour.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

class HlsColourTest : public ::testing::Test {};

TEST_F(HlsColourTest, PrimaryColoursSitAtThirdsOfTheHueCircle) {
  const HlsColour red = rgbToHls(255, 0, 0);
  EXPECT_EQ(red.hue, 0);
  EXPECT_EQ(red.lightness, 127);
  EXPECT_EQ(red.saturation, 255);
  EXPECT_EQ(rgbToHls(0, 255, 0).hue, 85);
  EXPECT_EQ(rgbToHls(0, 0, 255).hue, 170);
}

TEST_F(HlsColourTest, NegativeHueWrapsByTwoHundredFiftyFive) {
  // Red highest, blue above green: (127 - 255) / 6 = -21, then + 255.
  EXPECT_EQ(rgbToHls(255, 0, 128).hue, 234);
}

TEST_F(HlsColourTest, LightColoursUseTheUpperSaturationFormula) {
  // lightness (255 + 155) / 2 = 205; saturation 100 x 255 / (510 - 410) = 255.
  const HlsColour pink = rgbToHls(255, 155, 155);
  EXPECT_EQ(pink.lightness, 205);
  EXPECT_EQ(pink.saturation, 255);
  const HlsColour pale = rgbToHls(200, 150, 150);
  EXPECT_EQ(pale.lightness, 175);
  EXPECT_EQ(pale.saturation, 50 * 255 / 160);
}

TEST_F(HlsColourTest, GrayHasNoHueOrSaturationAndComesBackUnchanged) {
  const HlsColour gray = rgbToHls(100, 100, 100);
  EXPECT_EQ(gray.hue, 0);
  EXPECT_EQ(gray.lightness, 100);
  EXPECT_EQ(gray.saturation, 0);
  EXPECT_EQ(hlsToRgb(0, 100, 0), 0x00646464u);
}

TEST_F(HlsColourTest, BackConversionTruncatesEachChannel) {
  // m2 = 127 x 510, m1 = 0: red 64770 / 255 = 254, green and blue 0.
  EXPECT_EQ(hlsToRgb(0, 127, 255), 0x00FE0000u);
  EXPECT_EQ(hlsToRgb(85, 127, 255), 0x0000FE00u);
  EXPECT_EQ(hlsToRgb(170, 127, 255), 0x000000FEu);
}

TEST_F(HlsColourTest, RoundTripStaysWithinOneHueStepPerChannel) {
  // Hue keeps 255 steps per circle; one step moves a channel by up to
  // 6 x 255 / 255 levels, plus truncation, so a channel may move by 7.
  for (int red = 0; red < 256; red += 15) {
    for (int green = 0; green < 256; green += 17) {
      for (int blue = 0; blue < 256; blue += 51) {
        const HlsColour hls = rgbToHls(red, green, blue);
        const unsigned back = hlsToRgb(hls.hue, hls.lightness, hls.saturation);
        EXPECT_NEAR(static_cast<int>(back >> 16), red, 7);
        EXPECT_NEAR(static_cast<int>((back >> 8) & 0xff), green, 7);
        EXPECT_NEAR(static_cast<int>(back & 0xff), blue, 7);
      }
    }
  }
}

}  // namespace
}  // namespace vantrel
