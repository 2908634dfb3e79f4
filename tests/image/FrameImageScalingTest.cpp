#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "TestPictures.h"
#include "image/FrameGeometry.h"
#include "image/FrameImage.h"

namespace vantrel {
namespace {

using testing::rgb;

#if LDBL_MANT_DIG == 64
// The area scale as defined: every footprint summed in x87 long double, row by
// row, with the weights of the source's edges in single precision.
std::vector<std::uint32_t> areaScaleByDefinition(const std::vector<std::uint32_t>& pixels,
                                                 int width, int height, int dstW,
                                                 int dstH, double srcX, double srcY,
                                                 double srcW, double srcH) {
  auto weightOf = [](int i, float lo, float hi) -> long double {
    if (i < lo) return lo - static_cast<long double>(i);
    if (i > hi) return static_cast<long double>(i) - hi;
    return 1.0L;
  };
  std::vector<std::uint32_t> out;
  const float sw = static_cast<float>(srcW);
  for (int y = 0; y < dstH; ++y) {
    const auto y0 = static_cast<float>(static_cast<double>(y) * srcH / dstH);
    const auto y1 = static_cast<float>(static_cast<double>(y + 1) * srcH / dstH);
    for (int x = 0; x < dstW; ++x) {
      const auto x0 = static_cast<float>(static_cast<double>(x) * sw / dstW);
      const auto x1 = static_cast<float>(static_cast<double>(x + 1) * sw / dstW);
      long double sums[4] = {};
      for (int k = std::max(0, int(std::floor(y0 + srcY)));
           k < std::min<double>(height, std::ceil(y1 + srcY)); ++k) {
        for (int l = std::max(0, int(std::floor(x0 + srcX)));
             l < std::min<double>(width, std::ceil(x1 + srcX)); ++l) {
          const long double weight = weightOf(l, x0, x1) * weightOf(k, y0, y1);
          const std::uint32_t pixel = pixels[std::size_t(k) * width + l];
          sums[0] += weight;
          sums[1] += weight * ((pixel >> 16) & 0xff);
          sums[2] += weight * ((pixel >> 8) & 0xff);
          sums[3] += weight * (pixel & 0xff);
        }
      }
      if (sums[0] == 0.0L) {
        out.push_back(
            pixels[std::size_t(std::clamp(int(std::floor(y0 + srcY)), 0, height - 1)) *
                       width +
                   std::clamp(int(std::floor(x0 + srcX)), 0, width - 1)]);
        continue;
      }
      const auto inverse = static_cast<float>(1.0L / sums[0]);
      const auto red = static_cast<std::int64_t>(inverse * sums[1]) & 0xff;
      const auto green = static_cast<std::int64_t>(static_cast<long double>(inverse) *
                                                   static_cast<float>(sums[2])) &
                         0xff;
      const auto blue = static_cast<std::int64_t>(static_cast<long double>(inverse) *
                                                  static_cast<float>(sums[3])) &
                        0xff;
      out.push_back(static_cast<std::uint32_t>(red << 16 | green << 8 | blue));
    }
  }
  return out;
}
#endif

class FrameImageScalingTest : public ::testing::Test {
 protected:
  // One-row source whose red channel is given per column.
  void makeRedRow(const std::vector<int>& reds) {
    sourcePixels.clear();
    for (int red : reds) sourcePixels.push_back(rgb(red, 0, 0));
    source.attachPixels(sourcePixels.data(), static_cast<int>(reds.size()), 1);
  }
  void makeTarget(int width, int height, std::uint32_t fill = 0) {
    targetPixels.assign(static_cast<std::size_t>(width) * height, fill);
    target.attachPixels(targetPixels.data(), width, height);
  }
  int redAt(int x, int y = 0) const {
    return static_cast<int>(targetPixels[y * target.width() + x] >> 16);
  }

