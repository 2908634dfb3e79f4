#include "audio/ImaAdpcmCoder.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

class ImaAdpcmCoderTest : public ::testing::Test {
 protected:
  // A deterministic test signal: two tones and a slow ramp, near full scale.
  static std::vector<std::int16_t> mixedSignal(int count) {
    std::vector<std::int16_t> samples(count);
    for (int i = 0; i < count; ++i) {
      const double v = 12000.0 * std::sin(i * 0.05) + 9000.0 * std::sin(i * 0.71) +
                       (i % 500) * 20.0 - 5000.0;
      samples[i] = static_cast<std::int16_t>(std::lround(v));
    }
    return samples;
  }
};

TEST_F(ImaAdpcmCoderTest, ZeroSamplesGiveZeroBytesAndKeepTheInitialState) {
  const std::vector<std::int16_t> samples(65536, 0);
  std::vector<std::uint8_t> codes(32768, 0xAA);
  AdpcmState state;
  encodeAdpcm(samples.data(), codes.data(), 65536, state);
  for (std::uint8_t byte : codes) ASSERT_EQ(byte, 0x00);
  EXPECT_EQ(state.predictor, 0);
  EXPECT_EQ(state.stepIndex, 0);
}

TEST_F(ImaAdpcmCoderTest, FirstSampleOfAPairGoesIntoTheHighNibble) {
  // 1000 from (0, 0): step 7, magnitude 7, predictor 0 + 0 + 7 + 3 + 1 = 11, index 8.
  // 0 next: difference -11 against step 16 gives magnitude 2 with the sign: 0xA.
  const std::int16_t samples[] = {1000, 0};
  std::uint8_t code = 0;
  AdpcmState state;
  encodeAdpcm(samples, &code, 2, state);
  EXPECT_EQ(code, 0x7A);
  EXPECT_EQ(state.predictor, 11 - (16 >> 3) - (16 >> 1));
  EXPECT_EQ(state.stepIndex, 7);
}

TEST_F(ImaAdpcmCoderTest, DecodingKnownCodesFollowsTheStepTable) {
  // 0x70: code 7 (step 7: 0 + 7 + 3 + 1 = 11, index 8), then code 0 (step 16: +2, index 7).
  const std::uint8_t codes[] = {0x70};
  std::int16_t samples[2] = {};
  AdpcmState state;
  decodeAdpcm(codes, samples, 2, state);
  EXPECT_EQ(samples[0], 11);
  EXPECT_EQ(samples[1], 13);
  EXPECT_EQ(state.predictor, 13);
  EXPECT_EQ(state.stepIndex, 7);
}

TEST_F(ImaAdpcmCoderTest, FullScaleStepRaisesTheIndexByEightPerSampleAndClampsThePredictor) {
  // From (0, 0) towards 32767: ten codes of magnitude 7 (index 8, 16, ... 80), then
  // the predictor overshoots and clamps at 32767, where it stays.
  AdpcmState state;
  int previous = 0;
  for (int i = 0; i < 30; ++i) {
    const std::int16_t sample = 32767;
    std::uint8_t code = 0;
    encodeAdpcm(&sample, &code, 1, state);
    if (i < 10) {
      EXPECT_EQ(code >> 4, 7) << "sample " << i;
      EXPECT_EQ(state.stepIndex, 8 * (i + 1)) << "sample " << i;
    } else {
      EXPECT_EQ(state.predictor, 32767) << "sample " << i;
    }
    EXPECT_EQ(code & 0x0F, 0);
    EXPECT_GE(state.predictor, previous);
    previous = state.predictor;
  }
}

TEST_F(ImaAdpcmCoderTest, FullScaleNegativeStepClampsAtTheLowestSample) {
  const std::vector<std::int16_t> samples(11, -32768);
  std::vector<std::uint8_t> codes(6);
  AdpcmState state;
  encodeAdpcm(samples.data(), codes.data(), 11, state);
  EXPECT_EQ(codes[0], 0xFF);  // sign and magnitude 7 for both samples
  EXPECT_EQ(state.predictor, -32768);
  EXPECT_EQ(state.stepIndex, 79);
}

TEST_F(ImaAdpcmCoderTest, StepIndexClampsAtTheTopOfTheTable) {
  // A full-scale square wave keeps every code at magnitude 7.
  std::vector<std::int16_t> samples(16);
  for (int i = 0; i < 16; ++i) samples[i] = (i % 2 == 0) ? 32767 : -32768;
  std::vector<std::uint8_t> codes(8);
  AdpcmState state;
  encodeAdpcm(samples.data(), codes.data(), 16, state);
  EXPECT_EQ(state.stepIndex, 88);
}

