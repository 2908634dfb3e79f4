#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "audio/FilterSum.h"
#include "audio/Resampler.h"
#include "audio/SampleQuantiser.h"

namespace vantrel {
namespace {

constexpr int kWindow = 2048;

class FilterSumTest : public ::testing::Test {
 protected:
  // Floats whose exponents spread over -spread..spread around 2^0, a quarter of
  // them zero, and every eighth a whole multiple of 2^-16 (the converters' grid).
  static std::vector<float> wild(int count, int spread, std::mt19937& random) {
    std::vector<float> values(static_cast<std::size_t>(count));
    std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-spread, spread);
    for (float& v : values) {
      const unsigned pick = random() % 8;
      v = pick < 2 ? 0.0f : std::ldexp(mantissa(random), exponent(random));
      if (pick == 2) v = std::round(v * 65536.0f) / 65536.0f;
    }
    return values;
  }
  // count whole multiples of 2^-16 within +-1, as the converters make them.
  static std::vector<float> pcm(int count, std::mt19937& random) {
    std::vector<float> values(static_cast<std::size_t>(count));
    for (float& v : values)
      v = static_cast<float>(int(random() % 131073) - 65536) / 65536.0f;
    return values;
  }
};

TEST_F(FilterSumTest, IntegerSumsRoundAsEveryAdditionRoundedInTurn) {
  // On every processor: the integer way against ExtendedFloat additions.
  std::mt19937 random(5);
  const SincFilterBank bank(48000, 20000, true, true, 250);
  std::vector<float> window = pcm(kWindow, random);
  FilterSum sums(bank.phase(0), kWindow);
  sums.stored(window.data(), 0, kWindow);
  for (int k = 0; k < kFilterPhases; ++k) {
    ASSERT_TRUE(sums.usesIntegers(k));
    for (int first = 0; first + kFilterTaps <= kWindow; first += 53) {
      ExtendedFloat expected;
      for (int t = 0; t < kFilterTaps; ++t) {
        const double product =
            static_cast<double>(window[std::size_t(first + t)]) * bank.phase(k)[t];
        expected = add(expected, ExtendedFloat::fromDouble(product));
      }
      ASSERT_EQ(compare(sums.at(window.data(), first, k), expected), 0)
          << k << " " << first;
    }
  }
  // A sample far finer than the rest moves the window off the integer way.
  window[100] = std::ldexp(1.0f, -140);
  sums.stored(window.data(), 100, 101);
  EXPECT_FALSE(sums.usesIntegers(0));
}

// The sum as at() must give it: every addition rounded in ExtendedFloat in turn.
ExtendedFloat extendedSum(const float* samples, const float* taps) {
  ExtendedFloat sum;
  for (int t = 0; t < kFilterTaps; ++t)
    sum = add(sum, ExtendedFloat::fromDouble(static_cast<double>(samples[t]) * taps[t]));
  return sum;
}

double toDouble(const ExtendedFloat& a) {
  const double magnitude = std::ldexp(static_cast<double>(a.significand), a.exponent);
  return a.negative ? -magnitude : magnitude;
}

TEST_F(FilterSumTest, QuantisedFromBoundsAsFromTheExactSumAtEverySourceRate) {
  // Source rates from 8000 to 96000 Hz (20000: phase 0 only) into both output
  // rates, the positions and phases as the resampler steps them, over random,
  // full-scale alternating and full-scale constant windows (the last sums next
  // to the clip edge), and over windows whose sum of one position and phase is
  // moved onto an edge between two quantised values, for every phase: there
  // the bounds cannot decide, and the exact sum must.
  constexpr int kSize = 1100;
  const auto signed16 = [](const ExtendedFloat& y) { return int(quantiseSigned16(y)); };
  const auto inverted = [](const ExtendedFloat& y) { return int(quantiseSigned16(-y)); };
  const auto unsigned8 = [](const ExtendedFloat& y) { return int(quantiseUnsigned8(y)); };
  std::mt19937 random(13);
  int sums = 0;
  int exactSums = 0;  // sums whose bounds left two quantised values open
  const auto check = [&](const FilterSum& filter, const std::vector<float>& window,
                         const float* bankTaps, int first, int phase) {
    const FilterSum::Output output{filter, window.data(), first, phase};
    const ExtendedFloat exact =
        extendedSum(window.data() + first, bankTaps + std::size_t(phase) * kFilterTaps);
    const FilterSum::Bounds range = filter.bounds(window.data(), first, phase);
    ++sums;
    if (signed16(ExtendedFloat::fromDouble(range.low)) !=
        signed16(ExtendedFloat::fromDouble(range.high)))
      ++exactSums;
    ASSERT_EQ(output.quantised(signed16), signed16(exact)) << first << " " << phase;
    ASSERT_EQ(output.quantised(inverted), inverted(exact)) << first << " " << phase;
    ASSERT_EQ(output.quantised(unsigned8), unsigned8(exact)) << first << " " << phase;
  };
  int edgeSums = 0;
  for (const int rate : {8000, 11025, 16000, 20000, 22050, 24000, 32000, 37800, 44100,
                         48000, 64000, 88200, 96000}) {
    for (const int outputRate : {10000, 20000}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz to " + std::to_string(outputRate));
      const bool boost = rate % 3 == 0;
      const SincFilterBank bank(rate, outputRate, rate % 2 == 0, boost,
                                boost ? 300 : 100);
      const std::int32_t step = mulDiv(rate, 65536, outputRate);
      std::vector<std::vector<float>> windows = {pcm(kSize, random),
                                                 std::vector<float>(kSize, 1.0f),
                                                 std::vector<float>(kSize, -1.0f)};
      for (int i = 1; i < kSize; i += 2) windows[2][std::size_t(i)] = 1.0f;
      for (const std::vector<float>& window : windows) {
        FilterSum filter(bank.phase(0), kSize);
        filter.stored(window.data(), 0, kSize);
        for (std::int64_t p = 0; (p >> 16) + kFilterTaps <= kSize; p += step)
          check(filter, window, bank.phase(0), int(p >> 16), int((p >> 12) & 15));
      }
      for (int k = 0; k < kFilterPhases; ++k) {
        // Three samples, zero at first, under large taps take the rest of the
        // distance to the edge in turn, each leaving 2^-24 of what it was set.
        std::vector<float> window = pcm(kSize, random);
        const int first = int(random() % (kSize - kFilterTaps));
        const float* row = bank.phase(k);
        const bool eightBit = k % 2 != 0;
        const int centre = (kFilterTaps - 1) / 2;
        for (const int t : {centre - 1, centre, centre + 1})
          window[std::size_t(first + t)] = 0;
        // An edge inside +-1, where the quantised values change.
        const double start =
            std::clamp(toDouble(extendedSum(window.data() + first, row)), -0.9, 0.9);
        const double edge = eightBit ? (std::floor(start * 127.5 + 128.0) - 128.0) / 127.5
                                     : (std::floor(start * 32767.0) + 0.5) / 32767.0;
        for (const int t : {centre - 1, centre, centre + 1}) {
          const ExtendedFloat gap = add(ExtendedFloat::fromDouble(edge),
                                        -extendedSum(window.data() + first, row));
          window[std::size_t(first + t)] = static_cast<float>(toDouble(gap) / row[t]);
        }
        FilterSum filter(bank.phase(0), kSize);
        filter.stored(window.data(), 0, kSize);
        const int before = exactSums;
        check(filter, window, bank.phase(0), first, k);
        if (!eightBit) edgeSums += exactSums - before;
      }
    }
  }
  {
    // The double sum's own worst case, next to an edge: taps of 1, a sum just
    // below the edge in its first four samples, then samples of 0.49 of the
    // first sum's last bit, every one lost to the double sum (2^-47 in all) and
    // kept by the exact one, which crosses the edge.
    const std::vector<float> ones(kFilterPhases * kFilterTaps, 1.0f);
    const double edge = (18022 - 0.5) / 32767.0;
    const double below = edge - 0x1.8p-48;
    std::vector<float> window(kSize, 0.0f);
    window[0] = static_cast<float>(below);
    window[1] = static_cast<float>(below - window[0]);
    window[2] = static_cast<float>(below - window[0] - window[1]);
    const double lastBit = std::nextafter(double(window[0]), 1.0) - window[0];
    for (int t = 4; t < kFilterTaps; t += 4)
      window[std::size_t(t)] = float(0.49 * lastBit);
    FilterSum filter(ones.data(), kSize);
    filter.stored(window.data(), 0, kSize);
    ASSERT_EQ(signed16(extendedSum(window.data(), ones.data())), 18022);
    const int before = exactSums;
    for (int k = 0; k < kFilterPhases; ++k) check(filter, window, ones.data(), 0, k);
    edgeSums += exactSums - before;
  }
  // Random and full-scale sums are decided by their bounds, those on an edge not.
  RecordProperty("sums", sums);
  RecordProperty("exactSums", exactSums);
  EXPECT_EQ(edgeSums, 13 * 2 * kFilterPhases / 2 + kFilterPhases)
      << exactSums << " of " << sums;
  EXPECT_LE(exactSums, edgeSums + sums / 10000) << sums;
}

#if LDBL_MANT_DIG == 64
// The sums and roundings as x87 long double forms them, the computations the
// extended arithmetic must reproduce.
long double toLong(const ExtendedFloat& a) {
  const long double magnitude =
      std::ldexp(static_cast<long double>(a.significand), a.exponent);
  return a.negative ? -magnitude : magnitude;
}

long double longSum(const float* samples, const float* taps) {
  long double sum = 0.0L;
  for (int t = 0; t < kFilterTaps; ++t)
    sum += static_cast<long double>(samples[t]) * taps[t];
  return sum;
}

// Every window position and phase of a bank against the long-double sums.
void expectLongDoubleSums(const std::vector<float>& taps, std::vector<float> window,
                          bool integers) {
  FilterSum sums(taps.data(), kWindow);
  sums.stored(window.data(), 0, kWindow);
  for (int k = 0; k < kFilterPhases; ++k) {
    ASSERT_EQ(sums.usesIntegers(k), integers) << k;
    const float* row = taps.data() + std::size_t(k) * kFilterTaps;
    for (int first = 0; first + kFilterTaps <= kWindow; first += 37) {
      const ExtendedFloat y = sums.at(window.data(), first, k);
      const long double expected = longSum(window.data() + first, row);
      ASSERT_EQ(toLong(y), expected) << k << " " << first;
      // The quantisers decide on the sum exactly as the long-double code did.
      const auto byte = static_cast<std::uint8_t>(
          expected < -1.0L  ? 0
          : expected > 1.0L ? 255
                            : std::floor(expected * 127.5L + 128.0L));
      ASSERT_EQ(quantiseUnsigned8(y), byte);
      const auto sample = static_cast<std::int16_t>(
          expected < -1.0L  ? -32768
          : expected > 1.0L ? 32767
                            : std::floor(expected * 32767.0L + 0.5L));
      ASSERT_EQ(quantiseSigned16(y), sample);
    }
  }
}

TEST_F(FilterSumTest, MatchesLongDoubleSumsOfTheFilterBanksOverConverterSamples) {
  std::mt19937 random(7);
  for (const bool prefilter : {false, true}) {
    const SincFilterBank bank(44100, 10000, prefilter, prefilter, 300);
    const std::vector<float> taps(bank.phase(0),
                                  bank.phase(0) + kFilterPhases * kFilterTaps);
    std::vector<float> window = pcm(kWindow, random);
    std::fill(window.begin(), window.begin() + 250, 0.0f);  // the leading silence
    expectLongDoubleSums(taps, window, true);
  }
}

TEST_F(FilterSumTest, MatchesLongDoubleSumsWithRoundingAtEveryStep) {
  // Converter samples with taps spread over 2^-40..2^40: the integer sums
  // round often; samples over 2^-60..2^60 push the sums to the slow way.
  std::mt19937 random(11);
  for (int trial = 0; trial < 6; ++trial) {
    const std::vector<float> taps = wild(kFilterPhases * kFilterTaps, 40, random);
    expectLongDoubleSums(taps, pcm(kWindow, random), true);
    expectLongDoubleSums(taps, wild(kWindow, 60, random), false);
  }
}

TEST_F(FilterSumTest, MatchesLongDoubleSumsThatCancelAndTie) {
  // Taps of +-1 and +-2^-k over samples that cancel exactly, leave halves of
  // the last kept bit (ties) or tiny remainders after a large partial sum; in
  // integers, and spread too far for them.
  for (const auto& [tapSpread, sampleSpread, integers] :
       {std::tuple{40, 30, true}, std::tuple{90, 60, false}}) {
    std::vector<float> taps(kFilterPhases * kFilterTaps);
    for (int k = 0; k < kFilterPhases; ++k) {
      for (int t = 0; t < kFilterTaps; ++t) {
        const int shift = (t * 7 + k * 13) % tapSpread;
        taps[std::size_t(k) * kFilterTaps + t] =
            std::ldexp(t % 2 == 0 ? 1.0f : -1.0f, -shift);
      }
    }
    std::vector<float> window(kWindow);
    for (int i = 0; i < kWindow; ++i) {
      const float big = std::ldexp(1.0f + std::ldexp(1.0f, -23), (i * 5) % sampleSpread);
      window[std::size_t(i)] = i % 3 == 0 ? big : (i % 3 == 1 ? -big : 0.75f);
    }
    expectLongDoubleSums(taps, window, integers);
  }
}

TEST_F(FilterSumTest, ExtendedArithmeticRoundsAsLongDouble) {
  std::mt19937 random(3);
  const std::vector<float> values = wild(20000, 100, random);
  for (std::size_t i = 0; i + 3 < values.size(); i += 2) {
    // Sums of exact float products: every case of alignment, cancellation and tie.
    const double a = static_cast<double>(values[i]) * values[i + 1];
    const double b = static_cast<double>(values[i + 2]) * values[i + 3];
    const long double la = a;
    const long double lb = b;
    const long double sum = la * 3.0L + lb;  // a three-term significand, rounded
    const ExtendedFloat ea =
        multiply(ExtendedFloat::fromDouble(a), ExtendedFloat::fromDouble(3.0));
    const ExtendedFloat eb = ExtendedFloat::fromDouble(b);
    ASSERT_EQ(toLong(add(ea, eb)), sum) << a << " " << b;
    ASSERT_EQ(toLong(multiply(ea, eb)), la * 3.0L * lb) << a << " " << b;
    ASSERT_EQ(compare(ea, eb), la * 3.0L < lb ? -1 : (la * 3.0L > lb ? 1 : 0));
    ASSERT_EQ(roundToFloat(add(ea, eb)), static_cast<float>(sum)) << a << " " << b;
    ASSERT_EQ(floorToInteger(add(ea, eb)), std::fabs(sum) < 0x1p62
                                               ? (std::int64_t)std::floor(sum)
                                               : floorToInteger(add(ea, eb)));
  }
}
#endif

}  // namespace
}  // namespace vantrel