  std::vector<std::uint32_t> sourcePixels;
  std::vector<std::uint32_t> targetPixels;
  FrameImage source;
  FrameImage target;
};

TEST_F(FrameImageScalingTest, AreaScaleOfFourToOneAveragesWholeColumns) {
  makeRedRow({0, 40, 80, 120, 200, 200, 200, 204});
  makeTarget(2, 1);
  ASSERT_TRUE(target.scaleArea(0, 0, 2, 1, source, 0, 0, 8, 1));
  EXPECT_EQ(redAt(0), 60);
  EXPECT_EQ(redAt(1), 201);
}

TEST_F(FrameImageScalingTest, AreaScaleOf300To160WeightsColumnsOneToThree) {
  // Destination column 1 covers x0 = 1.875 to x1 = 3.75: columns 1, 2, 3 with
  // weights 0.875, 1, 1, so (70 + 160 + 240) / 2.875 = 163.48.
  std::vector<int> reds(300, 0);
  reds[1] = 80;
  reds[2] = 160;
  reds[3] = 240;
  makeRedRow(reds);
  makeTarget(160, 1);
  ASSERT_TRUE(target.scaleArea(0, 0, 160, 1, source, 0, 0, 300, 1));
  EXPECT_EQ(redAt(1), 163);
}

TEST_F(FrameImageScalingTest, AreaScaleWeighsAbsoluteColumnsAgainstWindowRelativeEdges) {
  // Window from column 3, four columns wide, into two: destination column 0 has
  // x0 = 0 and x1 = 2 but reads columns 3 and 4, weighted 3 - 2 = 1 and 4 - 2 = 2.
  makeRedRow({0, 0, 0, 0, 90, 0, 0, 0});
  makeTarget(2, 1);
  ASSERT_TRUE(target.scaleArea(0, 0, 2, 1, source, 3, 0, 4, 1));
  EXPECT_EQ(redAt(0), 60);
}

TEST_F(FrameImageScalingTest, AreaScaleOneToOneCopiesExactly) {
  const testing::Picture picture = testing::distinctPicture(5, 4);
  testing::storeBottomUp(picture, sourcePixels);
  source.attachPixels(sourcePixels.data(), 5, 4);
  makeTarget(5, 4);
  ASSERT_TRUE(target.scaleArea(0, 0, 5, 4, source, 0, 0, 5, 4));
  EXPECT_EQ(targetPixels, sourcePixels);
}

TEST_F(FrameImageScalingTest, ZeroWidthWindowCopiesOneSourceColumnIntoEveryColumn) {
  const testing::Picture picture = testing::distinctPicture(4, 3);
  testing::storeBottomUp(picture, sourcePixels);
  source.attachPixels(sourcePixels.data(), 4, 3);
  makeTarget(5, 3);
  ASSERT_TRUE(target.scaleArea(0, 0, 5, 3, source, 2, 0, 0, 3));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(targetPixels[y * 5 + x], sourcePixels[y * 4 + 2]);
  }
}

TEST_F(FrameImageScalingTest, NegativeDestinationWidthMirrorsInBothScalers) {
  const testing::Picture picture = testing::distinctPicture(6, 2);
  testing::storeBottomUp(picture, sourcePixels);
  source.attachPixels(sourcePixels.data(), 6, 2);
  std::vector<std::uint32_t> mirrored = sourcePixels;
  mirrorRows(mirrored.data(), 6, 2, 24, 32);
  makeTarget(6, 2);
  // The destination's right edge is given, with a negative width.
  ASSERT_TRUE(target.scaleArea(6, 0, -6, 2, source, 0, 0, 6, 2));
  EXPECT_EQ(targetPixels, mirrored);
  makeTarget(6, 2);
  ASSERT_TRUE(target.scaleNearest(6, 0, -6, 2, source, 0, 0, 6, 2));
  EXPECT_EQ(targetPixels, mirrored);
}

TEST_F(FrameImageScalingTest, MirroredAreaScaleIsTheMirrorOfThePlainScale) {
  std::vector<int> reds(300);
  for (int i = 0; i < 300; ++i) reds[i] = (i * 37) % 256;
  makeRedRow(reds);
  makeTarget(160, 1);
  ASSERT_TRUE(target.scaleArea(0, 0, 160, 1, source, 0, 0, 300, 1));
  std::vector<std::uint32_t> plain = targetPixels;
  makeTarget(160, 1);
  ASSERT_TRUE(target.scaleArea(160, 0, -160, 1, source, 0, 0, 300, 1));
  for (int x = 0; x < 160; ++x) EXPECT_EQ(targetPixels[x], plain[159 - x]) << x;
}

TEST_F(FrameImageScalingTest, NearestScalePicksTheCentreOfEachStep) {
  makeRedRow({10, 20, 30, 40});
  makeTarget(2, 1);
  ASSERT_TRUE(target.scaleNearest(0, 0, 2, 1, source, 0, 0, 4, 1));
  EXPECT_EQ(redAt(0), 20);  // positions 1 and 3
  EXPECT_EQ(redAt(1), 40);
  makeTarget(4, 1);
  makeRedRow({10, 20});
  ASSERT_TRUE(target.scaleNearest(0, 0, 4, 1, source, 0, 0, 2, 1));
  EXPECT_EQ((std::vector<int>{redAt(0), redAt(1), redAt(2), redAt(3)}),
            (std::vector<int>{10, 10, 20, 20}));
}

TEST_F(FrameImageScalingTest, RejectedArgumentsLeaveTheTargetUntouched) {
  makeRedRow({10, 20, 30, 40});
  makeTarget(2, 1, 0xABCDEF);
  const std::vector<std::uint32_t> before = targetPixels;
  for (bool area : {false, true}) {
    auto scale = [&](int dx, int dy, int dw, int dh, double sx, double sy, double sw,
                     double sh) {
      return area ? target.scaleArea(dx, dy, dw, dh, source, sx, sy, sw, sh)
                  : target.scaleNearest(dx, dy, dw, dh, source, sx, sy, sw, sh);
    };
    EXPECT_FALSE(scale(0, 0, 0, 1, 0, 0, 4, 1));     // no width
    EXPECT_FALSE(scale(1, 0, 2, 1, 0, 0, 4, 1));     // past the right edge
    EXPECT_FALSE(scale(0, -1, 2, 1, 0, 0, 4, 1));    // above the image
    EXPECT_FALSE(scale(0, 0, 2, 1, -0.5, 0, 4, 1));  // window starts left of the source
    EXPECT_FALSE(scale(0, 0, 2, 1, 1, 0, 3.5, 1));   // window ends past the source
    EXPECT_FALSE(scale(0, 0, 2, 1, 0, 0, 4, 1.5));
    EXPECT_FALSE(scale(0, 0, 2, 1, 4.5, 0, 0, 1));
  }
  EXPECT_EQ(targetPixels, before);
}

TEST_F(FrameImageScalingTest, LetterboxedFrameKeepsBlackBordersAboveAndBelow) {
  // 640 x 480 into 160 x 160: rows 24 to 143 from the top carry the picture.
  sourcePixels.assign(640 * 480, rgb(200, 100, 50));
  source.attachPixels(sourcePixels.data(), 640, 480);
  makeTarget(160, 160, 0x123456);
  const Placement placement = computePlacement(640, 480, 1.0, 160, 160);
  ASSERT_TRUE(target.fillRect(0, 0, -1, -1, 0));
  ASSERT_TRUE(
      target.scaleArea(placement.destLeft, 160 - placement.destTop - placement.destHeight,
                       placement.destWidth, placement.destHeight, source, placement.srcX,
                       placement.srcY, placement.srcWidth, placement.srcHeight));
  for (int y = 0; y < 160; ++y) {
    const int rowFromTop = 159 - y;
    const std::uint32_t expected =
        rowFromTop >= 24 && rowFromTop < 144 ? rgb(200, 100, 50) : 0;
    EXPECT_EQ(targetPixels[y * 160 + 80], expected) << rowFromTop;
  }
}

TEST_F(FrameImageScalingTest, WindowEndingOnTheSourceEdgeReadsNothingPastIt) {
  // srcW 6.9 and srcH 8.8 round up in single precision, so the last footprints
  // would reach column 7 and row 9 of this 7 x 9 source. A white row lies in
  // memory right after the image; no result may take any of it in.
  sourcePixels.assign(7 * 10, rgb(1, 2, 3));
  std::fill(sourcePixels.begin() + 7 * 9, sourcePixels.end(), rgb(255, 255, 255));
  source.attachPixels(sourcePixels.data(), 7, 9);
  makeTarget(3, 4);
  ASSERT_TRUE(target.scaleArea(0, 0, 3, 4, source, 0.1, 0.2, 6.9, 8.8));
  for (std::uint32_t pixel : targetPixels) {
    // The single-precision inverse may land one below a flat channel.
    EXPECT_LE(pixel >> 16, 1u);
    EXPECT_GE((pixel >> 8) & 0xff, 1u);
    EXPECT_LE((pixel >> 8) & 0xff, 2u);
    EXPECT_GE(pixel & 0xff, 2u);
    EXPECT_LE(pixel & 0xff, 3u);
  }
}

TEST_F(FrameImageScalingTest, SinglePrecisionInverseCanDropTheUnroundedRedSum) {
  // White, 4 columns into 3. Column 2 has weights 0.6666667 and 1 (sum
  // 1.6666667); its inverse rounded to single precision is 0.59999996. Red uses
  // the exact sum 425.00002 and truncates to 254; green and blue use the sum
  // rounded to single precision, 425, and give 255.
  sourcePixels.assign(4, rgb(255, 255, 255));
  source.attachPixels(sourcePixels.data(), 4, 1);
  makeTarget(3, 1);
  ASSERT_TRUE(target.scaleArea(0, 0, 3, 1, source, 0, 0, 4, 1));
  EXPECT_EQ(targetPixels[0], rgb(255, 255, 255));
  EXPECT_EQ(targetPixels[1], rgb(255, 255, 255));
  EXPECT_EQ(targetPixels[2], rgb(254, 255, 255));
}

TEST_F(FrameImageScalingTest, AreaScaleGivesTheLongDoubleDefinitionsPixels) {
  // Shrinking, enlarging and fractional windows take the whole-number sums;
  // those marked false have weights too fine for them and take the extended
  // sums (the 1e-30 and 1e-25 ones with weights too far apart even for 128-bit
  // integers). Forced, the extended sums give the same pixels for every window;
  // on x86-64 both match the long-double loop.
  const int width = 41;
  const int height = 37;
  std::uint32_t seed = 12345;
  sourcePixels.resize(std::size_t(width) * height);
  for (std::uint32_t& pixel : sourcePixels) {
    seed = seed * 1664525u + 1013904223u;
    pixel = seed >> 8;
  }
  source.attachPixels(sourcePixels.data(), width, height);
  struct Window {
    int dstW, dstH;
    double srcX, srcY, srcW, srcH;
    bool wholeNumbers;
  };
  for (const Window& w :
       {Window{10, 9, 0, 0, 40, 36, true}, Window{13, 11, 0.5, 0.25, 40, 36.5, true},
        Window{64, 50, 0, 0, 41, 37, true}, Window{7, 5, 3.3, 1.7, 30.1, 29.9, true},
        Window{3, 4, 0.1, 0.2, 6.9, 8.8, true}, Window{5, 3, 1, 1, 4e-6, 3e-6, false},
        Window{6, 7, 30.5, 20.25, 1e-7, 3.3e-5, false},
        Window{4, 3, 0, 0, 1e-30, 2e-30, false}, Window{6, 5, 0, 0.5, 1e-25, 20, false},
        Window{9, 8, 0.7, 0.3, 40.2, 36.6, true},
        // Column footprints of 901 / 64 pixels: whole sums past 2^16 / 255.
        Window{2, 2, 0.5, 0, 28.15625, 36, true}}) {
    SCOPED_TRACE(std::to_string(w.dstW) + " x " + std::to_string(w.dstH) + " from " +
                 std::to_string(w.srcW) + " x " + std::to_string(w.srcH));
    FrameImage::AreaSums used = FrameImage::AreaSums::extended;
    makeTarget(w.dstW, w.dstH);
    ASSERT_TRUE(target.scaleAreaWith(0, 0, w.dstW, w.dstH, source, w.srcX, w.srcY, w.srcW,
                                     w.srcH, false, used));
    EXPECT_EQ(used == FrameImage::AreaSums::wholeNumbers, w.wholeNumbers);
    const std::vector<std::uint32_t> chosen = targetPixels;
    makeTarget(w.dstW, w.dstH);
    ASSERT_TRUE(target.scaleAreaWith(0, 0, w.dstW, w.dstH, source, w.srcX, w.srcY, w.srcW,
                                     w.srcH, true, used));
    EXPECT_EQ(used, FrameImage::AreaSums::extended);
    EXPECT_EQ(targetPixels, chosen);
#if LDBL_MANT_DIG == 64
    EXPECT_EQ(chosen, areaScaleByDefinition(sourcePixels, width, height, w.dstW, w.dstH,
                                            w.srcX, w.srcY, w.srcW, w.srcH));
#endif
  }
}

TEST_F(FrameImageScalingTest, BothSumsGiveTheSamePixelsForRandomWindows) {
  // Windows from a hundredth of a pixel to the whole source at random offsets:
  // the chosen sums (whole numbers for most) and the extended ones agree, and
  // on x86-64 both give the long-double loop's pixels.
  const int width = 29;
  const int height = 23;
  std::uint32_t seed = 99;
  const auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  sourcePixels.resize(std::size_t(width) * height);
  for (std::uint32_t& pixel : sourcePixels) pixel = next() | 0xf0f0f0;
  source.attachPixels(sourcePixels.data(), width, height);
  int whole = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int dstW = 1 + int(next() % 40);
    const int dstH = 1 + int(next() % 40);
    const double srcW =
        std::ldexp(double(next() % 4096) + 1, -int(next() % 12)) / 4096 * width;
    const double srcH =
        std::ldexp(double(next() % 4096) + 1, -int(next() % 12)) / 4096 * height;
    const double srcX = (width - srcW) * (next() % 1000) / 1000.0;
    const double srcY = (height - srcH) * (next() % 1000) / 1000.0;
    SCOPED_TRACE(std::to_string(trial));
    FrameImage::AreaSums used = FrameImage::AreaSums::extended;
    makeTarget(dstW, dstH);
    ASSERT_TRUE(target.scaleAreaWith(0, 0, dstW, dstH, source, srcX, srcY, srcW, srcH,
                                     false, used));
    whole += used == FrameImage::AreaSums::wholeNumbers ? 1 : 0;
    const std::vector<std::uint32_t> chosen = targetPixels;
    ASSERT_TRUE(target.scaleAreaWith(0, 0, dstW, dstH, source, srcX, srcY, srcW, srcH,
                                     true, used));
    ASSERT_EQ(targetPixels, chosen);
#if LDBL_MANT_DIG == 64
    ASSERT_EQ(chosen, areaScaleByDefinition(sourcePixels, width, height, dstW, dstH, srcX,
                                            srcY, srcW, srcH));
#endif
  }
  EXPECT_GT(whole, 30);
  EXPECT_LT(whole, 270);
}

}  // namespace
}  // namespace vantrel
