#include "audio/FilterSum.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace vantrel {

namespace {

// Sums below 2^124 grains leave the 128-bit integer room for the rounding.
constexpr double kIntegerLimit = 0x1p124;
// A sample of 2^62 grains or more, or a tap of 2^125, is not taken as a whole number.
constexpr double kSampleLimit = 0x1p62;
constexpr int kTapBits = 125;
// Lanes of the double sum, added apart so that their additions overlap.
constexpr int kLanes = 4;

struct FloatParts {
  std::int64_t whole;  // signed, odd unless zero
  int grain;           // value = whole x 2^grain
};

// A finite float as an odd whole number times a power of two.
FloatParts partsOf(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const auto biased = static_cast<int>((bits >> 23) & 0xff);
  std::uint32_t significand = bits & 0x7fffff;
  int grain = -149;
  if (biased != 0) {
    significand |= 0x800000;
    grain = biased - 150;
  }
  if (significand == 0) return {0, 0};
  const int zeros = std::countr_zero(significand);
  const auto whole = static_cast<std::int64_t>(significand >> zeros);
  return {(bits >> 31) != 0 ? -whole : whole, grain + zeros};
}

// n rounded to 64 significant bits, to nearest, ties to even.
Int128 roundedSum(Int128 n) {
  const bool negative = n < 0;
  const ExtendedFloat r =
      ExtendedFloat::rounded(negative, negative ? -static_cast<UInt128>(n) : n, 0);
  const auto magnitude =
      static_cast<Int128>(static_cast<UInt128>(r.significand) << r.exponent);
  return negative ? -magnitude : magnitude;
}

}  // namespace

FilterSum::FilterSum(const float* coefficients, int windowSamples)
    : taps(coefficients),
      tapLow(static_cast<std::size_t>(kFilterPhases) * kFilterTaps),
      tapHigh(tapLow.size()),
      fixedSamples(static_cast<std::size_t>(windowSamples), 0) {
  for (int k = 0; k < kFilterPhases; ++k) {
    const float* row = taps + std::size_t(k) * kFilterTaps;
    int grain = 0;
    bool whole = true;
    for (int t = 0; t < kFilterTaps; ++t) {
      if (!std::isfinite(row[t])) whole = false;
      if (row[t] != 0.0f) grain = std::min(grain, partsOf(row[t]).grain);
    }
    double total = 0.0;
    for (int t = 0; t < kFilterTaps && whole; ++t) {
      const FloatParts parts = partsOf(row[t]);
      const int shift = parts.grain - grain;
      if (parts.whole != 0 && shift + 24 > kTapBits) {
        whole = false;
        break;
      }
      const Int128 value =
          parts.whole == 0 ? 0 : static_cast<Int128>(parts.whole) << shift;
      const auto low = static_cast<std::int64_t>(static_cast<std::uint64_t>(value));
      tapLow[std::size_t(k) * kFilterTaps + t] = low;
      tapHigh[std::size_t(k) * kFilterTaps + t] =
          static_cast<std::int64_t>((value - low) >> 64);
      total += std::fabs(std::ldexp(static_cast<double>(row[t]), -grain));
    }
    tapGrain[std::size_t(k)] = grain;
    tapTotal[std::size_t(k)] = total * (1.0 + 0x1p-40);  // covers the rounding of the sum
    tapsWhole[std::size_t(k)] = whole;
  }
  updatePhases();
}

void FilterSum::stored(const float* window, int from, int to) {
  int grain = sampleGrain;
  float largest = 0.0f;
  for (int i = from; i < to && samplesWhole; ++i) {
    if (!std::isfinite(window[i])) samplesWhole = false;
    if (window[i] != 0.0f) grain = std::min(grain, partsOf(window[i]).grain);
    largest = std::max(largest, std::fabs(window[i]));
  }
  if (samplesWhole && grain < sampleGrain) {
    // A finer sample: the whole numbers held so far move to the finer grain.
    const int shift = sampleGrain - grain;
    if (std::ldexp(largestSample, shift) >= kSampleLimit) {
      samplesWhole = false;
    } else {
      // Below the limit after the shift: a shift of 63 or more leaves only zeros.
      for (std::int64_t& sample : fixedSamples) sample = shift < 63 ? sample << shift : 0;
      largestSample = std::ldexp(largestSample, shift);
      sampleGrain = grain;
    }
  }
  if (samplesWhole &&
      std::ldexp(static_cast<double>(largest), -sampleGrain) >= kSampleLimit)
    samplesWhole = false;
  if (samplesWhole) {
    const double scale = std::ldexp(1.0, -sampleGrain);
    for (int i = from; i < to; ++i)
      fixedSamples[std::size_t(i)] = static_cast<std::int64_t>(window[i] * scale);
    largestSample = std::max(largestSample, static_cast<double>(largest) * scale);
  }
  updatePhases();
}

