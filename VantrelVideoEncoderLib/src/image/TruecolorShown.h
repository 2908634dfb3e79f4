#pragma once

#include <array>
#include <cstdint>

namespace vantrel {

// How the player shows the samples of the truecolor layouts (codes 24 and
// 25): luma and the two colour differences as levels of 8-bit RGB, and the
// colour they make. Used where the encoder judges a truecolor picture by what
// the handheld will show of it.

// Luma sample (code 24: 16 + 24930 / 65536 of a level, code 25:
// 17 + 32896 / 65536) as a level.
double shownLuma(int sample, int depthCode);
// U and V samples as colour differences in levels, centred on 0. Code 24
// stores 15 linear steps of a 2 x 2 group's sums (the low 8 bits of U; V in
// multiples of 15), code 25 15 steps of the curve
// f(t) = 786432 t / (262144 + |t|) (U 1 to 15, V 16 + 15 x step).
double shownBlueDifference(int sample, int depthCode);
double shownRedDifference(int sample, int depthCode);

// The colour-difference step (0 to 14 as the formulas give them; code 24
// also -1 and 15) a stored U or V sample stands for, and the sample that
// stores a step.
int blueDifferenceStep(int sample, int depthCode);
int redDifferenceStep(int sample, int depthCode);
int blueDifferenceSample(int step, int depthCode);
int redDifferenceSample(int step, int depthCode);

// What the formulas store: code 24 luma 16 to 113 but multiples of 15 and
// colour-difference steps -1 to 15; code 25 luma 17 to 144 but 16 plus
// multiples of 15, steps 0 to 14.
int firstStoredLuma(int depthCode);
int lastStoredLuma(int depthCode);
bool lumaIsStored(int sample, int depthCode);
int firstDifferenceStep(int depthCode);
int lastDifferenceStep(int depthCode);

// What a level of each colour difference adds to the red, green and blue the
// player shows (luma adds a level to each).
inline constexpr std::array<double, 3> kBlueShares = {0.0, -0.344136, 1.772};
inline constexpr std::array<double, 3> kRedShares = {1.402, -0.714136, 0.0};

// The red, green and blue levels the player works out for luma and colour
// differences in levels, before it rounds and clamps them.
std::array<double, 3> shownChannels(double luma, double blueDifference,
                                    double redDifference);
// The pixel 0x00RRGGBB for luma and colour differences in levels, each
// channel rounded and clamped to 0 to 255.
std::uint32_t shownColour(double luma, double blueDifference, double redDifference);

}  // namespace vantrel
