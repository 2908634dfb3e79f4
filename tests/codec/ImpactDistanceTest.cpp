// The best encode's measure in the truecolor layouts: shown colour differences
// a step off their samples, the lumas it moves to make up for them show the
// picture better than the lumas' own samples.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "codec/ImpactDistance.h"
#include "image/ClosestSamples.h"
#include "image/ColourGrid.h"
#include "image/ColourReduction.h"
#include "image/TruecolorShown.h"

namespace vantrel {
namespace {

TEST(ImpactDistanceTest, MovedLumasMakeUpForColourDifferencesShownOff) {
  constexpr int kWidth = 32;
  constexpr int kHeight = 16;
  // A smooth picture with a little noise.
  std::vector<std::uint32_t> pixels(kWidth * kHeight);
  std::uint32_t state = 7;
  const auto noise = [&state] {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) & 7;
  };
  for (int i = 0; i < kWidth * kHeight; ++i) {
    const std::uint32_t x = i % kWidth;
    const std::uint32_t y = i / kWidth;
    pixels[i] = (60 + 4 * x + noise()) << 16 | (80 + 5 * y + noise()) << 8 |
                (150 - 3 * x + noise());
  }
  // Code 24, whose frames the best encode codes a second time with the lumas
  // moved.
  constexpr int kDepth = kTruecolorDepth;
  const int stored = storedFrameHeight(kDepth, kHeight);
  FrameImage work;
  work.attachPixels(pixels.data(), kWidth, kHeight);
  ClosestSamples closest;
  closest.build(nullptr, kDepth);
  std::vector<std::uint8_t> frame(kWidth * stored);
  std::vector<std::int32_t> leans(kWidth * stored);
  convertFrame(work, frame.data(), kDepth, false, kWidth, kHeight, nullptr, true,
               &closest, leans.data());
  ImpactDistance impact;
  impact.build(nullptr, kDepth, kWidth, stored);
  impact.setLeans(frame.data(), leans.data());

  // Every third U sample shown a step up.
  std::vector<std::uint8_t> shown = frame;
  for (int i = kWidth * kHeight; i < kWidth * stored; i += 3) {
    const int step = blueDifferenceStep(shown[i], kDepth);
    if (i % kWidth < kWidth / 2 && step < lastDifferenceStep(kDepth))
      shown[i] = static_cast<std::uint8_t>(blueDifferenceSample(step + 1, kDepth));
  }
  std::vector<std::uint8_t> moved;
  std::vector<std::int32_t> movedLeans;
  ASSERT_TRUE(impact.leansUnder(shown.data(), moved, movedLeans));
  ASSERT_EQ(moved.size(), frame.size());
  std::vector<std::uint8_t> made = shown;
  std::copy(moved.begin(), moved.begin() + kWidth * kHeight, made.begin());

  // What the player shows of a pixel, against the picture (row 0 of the
  // working image is its bottom).
  const auto error = [&](const std::vector<std::uint8_t>& samples, int i) {
    const std::uint8_t* chroma =
        samples.data() + kWidth * (kHeight + i / kWidth / 2) + i % kWidth / 2;
    const std::uint32_t colour =
        shownColour(shownLuma(samples[i], kDepth), shownBlueDifference(chroma[0], kDepth),
                    shownRedDifference(chroma[kWidth / 2], kDepth));
    return rgbSquaredDifference(colour,
                                pixels[(kHeight - 1 - i / kWidth) * kWidth + i % kWidth]);
  };
  std::int64_t before = 0;
  std::int64_t after = 0;
  int lumasMoved = 0;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    if (moved[i] == frame[i]) continue;
    EXPECT_TRUE(lumaIsStored(moved[i], kDepth)) << i;
    ++lumasMoved;
    before += error(shown, i);
    after += error(made, i);
  }
  EXPECT_GT(lumasMoved, 20);
  EXPECT_LT(after, before * 9 / 10);
  // Nothing but lumas moves.
  EXPECT_TRUE(std::equal(moved.begin() + kWidth * kHeight, moved.end(),
                         frame.begin() + kWidth * kHeight));
}

}  // namespace
}  // namespace vantrel
