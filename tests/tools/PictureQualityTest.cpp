#include "PictureQuality.h"

#include <cmath>

#include <gtest/gtest.h>

namespace vantrel::inspect {
namespace {

RgbPicture filled(int width, int height, std::uint8_t sample) {
  RgbPicture picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.assign(std::size_t(width) * height * 3, sample);
  return picture;
}

TEST(PictureQualityTest, IdenticalPicturesHaveInfinitePsnr) {
  const RgbPicture a = filled(8, 4, 77);
  const std::optional<double> psnr = picturePsnr(a, a);
  ASSERT_TRUE(psnr.has_value());
  EXPECT_TRUE(std::isinf(*psnr));
  EXPECT_GT(*psnr, 0.0);
}

TEST(PictureQualityTest, EverySampleOneApartGivesTwentyLogOf255) {
  // MSE 1: PSNR = 10 log10(255^2) = 48.1308... dB.
  const std::optional<double> psnr = picturePsnr(filled(5, 3, 100), filled(5, 3, 101));
  ASSERT_TRUE(psnr.has_value());
  EXPECT_NEAR(*psnr, 48.130803608679, 1e-9);
}

TEST(PictureQualityTest, BlackAgainstWhiteIsZeroDecibels) {
  const std::optional<double> psnr = picturePsnr(filled(2, 2, 0), filled(2, 2, 255));
  ASSERT_TRUE(psnr.has_value());
  EXPECT_NEAR(*psnr, 0.0, 1e-12);
}

TEST(PictureQualityTest, OneSampleOffByTenInSixIsKnown) {
  // One pixel of two, one channel 10 apart: MSE = 100 / 6.
  RgbPicture a = filled(2, 1, 50);
  RgbPicture b = a;
  b.rgb[4] = 60;
  const std::optional<double> psnr = picturePsnr(a, b);
  ASSERT_TRUE(psnr.has_value());
  EXPECT_NEAR(*psnr, 10.0 * std::log10(65025.0 * 6.0 / 100.0), 1e-9);
  EXPECT_NEAR(*psnr, 35.9123, 1e-4);
}

TEST(PictureQualityTest, PicturesOfDifferentSizesHaveNoPsnr) {
  EXPECT_FALSE(picturePsnr(filled(4, 4, 0), filled(4, 5, 0)).has_value());
  EXPECT_FALSE(picturePsnr(RgbPicture{}, RgbPicture{}).has_value());
}

TEST(PictureQualityTest, SummaryTakesThePsnrOfTheMeanSquareOverTheMovie) {
  PsnrSummary summary;
  EXPECT_EQ(summary.psnr(), 0.0);
  summary.add(0, {0, 6});
  EXPECT_TRUE(std::isinf(summary.psnr()));
  summary.add(1, {600, 6});  // MSE 100
  summary.add(2, {6, 6});    // MSE 1
  EXPECT_EQ(summary.count(), 3);
  EXPECT_EQ(summary.identicalCount(), 1);
  // (0 + 600 + 6) / 18, not the mean of infinity, 28.13 and 48.13 dB.
  EXPECT_NEAR(summary.psnr(), 10.0 * std::log10(65025.0 * 18.0 / 606.0), 1e-9);
  EXPECT_NEAR(summary.worst(), 10.0 * std::log10(650.25), 1e-9);
  EXPECT_EQ(summary.worstFrame(), 1);
}

}  // namespace
}  // namespace vantrel::inspect
