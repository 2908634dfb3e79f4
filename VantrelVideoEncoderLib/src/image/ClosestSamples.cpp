#include "image/ClosestSamples.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "image/ColourGrid.h"
#include "image/ColourReduction.h"
#include "image/TruecolorShown.h"

// The build defines VANTREL_X86_VECTORS where the AVX2 trial is compiled
// (64-bit x86); elsewhere the plain loop is the only one.
#if VANTREL_X86_VECTORS
#include "image/ClosestSamplesAvx2.h"
#endif

namespace vantrel {

namespace {

constexpr int kFirstColour = 1;
constexpr int kLastColour = 254;

}  // namespace

void ClosestSamples::build(const std::uint32_t* palette, int depthCode) {
  depth = depthCode;
  usePlainLoops(false);
  if (depthCode >= kTruecolorDepth) {
    firstLuma = firstStoredLuma(depthCode);
    lastLuma = lastStoredLuma(depthCode);
    firstStep = firstDifferenceStep(depthCode);
    lastStep = lastDifferenceStep(depthCode);
    for (int s = 0; s < 256; ++s) {
      lumaLevel[s] = shownLuma(s, depthCode);
      blueLevel[s] = shownBlueDifference(s, depthCode);
      redLevel[s] = shownRedDifference(s, depthCode);
      lumaStored[s] = lumaIsStored(s, depthCode) ? 1 : 0;
    }
    lumaScale = 1.0 / (3.0 * lumaLevel[firstLuma + 1]);
    const int steps = lastStep - firstStep + 1;
    shownByPair.resize(static_cast<std::size_t>(steps) * steps * 256);
    for (int us = firstStep; us <= lastStep; ++us) {
      for (int vs = firstStep; vs <= lastStep; ++vs) {
        const Shift shift = shiftOf(blueLevel[blueDifferenceSample(us, depthCode)],
                                    redLevel[redDifferenceSample(vs, depthCode)]);
        std::uint32_t* shown = shownByPair.data() + pairStart(us, vs);
        for (int luma = 0; luma < 256; ++luma) shown[luma] = shownOf(lumaLevel[luma], shift);
      }
    }
    return;
  }
  for (int i = 0; i < 256; ++i) entries[i] = palette[i] & 0xffffff;
  // A movie's pixels fall in few of the cells: each cell's list is made when
  // a pixel first falls in it.
  cellLists.assign(kFineGridCells, CellList{});
  candidates.clear();
}

void ClosestSamples::usePlainLoops(bool plain) {
#if VANTREL_X86_VECTORS
  vectors = !plain && closest_samples_avx2::available();
#else
  (void)plain;
#endif
}

void ClosestSamples::listCandidates(int cell) const {
  // The cell holds the pixels of a box, 8 levels a side. An entry can be
  // nearest to one of them only if its least distance to the box is no more
  // than the greatest distance to the box of the entry whose greatest
  // distance is least: that entry is at least as near to every pixel.
  const std::array<int, 3> low = {((cell >> 10) & 31) * 8, ((cell >> 5) & 31) * 8,
                                  (cell & 31) * 8};
  std::array<int, 256> least{};
  int bound = std::numeric_limits<int>::max();
  for (int e = kFirstColour; e <= kLastColour; ++e) {
    const std::uint32_t word = entries[e];
    const std::array<int, 3> level = {int((word >> 16) & 0xff), int((word >> 8) & 0xff),
                                      int(word & 0xff)};
    int near = 0;
    int far = 0;
    for (int c = 0; c < 3; ++c) {
      const int below = low[c] - level[c];           // > 0: the entry is below the box
      const int above = level[c] - (low[c] + 7);     // > 0: the entry is above it
      const int outside = std::max({below, above, 0});
      const int across = std::max(std::abs(level[c] - low[c]), std::abs(level[c] - low[c] - 7));
      near += outside * outside;
      far += across * across;
    }
    least[e] = near;
    bound = std::min(bound, far);
  }
  CellList& list = cellLists[cell];
  list.start = static_cast<std::int32_t>(candidates.size());
  for (int e = kFirstColour; e <= kLastColour; ++e) {
    if (least[e] <= bound) candidates.push_back(static_cast<std::uint8_t>(e));
  }
  list.count = static_cast<std::int32_t>(candidates.size()) - list.start;
}

std::uint8_t ClosestSamples::nearestEntry(std::uint32_t pixel) const {
  const int cell = fineCellIndex(pixel);
  if (cellLists[cell].count == 0) listCandidates(cell);
  const CellList& list = cellLists[cell];
  int best = kFirstColour;
  int bestError = std::numeric_limits<int>::max();
  for (std::int32_t k = list.start; k < list.start + list.count; ++k) {
    const int error = rgbSquaredDifference(pixel, entries[candidates[k]]);
    // Candidates are in entry order: a tie keeps the lower entry.
    if (error < bestError) {
      bestError = error;
      best = candidates[k];
    }
  }
  return static_cast<std::uint8_t>(best);
}

void ClosestSamples::groupLeans(const std::uint32_t* group, const int* lumas, int u,
                                int v, std::int32_t* lumaLeans, std::int32_t& uLean,
                                std::int32_t& vLean) const {
  const double blue = blueLevel[u & 0xff];
  const double red = redLevel[v & 0xff];
  double blueSlope = 0.0;
  double redSlope = 0.0;
  for (int p = 0; p < 4; ++p) {
    const double level = lumaLevel[lumas[p]];
    const std::array<double, 3> shown = shownChannels(level, blue, red);
    const int source[3] = {int((group[p] >> 16) & 0xff), int((group[p] >> 8) & 0xff),
                           int(group[p] & 0xff)};
    double lumaSlope = 0.0;
    for (int c = 0; c < 3; ++c) {
      if (shown[c] <= 0.0 || shown[c] >= 255.0) {
        // Where the player clamps a channel the error is not the smooth
        // curve the leans describe: such groups are judged by their
        // samples alone.
        std::fill(lumaLeans, lumaLeans + 4, 0);
        uLean = 0;
        vLean = 0;
        return;
      }
      const double residual = shown[c] - source[c];
      lumaSlope += 2.0 * residual;
      blueSlope += 2.0 * kBlueShares[c] * residual;
      redSlope += 2.0 * kRedShares[c] * residual;
    }
    lumaLeans[p] = static_cast<std::int32_t>(std::lround(16.0 * lumaSlope));
  }
  uLean = static_cast<std::int32_t>(std::lround(16.0 * blueSlope));
  vLean = static_cast<std::int32_t>(std::lround(16.0 * redSlope));
}

ClosestSamples::Shift ClosestSamples::shiftOf(double blue, double red) {
  return {kRedShares[0] * red,
          kBlueShares[1] * blue,
          kRedShares[1] * red,
          kBlueShares[2] * blue,
          (kRedShares[0] + kRedShares[1]) * red,
          (kBlueShares[2] + kBlueShares[1]) * blue};
}

ClosestSamples::Pixel ClosestSamples::pixelOf(std::uint32_t pixel) {
  const int red = int((pixel >> 16) & 0xff);
  const int green = int((pixel >> 8) & 0xff);
  const int blue = int(pixel & 0xff);
  return {red, green, blue, double(red) + double(green) + double(blue)};
}

std::uint32_t ClosestSamples::shownOf(double level, const Shift& shift) {
  // shownColour's rounding and clamping.
  const auto channel = [](double value) {
    return static_cast<std::uint32_t>(value <= 0.0     ? 0
                                      : value >= 254.5 ? 255
                                                       : static_cast<int>(value + 0.5));
  };
  return channel(level + shift.red) << 16 |
         channel(level + shift.greenOfBlue + shift.greenOfRed) << 8 |
         channel(level + shift.blue);
}

int ClosestSamples::shownError(const Pixel& pixel, std::uint32_t shown) {
  const int red = static_cast<int>(shown >> 16) - pixel.red;
  const int green = static_cast<int>((shown >> 8) & 0xff) - pixel.green;
  const int blue = static_cast<int>(shown & 0xff) - pixel.blue;
  return red * red + green * green + blue * blue;
}

int ClosestSamples::lumaError(const Pixel& pixel, int luma, const Shift& shift) const {
  return shownError(pixel, shownOf(lumaLevel[luma], shift));
}

int ClosestSamples::bestLuma(const Pixel& pixel, const Shift& shift,
                             const std::uint32_t* shown, int& error) const {
  // Unclamped, the best luma level is the mean over the channels of the pixel
  // less each channel's colour-difference term; the stored values just
  // below and just above it are tried (stepping over the values the layout
  // does not store).
  const int below =
      firstLuma + static_cast<int>(std::floor(
                      (pixel.sum - shift.lumaOfRed - shift.lumaOfBlue) * lumaScale));
  int low = std::clamp(below, firstLuma, lastLuma);
  if (!lumaStored[low]) low = low > firstLuma ? low - 1 : low + 1;
  int high = std::clamp(below + 1, firstLuma, lastLuma);
  if (!lumaStored[high]) high = high < lastLuma ? high + 1 : high - 1;
  error = shownError(pixel, shown[low]);
  if (high == low) return low;
  const int highError = shownError(pixel, shown[high]);
  if (highError < error) {
    error = highError;
    return high;
  }
  return low;
}

void ClosestSamples::refineGroup(const std::uint32_t* group, int* lumas, int& u, int& v) const {
  const int u0 = blueDifferenceStep(u, depth);
  const int v0 = redDifferenceStep(v, depth);
  const Pixel pixels[4] = {pixelOf(group[0]), pixelOf(group[1]), pixelOf(group[2]),
                           pixelOf(group[3])};
  int bestError = 0;
  {
    const Shift shift = shiftOf(blueLevel[u & 0xff], redLevel[v & 0xff]);
    for (int p = 0; p < 4; ++p) bestError += lumaError(pixels[p], lumas[p], shift);
  }
  // One colour difference at a time: U a step either side with V as the
  // formulas gave it, then V a step either side with the better U.
  const auto tryPair = [&](int uStepValue, int vStepValue) {
    if (uStepValue < firstStep || uStepValue > lastStep || vStepValue < firstStep ||
        vStepValue > lastStep) {
      return;
    }
    const int uSampleValue = blueDifferenceSample(uStepValue, depth);
    const int vSampleValue = redDifferenceSample(vStepValue, depth);
    const Shift shift = shiftOf(blueLevel[uSampleValue], redLevel[vSampleValue]);
    const std::uint32_t* shown = shownByPair.data() + pairStart(uStepValue, vStepValue);
    int total = 0;
    int chosen[4];
#if VANTREL_X86_VECTORS
    if (vectors) {
      total = closest_samples_avx2::bestLumas(
          {group, shift.lumaOfRed, shift.lumaOfBlue, lumaScale, firstLuma, lastLuma,
           lumaStored.data(), shown},
          chosen);
    }
#endif
    for (int p = 0; !vectors && p < 4 && total < bestError; ++p) {
      int error = 0;
      chosen[p] = bestLuma(pixels[p], shift, shown, error);
      total += error;
    }
    if (total < bestError) {
      bestError = total;
      u = uSampleValue;
      v = vSampleValue;
      for (int p = 0; p < 4; ++p) lumas[p] = chosen[p];
    }
  };
  for (const int us : {u0, u0 - 1, u0 + 1}) tryPair(us, v0);
  const int u1 = blueDifferenceStep(u, depth);
  for (const int vs : {v0 - 1, v0 + 1}) tryPair(u1, vs);
}

}  // namespace vantrel
