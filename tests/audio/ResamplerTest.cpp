#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/Resampler.h"
#include "support/FakeAudioSource.h"
#include "threads/WorkerPool.h"

namespace vantrel {
namespace {

class ResamplerTest : public ::testing::Test {
 protected:
  // count 16-bit mono samples of a fixed pseudo-random sequence.
  static std::vector<std::int16_t> noise(int count) {
    std::vector<std::int16_t> samples(count);
    std::uint32_t seed = 12345;
    for (std::int16_t& sample : samples) {
      seed = seed * 1664525u + 1013904223u;
      sample = static_cast<std::int16_t>(seed >> 16);
    }
    return samples;
  }
};

TEST_F(ResamplerTest, MulDivRoundsTheSixtyFourBitQuotientToNearest) {
  EXPECT_EQ(mulDiv(44100, 65536, 10000), 289014);  // 289013.76
  EXPECT_EQ(mulDiv(8000, 65536, 20000), 26214);    // 26214.4
  EXPECT_EQ(mulDiv(8000, 65536, 10000), 52429);    // 52428.8
  EXPECT_EQ(mulDiv(1, 1, 2), 1);                   // a half rounds away from zero
  EXPECT_EQ(mulDiv(-1, 1, 2), -1);
  EXPECT_EQ(mulDiv(5, 7, 0), -1);
  EXPECT_EQ(mulDiv(0x40000000, 16, 1), -1);  // does not fit
}

TEST_F(ResamplerTest, StartPositionUsesASinglePrecisionMillisecondFactor) {
  EXPECT_EQ(startReadPosition(0, 44100, 0), 0);
  EXPECT_EQ(startReadPosition(500, 8000, 1000), 8500);
  // One hour at 48 kHz: 0.001f is 0.0010000000474974513, eight samples more than 0.001.
  EXPECT_EQ(startReadPosition(0, 48000, 3600000), 172800008);
  EXPECT_EQ(startReadPosition(0, 44100, 33), 1455);  // 1455.3 truncated
  // Between two milliseconds: 4066.667 ms is 179340.01 samples, to nearest.
  EXPECT_EQ(startReadPosition(10, 44100, 4066, 667), 179350);
  EXPECT_EQ(startReadPosition(0, 44100, 33, 5), 1456);  // 1455.52 to nearest
}

TEST_F(ResamplerTest, EqualRatesPassEverySampleThroughFromTheFirstOne) {
  const std::vector<std::int16_t> input = noise(40000);
  FakeAudioSource source(FakeAudioSource::pcmInfo(10000, 16, 1),
                         FakeAudioSource::packInt16(input));
  const auto converter = SampleConverter::forStream(FakeAudioSource::pcmInfo(10000, 16, 1));
  const SincFilterBank filter(10000, 10000, false, false, 150);
  Resampler resampler(source, *converter, filter, 2, 65536, 0, 40000);
  // Crosses several window refills and runs past the end into silence.
  for (int j = 0; j < 41000; ++j) {
    ExtendedFloat y;
    ASSERT_EQ(resampler.next(y), 0);
    const double expected = j < 40000 ? input[j] / 32768.0 : 0.0;
    ASSERT_NEAR(std::ldexp(static_cast<double>(y.significand), y.exponent) *
                    (y.negative ? -1 : 1),
                expected, 1e-6)
        << j;
  }
  EXPECT_EQ(resampler.readPosition(), 40000);
}

TEST_F(ResamplerTest, ReadsComeInRunsOfAtMostAWindowAndNeverPassTheEnd) {
  const std::vector<std::int16_t> input = noise(100000);
  FakeAudioSource source(FakeAudioSource::pcmInfo(44100, 16, 1),
                         FakeAudioSource::packInt16(input), 1000);
  const auto converter = SampleConverter::forStream(FakeAudioSource::pcmInfo(44100, 16, 1));
  const SincFilterBank filter(44100, 10000, false, false, 150);
  Resampler resampler(source, *converter, filter, 2, mulDiv(44100, 65536, 10000), 1000,
                      101000);
  ExtendedFloat y;
  for (int j = 0; j < 30000; ++j) ASSERT_EQ(resampler.next(y), 0);
  ASSERT_FALSE(source.reads().empty());
  EXPECT_EQ(source.reads().front().first, 1000);
  EXPECT_EQ(source.reads().front().second, Resampler::kWindowSamples - Resampler::kLeadingZeros);
  int expectedFirst = 1000;
  for (const auto& [first, count] : source.reads()) {
    EXPECT_EQ(first, expectedFirst);
    EXPECT_GT(count, 0);
    EXPECT_LE(count, Resampler::kWindowSamples);
    EXPECT_LE(first + count, 101000);
    expectedFirst = first + count;
  }
  EXPECT_EQ(expectedFirst, 101000);
}

TEST_F(ResamplerTest, BlocksGiveTheSamplesOfSingleStepsWhateverTheThreads) {
  // 44100 to 10000 and 8000 to 20000, across several window refills and past
  // the end, in blocks of record size and of odd sizes.
  for (const int rate : {44100, 8000}) {
    const std::vector<std::int16_t> input = noise(150000);
    const auto info = FakeAudioSource::pcmInfo(rate, 16, 1);
    const auto converter = SampleConverter::forStream(info);
    const int outputRate = rate == 8000 ? 20000 : 10000;
    const SincFilterBank filter(rate, outputRate, false, true, 150);
    const std::int32_t step = mulDiv(rate, 65536, outputRate);
    FakeAudioSource stepSource(info, FakeAudioSource::packInt16(input));
    Resampler stepwise(stepSource, *converter, filter, 2, step, 0, 150000);
    std::vector<ExtendedFloat> expected(100000);
    for (ExtendedFloat& y : expected) ASSERT_EQ(stepwise.next(y), 0);
    for (const int threads : {1, 2, 4}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz, threads " + std::to_string(threads));
      FakeAudioSource blockSource(info, FakeAudioSource::packInt16(input));
      Resampler blockwise(blockSource, *converter, filter, 2, step, 0, 150000);
      WorkerPool workers(threads);
      blockwise.setWorkers(&workers);
      std::vector<ExtendedFloat> got(expected.size());
      std::size_t done = 0;
      const auto take = [&](int size) {
        ExtendedFloat* into = got.data() + done;
        ASSERT_EQ(
            blockwise.nextBlock(
                size, [into](int k, const FilterSum::Output& y) { into[k] = y.exact(); }),
            0);
        done += std::size_t(size);
      };
      for (const int size : {32768, 1, 7, 32768, 1000}) take(size);
      take(int(got.size() - done));
      for (std::size_t j = 0; j < got.size(); ++j)
        ASSERT_EQ(compare(got[j], expected[j]), 0) << j;
    }
  }
}

TEST_F(ResamplerTest, AFailingReadReturnsTheSourcesCode) {
  FakeAudioSource source(FakeAudioSource::pcmInfo(10000, 16, 1),
                         FakeAudioSource::packInt16(noise(50000)));
  source.failReadAt(40000, kAudioReadFailed);
  const auto converter = SampleConverter::forStream(FakeAudioSource::pcmInfo(10000, 16, 1));
  const SincFilterBank filter(10000, 10000, false, false, 150);
  Resampler resampler(source, *converter, filter, 2, 65536, 0, 50000);
  ExtendedFloat y;
  int code = 0;
  int produced = 0;
  while (code == 0 && produced < 50000) {
    code = resampler.next(y);
    if (code == 0) ++produced;
  }
  EXPECT_EQ(code, kAudioReadFailed);
  EXPECT_GT(produced, 30000);
  EXPECT_LT(produced, 40000);
}

}  // namespace
}  // namespace vantrel
