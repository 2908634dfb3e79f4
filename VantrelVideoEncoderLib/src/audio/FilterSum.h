#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "audio/SincFilterBank.h"
#include "numeric/ExtendedFloat.h"

namespace vantrel {

// The resampler's dot products at extended precision: every product of a window
// sample and a tap exactly, the running sum rounded to 64 significant bits after
// each addition, taps in order. The result is the same on every processor.
//
// The window's samples and each phase's taps are also kept as whole numbers of
// their finest power of two (their grain). When those numbers are small enough
// that no sum of the phase can reach 2^124 grains (always, for the samples the
// converters make: whole multiples of 2^-16 within +-1), the sum runs in a
// 128-bit integer, which holds it exactly and is rounded, rarely, only when it
// spills past 64 significant bits. Other sums round every addition in
// ExtendedFloat, far more slowly, with the same result.
//
// Most uses need only a sample quantised from the sum, and so only bounds of
// it: a sum in doubles gives them at the cost of a plain dot product, and the
// exact sum is formed only when the quantised value differs between them.
class FilterSum {
 public:
  // low <= at(...) <= high; not finite when a sample or a product is not.
  struct Bounds {
    double low;
    double high;
  };

  // One sum of the filter, worked out only as far as its use needs.
  struct Output {
    const FilterSum& sums;
    const float* window;
    int first;
    int phase;

    ExtendedFloat exact() const { return sums.at(window, first, phase); }
    // quantise(exact()) for a quantise that is monotone in the sum (rising or
    // falling): from the bounds where quantise gives both the same value.
    template <typename Quantise>
    auto quantised(const Quantise& quantise) const {
      const Bounds range = sums.bounds(window, first, phase);
      if (std::isfinite(range.low) && std::isfinite(range.high)) {
        auto low = quantise(ExtendedFloat::fromDouble(range.low));
        if (low == quantise(ExtendedFloat::fromDouble(range.high))) return low;
      }
      return quantise(exact());
    }
  };

  // coefficients: kFilterPhases rows of kFilterTaps taps (SincFilterBank's
  // layout), which must outlive the object; windowSamples: the window's length.
  FilterSum(const float* coefficients, int windowSamples);

  // The window's samples from..to - 1 hold new values (read from window).
  void stored(const float* window, int from, int to);
  // The window's samples first..end - 1 moved down to 0..end - first - 1.
  void shifted(int first, int end);

  // Sum over t of window[first + t] x tap t of the phase.
  ExtendedFloat at(const float* window, int first, int phase) const;
  // Bounds of at(window, first, phase) from the same products summed in doubles.
  Bounds bounds(const float* window, int first, int phase) const;

  // Whether at() takes the integer way for this phase with the current window.
  bool usesIntegers(int phase) const {
    return integerPhase[static_cast<std::size_t>(phase)];
  }

 private:
  void updatePhases();

  const float* taps;
  // Tap t of phase k is (high x 2^64 + low) x 2^tapGrain[k].
  std::vector<std::int64_t> tapLow;
  std::vector<std::int64_t> tapHigh;
  std::array<int, kFilterPhases> tapGrain{};
  std::array<double, kFilterPhases> tapTotal{};  // sum of |tap| in grains, an upper bound
  std::array<bool, kFilterPhases> tapsWhole{};
  // Window sample i is fixedSamples[i] x 2^sampleGrain while samplesWhole.
  std::vector<std::int64_t> fixedSamples;
  int sampleGrain = 0;
  double largestSample = 0.0;  // largest |fixedSamples[i]| ever stored
  bool samplesWhole = true;
  std::array<bool, kFilterPhases> integerPhase{};
};

}  // namespace vantrel
