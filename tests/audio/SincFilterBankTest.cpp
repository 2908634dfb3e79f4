#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <numbers>
#include <vector>

#include "audio/SincFilterBank.h"

namespace vantrel {
namespace {

class SincFilterBankTest : public ::testing::Test {
 protected:
  static double sum(const float* taps) {
    double total = 0.0;
    for (int t = 0; t < kFilterTaps; ++t) total += taps[t];
    return total;
  }

  // Gain of a phase at frequency hz for input at sourceRate.
  static double gain(const float* taps, double hz, int sourceRate) {
    double re = 0.0;
    double im = 0.0;
    for (int t = 0; t < kFilterTaps; ++t) {
      const double angle = 2.0 * std::numbers::pi * hz * t / sourceRate;
      re += taps[t] * std::cos(angle);
      im += taps[t] * std::sin(angle);
    }
    return std::hypot(re, im);
  }
};

TEST_F(SincFilterBankTest, EveryLowPassPhaseHasUnitGainAtZeroFrequency) {
  const SincFilterBank bank(44100, 10000, false, false, 150);
  for (int k = 0; k < kFilterPhases; ++k) EXPECT_NEAR(sum(bank.phase(k)), 1.0, 1e-5) << k;
}

TEST_F(SincFilterBankTest, PrefilterPhasesRemoveZeroFrequency) {
  const SincFilterBank bank(44100, 10000, true, false, 150);
  for (int k = 0; k < kFilterPhases; ++k) EXPECT_NEAR(sum(bank.phase(k)), 0.0, 1e-5) << k;
}

TEST_F(SincFilterBankTest, UnlimitedBandPhaseZeroIsCentredOnTapTwoHundredFifty) {
  // Without a band limit the sinc has its zeros on every other tap: phase 0 passes
  // the sample under tap 250 through unchanged.
  const SincFilterBank bank(8000, 10000, false, false, 150);
  const float* taps = bank.phase(0);
  EXPECT_NEAR(taps[250], 1.0f, 1e-6f);
  for (int t = 0; t < kFilterTaps; ++t) {
    if (t != 250) {
      EXPECT_NEAR(taps[t], 0.0f, 1e-6f) << t;
    }
  }
}

TEST_F(SincFilterBankTest, LaterPhasesMoveTheCentreTowardsTheNextTap) {
  const std::vector<float> early = designLowPass(0.5, 0.25);
  const std::vector<float> late = designLowPass(0.5, 0.75);
  EXPECT_GT(early[250], early[251]);
  EXPECT_LT(late[250], late[251]);
}

TEST_F(SincFilterBankTest, DownsamplingPassesTheBandAndStopsAboveTheOutputNyquist) {
  const SincFilterBank bank(44100, 10000, false, false, 150);
  for (int k = 0; k < kFilterPhases; k += 5) {
    EXPECT_NEAR(gain(bank.phase(k), 1000.0, 44100), 1.0, 0.01) << k;
    EXPECT_LT(gain(bank.phase(k), 7000.0, 44100), 0.01) << k;
  }
}

TEST_F(SincFilterBankTest, PrefilterStopsTheBassAndKeepsTheMiddle) {
  const SincFilterBank bank(44100, 10000, true, false, 150);
  EXPECT_LT(gain(bank.phase(0), 30.0, 44100), 0.1);
  EXPECT_NEAR(gain(bank.phase(0), 1000.0, 44100), 1.0, 0.02);
}

TEST_F(SincFilterBankTest, BoostScalesEveryCoefficientRoundedOnce) {
  const SincFilterBank boosted(22050, 10000, false, true, 150);
  EXPECT_NEAR(sum(boosted.phase(3)), 1.5, 1e-5);
#if LDBL_MANT_DIG == 64
  const SincFilterBank plain(22050, 10000, false, false, 150);
  // As x87 long double forms it: percent x 0.01f, times the coefficient, both
  // rounded to 64 bits, then to float. Large percents make the roundings count.
  for (const int percent : {150, 300, 12345, 987654321}) {
    const SincFilterBank scaled(22050, 10000, false, true, percent);
    const long double boost = static_cast<long double>(percent) * 0.01f;
    for (int k = 0; k < kFilterPhases; ++k) {
      for (int t = 0; t < kFilterTaps; ++t) {
        const auto expected = static_cast<float>(plain.phase(k)[t] * boost);
        ASSERT_EQ(scaled.phase(k)[t], expected) << percent << " " << k << " " << t;
      }
    }
  }
#endif
}

TEST_F(SincFilterBankTest, BoostOffIgnoresThePercent) {
  const SincFilterBank plain(22050, 10000, false, false, 150);
  const SincFilterBank other(22050, 10000, false, false, 300);
  for (int t = 0; t < kFilterTaps; ++t) ASSERT_EQ(plain.phase(5)[t], other.phase(5)[t]);
}

}  // namespace
}  // namespace vantrel