TEST_F(ImaAdpcmCoderTest, DecodingReproducesTheEncodersPredictorSequence) {
  const std::vector<std::int16_t> samples = mixedSignal(5001);
  // The encoder's own predictor after each sample, coded one sample per call.
  std::vector<std::int16_t> predictors;
  AdpcmState single;
  for (std::int16_t s : samples) {
    std::uint8_t code = 0;
    encodeAdpcm(&s, &code, 1, single);
    predictors.push_back(single.predictor);
  }
  std::vector<std::uint8_t> codes((samples.size() + 1) / 2);
  AdpcmState encoder;
  encodeAdpcm(samples.data(), codes.data(), static_cast<int>(samples.size()), encoder);
  std::vector<std::int16_t> decoded(samples.size());
  AdpcmState decoder;
  decodeAdpcm(codes.data(), decoded.data(), static_cast<int>(decoded.size()), decoder);
  EXPECT_EQ(decoded, predictors);
  EXPECT_EQ(decoder.predictor, encoder.predictor);
  EXPECT_EQ(decoder.stepIndex, encoder.stepIndex);
  EXPECT_EQ(encoder.predictor, single.predictor);
  EXPECT_EQ(encoder.stepIndex, single.stepIndex);
}

TEST_F(ImaAdpcmCoderTest, StateCarriedBetweenCallsMatchesOneLongCall) {
  const std::vector<std::int16_t> samples = mixedSignal(4000);
  std::vector<std::uint8_t> whole(2000);
  AdpcmState wholeState;
  encodeAdpcm(samples.data(), whole.data(), 4000, wholeState);
  std::vector<std::uint8_t> split(2000);
  AdpcmState splitState;
  encodeAdpcm(samples.data(), split.data(), 1500, splitState);
  encodeAdpcm(samples.data() + 1500, split.data() + 750, 2500, splitState);
  EXPECT_EQ(split, whole);
  EXPECT_EQ(splitState.predictor, wholeState.predictor);
  EXPECT_EQ(splitState.stepIndex, wholeState.stepIndex);
}

TEST_F(ImaAdpcmCoderTest, DecodedSignalStaysCloseToTheInput) {
  const std::vector<std::int16_t> samples = mixedSignal(3000);
  std::vector<std::uint8_t> codes(1500);
  AdpcmState encoder;
  encodeAdpcm(samples.data(), codes.data(), 3000, encoder);
  std::vector<std::int16_t> decoded(3000);
  AdpcmState decoder;
  decodeAdpcm(codes.data(), decoded.data(), 3000, decoder);
  double errorPower = 0.0;
  double signalPower = 0.0;
  for (int i = 100; i < 3000; ++i) {
    errorPower += std::pow(decoded[i] - samples[i], 2.0);
    signalPower += std::pow(samples[i], 2.0);
  }
  EXPECT_LT(errorPower, signalPower * 0.01);  // better than 20 dB
}

TEST_F(ImaAdpcmCoderTest, OddCountOfThreeWritesTwoBytesWithAnEmptyLowNibble) {
  const std::int16_t samples[] = {1000, 0, 500};
  std::uint8_t codes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  AdpcmState state;
  encodeAdpcm(samples, codes, 3, state);
  EXPECT_EQ(codes[0], 0x7A);
  EXPECT_NE(codes[1] & 0xF0, 0);
  EXPECT_EQ(codes[1] & 0x0F, 0);
  EXPECT_EQ(codes[2], 0xEE);
  EXPECT_EQ(codes[3], 0xEE);
}

TEST_F(ImaAdpcmCoderTest, NonPositiveCountWritesNothingAndKeepsTheState) {
  const std::int16_t samples[] = {1000};
  std::uint8_t code = 0x5C;
  AdpcmState state;
  state.predictor = 123;
  state.stepIndex = 45;
  encodeAdpcm(samples, &code, 0, state);
  encodeAdpcm(samples, &code, -3, state);
  decodeAdpcm(&code, nullptr, 0, state);
  EXPECT_EQ(code, 0x5C);
  EXPECT_EQ(state.predictor, 123);
  EXPECT_EQ(state.stepIndex, 45);
}

TEST_F(ImaAdpcmCoderTest, OutOfRangeStepIndexIsClampedInsteadOfReadingPastTheTable) {
  // A damaged trailer may carry any index; it must behave like index 88.
  const std::uint8_t codes[] = {0x73, 0x1F};
  std::int16_t fromBad[4] = {};
  std::int16_t fromMax[4] = {};
  AdpcmState bad;
  bad.stepIndex = 120;
  AdpcmState max;
  max.stepIndex = 88;
  decodeAdpcm(codes, fromBad, 4, bad);
  decodeAdpcm(codes, fromMax, 4, max);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(fromBad[i], fromMax[i]);
  AdpcmState negative;
  negative.stepIndex = -5;
  decodeAdpcm(codes, fromBad, 4, negative);
  EXPECT_GE(negative.stepIndex, 0);
}

}  // namespace
}  // namespace vantrel
