#include "image/TruecolorShown.h"

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

constexpr int kPlusDepth = 25;
// A linear step: the sums of four pixels at 964 / 65536 per level.
constexpr double kLinearStep = 65536.0 / (4.0 * 964.0);
// The curve of the plus layout works on t = 4 x 962 x the difference.
constexpr double kPlusFactor = 4.0 * 962.0;

double linearDifference(int step) { return (step + 0.5 - 7.5) * kLinearStep; }

// Undoes u = (f(t) + 490620) >> 16 at the middle of step u.
double plusDifference(int step) {
  const double f = (step + 0.5) * 65536.0 - 490620.0;
  const double magnitude = std::min(std::fabs(f), 786000.0);
  const double t = 262144.0 * magnitude / (786432.0 - magnitude);
  return (f < 0 ? -t : t) / kPlusFactor;
}

std::uint32_t level(double value) {
  return static_cast<std::uint32_t>(std::clamp(std::floor(value + 0.5), 0.0, 255.0));
}

}  // namespace

double shownLuma(int sample, int depthCode) {
  return depthCode == kPlusDepth ? (sample - 17) * 65536.0 / 32896.0
                                 : (sample - 16) * 65536.0 / 24930.0;
}

int firstStoredLuma(int depthCode) { return depthCode == kPlusDepth ? 17 : 16; }

int lastStoredLuma(int depthCode) { return depthCode == kPlusDepth ? 144 : 113; }

bool lumaIsStored(int sample, int depthCode) {
  const int skipOrigin = depthCode == kPlusDepth ? 16 : 0;
  return sample >= firstStoredLuma(depthCode) && sample <= lastStoredLuma(depthCode) &&
         (sample - skipOrigin) % 15 != 0;
}

int firstDifferenceStep(int depthCode) { return depthCode == kPlusDepth ? 0 : -1; }

int lastDifferenceStep(int depthCode) { return depthCode == kPlusDepth ? 14 : 15; }

int blueDifferenceStep(int sample, int depthCode) {
  if (depthCode == kPlusDepth) return sample - 1;
  // Steps just below zero were stored as their low 8 bits.
  return sample > 127 ? sample - 256 : sample;
}

int redDifferenceStep(int sample, int depthCode) {
  if (depthCode == kPlusDepth) return (sample - 16) / 15;
  return (sample > 232 ? sample - 256 : sample) / 15;
}

int blueDifferenceSample(int step, int depthCode) {
  return depthCode == kPlusDepth ? step + 1 : step & 0xff;
}

int redDifferenceSample(int step, int depthCode) {
  return depthCode == kPlusDepth ? 16 + 15 * step : (15 * step) & 0xff;
}

double shownBlueDifference(int sample, int depthCode) {
  const int step = blueDifferenceStep(sample, depthCode);
  return depthCode == kPlusDepth ? plusDifference(step) : linearDifference(step);
}

double shownRedDifference(int sample, int depthCode) {
  const int step = redDifferenceStep(sample, depthCode);
  return depthCode == kPlusDepth ? plusDifference(step) : linearDifference(step);
}

std::array<double, 3> shownChannels(double luma, double blueDifference,
                                    double redDifference) {
  return {luma + kRedShares[0] * redDifference,
          luma + kBlueShares[1] * blueDifference + kRedShares[1] * redDifference,
          luma + kBlueShares[2] * blueDifference};
}

std::uint32_t shownColour(double luma, double blueDifference, double redDifference) {
  const std::array<double, 3> channels =
      shownChannels(luma, blueDifference, redDifference);
  return level(channels[0]) << 16 | level(channels[1]) << 8 | level(channels[2]);
}

}  // namespace vantrel
