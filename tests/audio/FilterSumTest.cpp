#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "audio/FilterSum.h"
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
