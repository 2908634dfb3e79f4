#pragma once

// The luma trial of the truecolor conversion (ClosestSamples::refineGroup) in
// AVX2, the four pixels of a group at once, for processors that have it. It
// gives exactly what the plain loop gives: the same double arithmetic, the
// same two lumas tried, the same choice between them. Call it only when
// available() is true.

#include <cstdint>

namespace vantrel::closest_samples_avx2 {

// True when the processor runs AVX2.
bool available();

// One pair of colour differences tried for a group's four pixels.
struct LumaTrial {
  const std::uint32_t* pixels;  // the pixels, 0x..RRGGBB
  double lumaOfRed;             // what the pair takes off a pixel's sum
  double lumaOfBlue;
  double scale;  // from a channel sum to luma steps
  int firstLuma;
  int lastLuma;
  const std::int32_t* stored;  // per luma sample: nonzero when stored
  const std::uint32_t* shown;  // per luma sample: the colour shown
};

// For each pixel, the luma just below and just above the unclamped best
// (stepping over lumas not stored), the one shown closer (the lower on a
// tie) written to chosen; returns the four squared RGB differences summed.
int bestLumas(const LumaTrial& trial, int* chosen);

}  // namespace vantrel::closest_samples_avx2