void FilterSum::shifted(int first, int end) {
  std::copy(fixedSamples.begin() + first, fixedSamples.begin() + end,
            fixedSamples.begin());
}

void FilterSum::updatePhases() {
  for (std::size_t k = 0; k < integerPhase.size(); ++k)
    integerPhase[k] =
        samplesWhole && tapsWhole[k] && tapTotal[k] * largestSample < kIntegerLimit;
}

ExtendedFloat FilterSum::at(const float* window, int first, int phase) const {
  const std::size_t row = std::size_t(phase) * kFilterTaps;
  if (!usesIntegers(phase)) {
    const float* phaseTaps = taps + row;
    ExtendedFloat sum;
    for (int t = 0; t < kFilterTaps; ++t) {
      // A product of two floats is exact in a double.
      const double product = static_cast<double>(window[first + t]) * phaseTaps[t];
      sum = add(sum, ExtendedFloat::fromDouble(product));
    }
    return sum;
  }
  const std::int64_t* samples = fixedSamples.data() + first;
  const std::int64_t* low = tapLow.data() + row;
  const std::int64_t* high = tapHigh.data() + row;
  Int128 sum = 0;
  for (int t = 0; t < kFilterTaps; ++t) {
    sum += static_cast<Int128>(samples[t]) * low[t] +
           (static_cast<Int128>(samples[t] * high[t]) << 64);
    // The sum needs rounding when it reaches past the low word (spill: the
    // magnitude above it) and the low word has bits set below its top 64 bits.
    const auto top = static_cast<std::int64_t>(sum >> 64);
    const auto spill = static_cast<std::uint64_t>(top ^ (top >> 63));
    if (spill != 0 && (static_cast<std::uint64_t>(sum) << std::countl_zero(spill)) != 0)
      sum = roundedSum(sum);
  }
  const bool negative = sum < 0;
  return ExtendedFloat::rounded(negative, negative ? -static_cast<UInt128>(sum) : sum,
                                sampleGrain + tapGrain[std::size_t(phase)]);
}

FilterSum::Bounds FilterSum::bounds(const float* window, int first, int phase) const {
  // Each product of two floats is exact in a double, and its magnitude at least
  // 2^-298, so no partial sum is subnormal and every addition rounds within a
  // relative 2^-53. Summed in any order, n products P of total magnitude M come
  // within (n - 1) 2^-53 M (1 + 2^-40) of their exact sum; at() rounds its
  // n - 1 additions within 2^-64 each, (n - 1) 2^-64 M (1 + 2^-40) in all. With
  // n - 1 <= 2^9 both together stay below (2^-44 + 2^-55) M (1 + 2^-40) <
  // 2^-43 M', where M', the magnitude summed in doubles, is at least M (1 - 2^-43).
  static_assert(kFilterTaps - 1 <= 512);
  const float* samples = window + first;
  const float* row = taps + std::size_t(phase) * kFilterTaps;
  std::array<double, kLanes> sum{};
  std::array<double, kLanes> size{};
  int t = 0;
  for (; t + kLanes <= kFilterTaps; t += kLanes) {
    for (int j = 0; j < kLanes; ++j) {
      const double product = static_cast<double>(samples[t + j]) * row[t + j];
      sum[std::size_t(j)] += product;
      size[std::size_t(j)] += std::fabs(product);
    }
  }
  for (; t < kFilterTaps; ++t) {
    const double product = static_cast<double>(samples[t]) * row[t];
    sum[0] += product;
    size[0] += std::fabs(product);
  }
  const double total = (sum[0] + sum[1]) + (sum[2] + sum[3]);
  const double error = ((size[0] + size[1]) + (size[2] + size[3])) * 0x1p-43;
  // One step further out covers the rounding of the bounds themselves.
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  return {std::nextafter(total - error, -kInfinity),
          std::nextafter(total + error, kInfinity)};
}

}  // namespace vantrel
