// The best encode's colour reduction: the exact nearest palette entry, truecolor
// samples never further from the picture than the formulas', and a palette
// refinement that never moves the pixels further from their entries.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "TestPictures.h"
#include "image/ClosestSamples.h"
#include "image/ColourGrid.h"
#include "image/ColourReduction.h"
#include "image/PaletteRefinement.h"
#include "image/TruecolorShown.h"

namespace vantrel {
namespace {

std::uint32_t randomPixel(std::uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

std::array<std::uint32_t, 256> randomPalette(std::uint32_t seed) {
  std::array<std::uint32_t, 256> palette{};
  for (std::uint32_t& entry : palette) entry = randomPixel(seed);
  palette[0] = 0xFFFFFF;
  return palette;
}

int nearestByAll(const std::array<std::uint32_t, 256>& palette, std::uint32_t pixel) {
  int best = 1;
  for (int e = 2; e <= 254; ++e) {
    if (rgbSquaredDifference(pixel, palette[e]) < rgbSquaredDifference(pixel, palette[best]))
      best = e;
  }
  return best;
}

std::int64_t totalError(const std::array<std::uint32_t, 256>& palette,
                        const std::vector<std::uint32_t>& pixels) {
  std::int64_t sum = 0;
  for (const std::uint32_t pixel : pixels)
    sum += rgbSquaredDifference(pixel, palette[nearestByAll(palette, pixel)]);
  return sum;
}

TEST(ClosestSamplesTest, NearestEntryIsTheNearestOfAllEntries) {
  // A palette of a few colours leaves most cells far from every entry; a
  // random one puts many entries near most cells.
  std::array<std::uint32_t, 256> sparse{};
  sparse.fill(0x102030);
  sparse[7] = 0xF0E0D0;
  sparse[200] = 0x20F020;
  for (const auto& palette : {randomPalette(5), sparse}) {
    ClosestSamples closest;
    closest.build(palette.data(), kEnhancedDepth);
    std::uint32_t state = 99;
    for (int i = 0; i < 20000; ++i) {
      const std::uint32_t pixel = randomPixel(state) & 0xFFFFFF;
      ASSERT_EQ(closest.nearestEntry(pixel), nearestByAll(palette, pixel)) << std::hex << pixel;
    }
  }
}

TEST(ClosestSamplesTest, TruecolorSamplesAreNeverFurtherThanTheFormulas) {
  constexpr int kWidth = 32;
  constexpr int kHeight = 16;
  std::vector<std::uint32_t> pixels(kWidth * kHeight);
  std::uint32_t state = 7;
  for (std::uint32_t& pixel : pixels) pixel = randomPixel(state) & 0xFFFFFF;
  pixels[0] = pixels[1] = 0xFFFF00;  // yellow: code 24's U of -1
  FrameImage work;
  work.attachPixels(pixels.data(), kWidth, kHeight);
  for (const int depth : {kTruecolorDepth, kTruecolorPlusDepth}) {
    SCOPED_TRACE(depth);
    ClosestSamples closest;
    closest.build(nullptr, depth);
    const int stored = storedFrameHeight(depth, kHeight);
    std::vector<std::uint8_t> byFormula(kWidth * stored);
    std::vector<std::uint8_t> byClosest(kWidth * stored);
    convertFrame(work, byFormula.data(), depth, false, kWidth, kHeight, nullptr, true);
    convertFrame(work, byClosest.data(), depth, false, kWidth, kHeight, nullptr, true, &closest);
    // The plain loop chooses the same samples as the trial of four pixels at once.
    ClosestSamples plain;
    plain.build(nullptr, depth);
    plain.usePlainLoops(true);
    std::vector<std::uint8_t> byPlain(kWidth * stored);
    convertFrame(work, byPlain.data(), depth, false, kWidth, kHeight, nullptr, true,
                 &plain);
    EXPECT_EQ(byPlain, byClosest);
    // What the player shows of a frame, against the picture (row 0 of the
    // working image is its bottom).
    const auto error = [&](const std::vector<std::uint8_t>& frame, int x, int y) {
      const std::uint8_t* chroma = frame.data() + kWidth * (kHeight + y / 2) + x / 2;
      const std::uint32_t shown = shownColour(shownLuma(frame[y * kWidth + x], depth),
                                              shownBlueDifference(chroma[0], depth),
                                              shownRedDifference(chroma[kWidth / 2], depth));
      return rgbSquaredDifference(shown, pixels[(kHeight - 1 - y) * kWidth + x]);
    };
    std::int64_t formulaTotal = 0;
    std::int64_t closestTotal = 0;
    for (int y = 0; y < kHeight; y += 2) {
      for (int x = 0; x < kWidth; x += 2) {
        int formulaGroup = 0;
        int closestGroup = 0;
        for (int p = 0; p < 4; ++p) {
          formulaGroup += error(byFormula, x + p % 2, y + p / 2);
          closestGroup += error(byClosest, x + p % 2, y + p / 2);
          // Only luma values the layout stores.
          const std::uint8_t luma = byClosest[(y + p / 2) * kWidth + x + p % 2];
          const std::uint8_t lowest = depth == kTruecolorDepth ? 16 : 17;
          EXPECT_GE(luma, lowest);
          EXPECT_NE((luma - (depth == kTruecolorDepth ? 0 : 16)) % 15, 0);
        }
        EXPECT_LE(closestGroup, formulaGroup) << x << "," << y;
        formulaTotal += formulaGroup;
        closestTotal += closestGroup;
      }
    }
    EXPECT_LT(closestTotal, formulaTotal * 9 / 10);

    // Each sample's lean says which way its error grows faster: a sample a
    // step up costs more than a step down exactly when it leans up. (On a
    // smooth picture: where a group's pixels differ wildly, the rounding of
    // the shown channels outweighs a step's change.)
    const std::vector<std::uint32_t> random = pixels;
    for (int i = 0; i < kWidth * kHeight; ++i) {
      const int x = i % kWidth;
      const int y = i / kWidth;
      pixels[i] =
          static_cast<std::uint32_t>((60 + 4 * x + (randomPixel(state) & 7)) << 16 |
                                     (80 + 5 * y + (randomPixel(state) & 7)) << 8 |
                                     (150 - 3 * x + (randomPixel(state) & 7)));
    }
    std::vector<std::int32_t> leans(kWidth * stored);
    convertFrame(work, byClosest.data(), depth, false, kWidth, kHeight, nullptr, true,
                 &closest, leans.data());
    const auto groupError = [&](const std::vector<std::uint8_t>& frame, int x, int y) {
      int sum = 0;
      for (int p = 0; p < 4; ++p) sum += error(frame, x + p % 2, y + p / 2);
      return sum;
    };
    int checked = 0;
    for (int y = 0; y < kHeight; y += 2) {
      for (int x = 0; x < kWidth; x += 2) {
        const int lumaIndex = y * kWidth + x;
        const int uIndex = kWidth * (kHeight + y / 2) + x / 2;
        for (const int index : {lumaIndex, uIndex}) {
          if (std::abs(leans[index]) < 16 * 8) continue;
          const int sample = byClosest[index];
          std::vector<std::uint8_t> up = byClosest;
          std::vector<std::uint8_t> down = byClosest;
          if (index == lumaIndex) {
            int higher = sample + 1;
            int lower = sample - 1;
            while (higher < 256 && !lumaIsStored(higher, depth)) ++higher;
            while (lower >= 0 && !lumaIsStored(lower, depth)) --lower;
            if (higher > 255 || lower < 0) continue;
            up[index] = static_cast<std::uint8_t>(higher);
            down[index] = static_cast<std::uint8_t>(lower);
          } else {
            const int step = blueDifferenceStep(sample, depth);
            if (step <= firstDifferenceStep(depth) || step >= lastDifferenceStep(depth))
              continue;
            up[index] = static_cast<std::uint8_t>(blueDifferenceSample(step + 1, depth));
            down[index] =
                static_cast<std::uint8_t>(blueDifferenceSample(step - 1, depth));
          }
          // The slope at the sample of the parabola through the three errors
          // (the steps of code 25's colour differences are unequal), times
          // the product of the steps and their sum.
          const auto level = [&](int value) {
            return index == lumaIndex ? shownLuma(value, depth)
                                      : shownBlueDifference(value, depth);
          };
          const double above = level(up[index]) - level(sample);
          const double below = level(sample) - level(down[index]);
          const double at = groupError(byClosest, x, y);
          const double slope = below * below * (groupError(up, x, y) - at) -
                               above * above * (groupError(down, x, y) - at);
          EXPECT_EQ(slope > 0, leans[index] > 0)
              << x << "," << y << (index == lumaIndex ? " luma" : " U");
          ++checked;
        }
      }
    }
    EXPECT_GT(checked, 20);
    std::copy(random.begin(), random.end(), pixels.begin());
  }
}

TEST(ClosestSamplesTest, RefinedPaletteHoldsThePixelsCloser) {
  // Two clusters of colours, and a palette of entries between them.
  std::vector<std::uint32_t> pixels;
  std::uint32_t state = 3;
  for (int i = 0; i < 4000; ++i) {
    const std::uint32_t jitter = randomPixel(state) & 0x0F0F0F;
    pixels.push_back((i % 2 == 0 ? 0x204060u : 0xC0A080u) + jitter);
  }
  FrameImage picture;
  picture.attachPixels(pixels.data(), 80, 50);
  PaletteRefinement refinement;
  refinement.addPicture(picture);
  std::array<std::uint32_t, 256> palette = randomPalette(11);
  const std::array<std::uint32_t, 256> before = palette;
  const std::int64_t errorBefore = totalError(palette, pixels);
  refinement.refine(palette.data(), 4);
  EXPECT_LT(totalError(palette, pixels), errorBefore / 2);
  // Entries 0 and 255 and the entries no pixel is nearest to stay.
  EXPECT_EQ(palette[0], before[0]);
  EXPECT_EQ(palette[255], before[255]);
  int moved = 0;
  for (int e = 1; e <= 254; ++e) moved += palette[e] != before[e];
  EXPECT_GT(moved, 0);
  EXPECT_LT(moved, 100);
}

}  // namespace
}  // namespace vantrel
