#include "audio/SincFilterBank.h"

#include <cmath>
#include <numbers>

#include "numeric/ExtendedFloat.h"

namespace vantrel {

std::vector<float> designLowPass(double cutoff, double fraction) {
  constexpr int kHalf = (kFilterTaps - 1) / 2;
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  std::vector<float> taps(kFilterTaps);
  double sum = 0.0;
  for (int i = 0; i < kFilterTaps; ++i) {
    const double x = i - fraction;
    const double a = kTwoPi * cutoff * (x - kHalf);
    const double sinc = std::fabs(a) < 1e-30 ? 1.0 : std::sin(a) / a;
    const double window = 0.42 - 0.5 * std::cos(kTwoPi * x / kWindowPeriod) +
                          0.08 * std::cos(2.0 * kTwoPi * x / kWindowPeriod);
    taps[i] = static_cast<float>(sinc * window);
    sum += sinc * window;  // the unrounded products, so the gain does not drift
  }
  const double scale = 1.0 / sum;
  for (float& tap : taps) tap = static_cast<float>(tap * scale);
  return taps;
}

SincFilterBank::SincFilterBank(int sourceRate, int outputRate, bool prefilter, bool boostOn,
                               int boostPercent)
    : coefficients(static_cast<std::size_t>(kFilterPhases) * kFilterTaps) {
  // Downsampling must remove what the output rate cannot carry; upsampling has
  // nothing above the source's Nyquist frequency to remove.
  const double cutoff =
      sourceRate > outputRate ? (outputRate * 0.5) / sourceRate : 0.5;
  // The boost factor uses 0.01 rounded to float, as a literal 0.01f; it and each
  // boosted coefficient are formed in extended precision, and each coefficient
  // is rounded to float once.
  const ExtendedFloat boost =
      multiply(ExtendedFloat::fromDouble(boostPercent), ExtendedFloat::fromDouble(0.01f));
  for (int k = 0; k < kFilterPhases; ++k) {
    const double fraction = k / static_cast<double>(kFilterPhases);
    std::vector<float> taps = designLowPass(cutoff, fraction);
    if (prefilter) {
      const std::vector<float> bass = designLowPass(kPrefilterHz / sourceRate, fraction);
      for (int t = 0; t < kFilterTaps; ++t) taps[t] = taps[t] - bass[t];
    }
    float* row = coefficients.data() + k * kFilterTaps;
    for (int t = 0; t < kFilterTaps; ++t) {
      row[t] = boostOn ? roundToFloat(multiply(ExtendedFloat::fromDouble(taps[t]), boost))
                       : taps[t];
    }
  }
}

}  // namespace vantrel
