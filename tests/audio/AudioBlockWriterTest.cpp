#include "audio/AudioBlockWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "audio/G711Expansion.h"
#include "audio/ImaAdpcmCoder.h"
#include "support/FakeAudioSource.h"

namespace vantrel {
namespace {

struct Event {
  int event;
  int value;
  std::intptr_t data;
  bool operator==(const Event&) const = default;
};

struct Outcome {
  int result = 0;
  std::vector<std::uint8_t> bytes;  // the whole file, prefix included
  std::vector<Event> events;
  std::vector<std::int32_t> offsets;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

class AudioBlockWriterTest : public ::testing::Test {
 protected:
  // Runs the block writer into a temporary file that already holds prefix bytes.
  // When abortAfter is set, the hook raises the abort flag on that block's event.
  static Outcome run(FakeAudioSource& source, const AudioBlockParams& params, int blockCount,
                 int startOffsetMs = 0, int prefix = 0, int firstIndex = 2,
                 int abortAfter = -1) {
    Outcome outcome;
    std::unique_ptr<std::FILE, FileCloser> file(std::tmpfile());
    EXPECT_NE(file, nullptr);
    const std::vector<std::uint8_t> head(prefix, 0x5A);
    // fwrite must not be handed the null data() of an empty vector.
    if (!head.empty()) std::fwrite(head.data(), 1, head.size(), file.get());
    outcome.offsets.assign(firstIndex + 2 * std::max(blockCount, 1) + 2, -7);
    std::atomic<bool> abortRequested = false;
    const ProgressHook hook = [&](int event, int value, std::intptr_t data) {
      outcome.events.push_back({event, value, data});
      if (event == kAudioBlockEvent && value == abortAfter) abortRequested = true;
      return 0;
    };
    outcome.result = writeAudioBlocks(file.get(), source, params, blockCount,
                                      outcome.offsets.data(), firstIndex, startOffsetMs,
                                      abortRequested, hook);
    const long size = std::ftell(file.get());
    outcome.bytes.resize(static_cast<std::size_t>(size));
    std::rewind(file.get());
    EXPECT_EQ(std::fread(outcome.bytes.data(), 1, outcome.bytes.size(), file.get()),
              outcome.bytes.size());
    return outcome;
  }

  static AudioBlockParams pcm() {
    AudioBlockParams params;
    params.audioBoostOn = false;
    return params;
  }
  static AudioBlockParams adpcm() {
    AudioBlockParams params = pcm();
    params.adpcmAudio = true;
    return params;
  }
  static AudioBlockParams hifi() {
    AudioBlockParams params = pcm();
    params.hifiAudio = true;
    return params;
  }

  // Interleaved 16-bit frames of a sine of amplitude (fraction of full scale) in
  // every channel.
  static std::unique_ptr<FakeAudioSource> sine16(int rate, double hz, double amplitude,
                                                 int frames, int channels = 1) {
    std::vector<std::int16_t> samples;
    for (int n = 0; n < frames; ++n) {
      const double v = amplitude * 32767.0 * std::sin(2.0 * std::numbers::pi * hz * n / rate);
      for (int c = 0; c < channels; ++c) samples.push_back(static_cast<std::int16_t>(std::lround(v)));
    }
    return std::make_unique<FakeAudioSource>(FakeAudioSource::pcmInfo(rate, 16, channels),
                                             FakeAudioSource::packInt16(samples));
  }

  // Amplitude of the component at hz in count output bytes from start, the bytes
  // read back as the player does (128 = silence, 127.5 per unit).
  static double amplitude(const std::vector<std::uint8_t>& bytes, int start, int count,
                          double hz, int rate) {
    double re = 0.0;
    double im = 0.0;
    for (int j = 0; j < count; ++j) {
      const double y = (bytes[start + j] - 127.5) / 127.5;
      const double angle = 2.0 * std::numbers::pi * hz * j / rate;
      re += y * std::cos(angle);
      im += y * std::sin(angle);
    }
    return 2.0 * std::hypot(re, im) / count;
  }

  static std::unique_ptr<FakeAudioSource> silence16(int rate, int frames) {
    return std::make_unique<FakeAudioSource>(
        FakeAudioSource::pcmInfo(rate, 16, 1),
        std::vector<std::uint8_t>(static_cast<std::size_t>(frames) * 2, 0));
  }
};

TEST_F(AudioBlockWriterTest, PcmRecordsAreFullSizeAndTheirOffsetsAreNoted) {
  auto source = sine16(8000, 440.0, 0.3, 20000);
  const Outcome out = run(*source, pcm(), 3, 0, 100, 3);
  ASSERT_EQ(out.result, 0);
  EXPECT_EQ(out.bytes.size(), 100u + 3u * 32768u);
  EXPECT_EQ(out.offsets[3], 100);
  EXPECT_EQ(out.offsets[5], 100 + 32768);
  EXPECT_EQ(out.offsets[7], 100 + 2 * 32768);
  // The entries in between belong to the caller.
  for (int i : {0, 1, 2, 4, 6, 8, 9}) EXPECT_EQ(out.offsets[i], -7) << i;
}

TEST_F(AudioBlockWriterTest, AdpcmRecordsEndInTheCoderStateThatTheNextOneStartsFrom) {
  auto source = sine16(8000, 440.0, 0.5, 120000);
  const Outcome out = run(*source, adpcm(), 2);
  ASSERT_EQ(out.result, 0);
  ASSERT_EQ(out.bytes.size(), 2u * 32772u);
  EXPECT_EQ(out.offsets[2], 0);
  EXPECT_EQ(out.offsets[4], 32772);
  AdpcmState state;  // a movie starts at (0, 0)
  std::vector<std::int16_t> samples(65536);
  for (int b = 0; b < 2; ++b) {
    const std::uint8_t* record = out.bytes.data() + b * 32772;
    decodeAdpcm(record, samples.data(), 65536, state);
    const std::uint8_t* trailer = record + 32768;
    EXPECT_EQ(trailer[0], 0);
    EXPECT_EQ(trailer[1], state.stepIndex);
    EXPECT_EQ(static_cast<std::int16_t>((trailer[2] << 8) | trailer[3]), state.predictor);
    EXPECT_GT(state.stepIndex, 0);  // the tone keeps the coder busy
  }
}

TEST_F(AudioBlockWriterTest, HifiIgnoresAdpcmAndWritesPcmRecords) {
  AudioBlockParams params = hifi();
  params.adpcmAudio = true;
  EXPECT_EQ(audioOutputRate(params), 20000);
  EXPECT_FALSE(usesAdpcm(params));
  EXPECT_EQ(audioRecordBytes(params), 32768);
  EXPECT_EQ(audioRecordBytes(adpcm()), 32772);
  auto source = silence16(16000, 1000);
  const Outcome out = run(*source, params, 2);
  ASSERT_EQ(out.result, 0);
  EXPECT_EQ(out.bytes.size(), 2u * 32768u);
  EXPECT_TRUE(std::all_of(out.bytes.begin(), out.bytes.end(), [](auto b) { return b == 128; }));
}

TEST_F(AudioBlockWriterTest, SilenceInGivesSilenceOutForPcm) {
  auto source = silence16(22050, 50000);
  AudioBlockParams params = pcm();
  params.audioBoostOn = true;
  params.audioPrefilter = true;
  const Outcome out = run(*source, params, 1);
  ASSERT_EQ(out.result, 0);
  EXPECT_TRUE(std::all_of(out.bytes.begin(), out.bytes.end(), [](auto b) { return b == 128; }));
}

TEST_F(AudioBlockWriterTest, SilenceInGivesZeroCodesAndAZeroTrailerForAdpcm) {
  auto source = silence16(8000, 50000);
  const Outcome out = run(*source, adpcm(), 1);
  ASSERT_EQ(out.result, 0);
  ASSERT_EQ(out.bytes.size(), 32772u);
  EXPECT_TRUE(std::all_of(out.bytes.begin(), out.bytes.end(), [](auto b) { return b == 0; }));
}

TEST_F(AudioBlockWriterTest, AnEmptySourceGivesFullRecordsOfSilenceWithoutReading) {
  auto source = silence16(8000, 0);
  const Outcome out = run(*source, pcm(), 2);
  ASSERT_EQ(out.result, 0);
  EXPECT_EQ(out.bytes.size(), 65536u);
  EXPECT_TRUE(std::all_of(out.bytes.begin(), out.bytes.end(), [](auto b) { return b == 128; }));
  EXPECT_EQ(out.offsets[2], 0);
  EXPECT_EQ(out.offsets[4], 32768);
  EXPECT_TRUE(source->reads().empty());
}

TEST_F(AudioBlockWriterTest, TheLastRecordIsFullSizeWithSilenceAfterTheSound) {
  auto source = sine16(10000, 1000.0, 0.5, 1000);
  const Outcome out = run(*source, pcm(), 2);
  ASSERT_EQ(out.result, 0);
  ASSERT_EQ(out.bytes.size(), 65536u);
  EXPECT_GT(amplitude(out.bytes, 0, 1000, 1000.0, 10000), 0.45);
  EXPECT_TRUE(std::all_of(out.bytes.begin() + 1300, out.bytes.end(),
                          [](auto b) { return b == 128; }));
}

TEST_F(AudioBlockWriterTest, ASineFromEightKilohertzKeepsItsFrequencyAndAmplitude) {
  auto source = sine16(8000, 1000.0, 0.5, 30000);
  const Outcome out = run(*source, pcm(), 1);
  ASSERT_EQ(out.result, 0);
  EXPECT_NEAR(amplitude(out.bytes, 1000, 20000, 1000.0, 10000), 0.5, 0.01);
  EXPECT_LT(amplitude(out.bytes, 1000, 20000, 1100.0, 10000), 0.01);
  EXPECT_LT(amplitude(out.bytes, 1000, 20000, 1250.0, 10000), 0.01);  // no 8/10 rate slip
}

TEST_F(AudioBlockWriterTest, ASineFromSixteenKilohertzKeepsItsFrequencyInHifi) {
  auto source = sine16(16000, 3000.0, 0.5, 30000);
  const Outcome out = run(*source, hifi(), 1);
  ASSERT_EQ(out.result, 0);
  EXPECT_NEAR(amplitude(out.bytes, 1000, 20000, 3000.0, 20000), 0.5, 0.01);
  EXPECT_LT(amplitude(out.bytes, 1000, 20000, 2400.0, 20000), 0.01);
}

TEST_F(AudioBlockWriterTest, DownsamplingKeepsTheBandAndRemovesWhatWouldAlias) {
  auto low = sine16(44100, 1000.0, 0.5, 150000, 2);
  const Outcome kept = run(*low, pcm(), 1);
  ASSERT_EQ(kept.result, 0);
  EXPECT_NEAR(amplitude(kept.bytes, 1000, 20000, 1000.0, 10000), 0.5, 0.01);
  auto high = sine16(44100, 7000.0, 0.5, 150000, 2);
  const Outcome removed = run(*high, pcm(), 1);
  ASSERT_EQ(removed.result, 0);
  EXPECT_LT(amplitude(removed.bytes, 1000, 20000, 3000.0, 10000), 0.01);  // the alias
}

TEST_F(AudioBlockWriterTest, BoostScalesTheAmplitude) {
  auto source = sine16(8000, 1000.0, 0.4, 30000);
  AudioBlockParams params = pcm();
  params.audioBoostOn = true;
  params.audioBoostPercent = 150;
  const Outcome out = run(*source, params, 1);
  ASSERT_EQ(out.result, 0);
  EXPECT_NEAR(amplitude(out.bytes, 1000, 20000, 1000.0, 10000), 0.6, 0.01);
}

TEST_F(AudioBlockWriterTest, LoudInputBoostedThreefoldClipsToTheExtremes) {
  auto source = sine16(10000, 500.0, 0.9, 30000);
  AudioBlockParams params = pcm();
  params.audioBoostOn = true;
  params.audioBoostPercent = 300;
  const Outcome out = run(*source, params, 1);
  ASSERT_EQ(out.result, 0);
  const auto zeros = std::count(out.bytes.begin(), out.bytes.begin() + 30000, 0);
  const auto full = std::count(out.bytes.begin(), out.bytes.begin() + 30000, 255);
  // A 2.7 peak sine is beyond +-1 for about three quarters of the time.
  EXPECT_GT(zeros, 10000);
  EXPECT_GT(full, 10000);
}

TEST_F(AudioBlockWriterTest, PrefilterRemovesTheBass) {
  auto source = sine16(10000, 40.0, 0.5, 30000);
  AudioBlockParams params = pcm();
  params.audioPrefilter = true;
  const Outcome out = run(*source, params, 1);
  ASSERT_EQ(out.result, 0);
  EXPECT_LT(amplitude(out.bytes, 2000, 20000, 40.0, 10000), 0.05);
}

TEST_F(AudioBlockWriterTest, EverySecondAdpcmSampleIsInvertedBeforeCoding) {
  // A steady level of 0.02 becomes +655, -655, +655, ... in front of the coder.
  auto source = std::make_unique<FakeAudioSource>(
      FakeAudioSource::pcmInfo(10000, 16, 1),
      FakeAudioSource::packInt16(std::vector<std::int16_t>(70000, 655)));
  const Outcome out = run(*source, adpcm(), 1);
  ASSERT_EQ(out.result, 0);
  std::vector<std::int16_t> decoded(65536);
  AdpcmState state;
  decodeAdpcm(out.bytes.data(), decoded.data(), 65536, state);
  for (int j = 2000; j < 2100; ++j) {
    if (j % 2 == 0) {
      EXPECT_GT(decoded[j], 300) << j;
    } else {
      EXPECT_LT(decoded[j], -300) << j;
    }
  }
}

// Nearest G.711 code to a 16-bit value, found through the expansion itself.
template <typename Expand>
std::uint8_t nearestCode(int value, Expand expand) {
  int best = 0;
  for (int code = 1; code < 256; ++code) {
    if (std::abs(expand(static_cast<std::uint8_t>(code)) - value) <
        std::abs(expand(static_cast<std::uint8_t>(best)) - value)) {
      best = code;
    }
  }
  return static_cast<std::uint8_t>(best);
}

TEST_F(AudioBlockWriterTest, EveryInputFormatIsMixedToMonoAtItsScale) {
  // A 1 kHz tone of amplitude 0.5 at 10000 Hz, so that the output shows the
  // converted input itself. G.711 input is read at the scale of linear PCM.
  struct Row {
    const char* name;
    int bits;
    int channels;
    std::uint16_t tag;
    double expected;
  };
  const Row rows[] = {
      {"8-bit mono", 8, 1, 1, 0.496}, {"8-bit stereo", 8, 2, 1, 0.496},  // 127/128 of 0.5
      {"16-bit mono", 16, 1, 1, 0.5}, {"16-bit stereo", 16, 2, 1, 0.5},
      {"A-law mono", 8, 1, 6, 0.5},   {"A-law stereo", 8, 2, 6, 0.5},
      {"mu-law mono", 8, 1, 7, 0.5},  {"mu-law stereo", 8, 2, 7, 0.5},
  };
  constexpr int kFrames = 25000;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::uint8_t> bytes;
    for (int n = 0; n < kFrames; ++n) {
      const double v = 0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * n / 10000.0);
      const int linear = static_cast<int>(std::lround(v * 32767.0));
      for (int c = 0; c < row.channels; ++c) {
        if (row.bits == 16) {
          bytes.push_back(static_cast<std::uint8_t>(linear & 0xFF));
          bytes.push_back(static_cast<std::uint8_t>((linear >> 8) & 0xFF));
        } else if (row.tag == 6) {
          bytes.push_back(nearestCode(linear, expandALaw));
        } else if (row.tag == 7) {
          bytes.push_back(nearestCode(linear, expandMuLaw));
        } else {
          bytes.push_back(static_cast<std::uint8_t>(std::lround(128.0 + v * 127.0)));
        }
      }
    }
    FakeAudioSource source(FakeAudioSource::pcmInfo(10000, row.bits, row.channels, row.tag),
                           std::move(bytes));
    const Outcome out = run(source, pcm(), 1);
    ASSERT_EQ(out.result, 0);
    EXPECT_NEAR(amplitude(out.bytes, 1000, 20000, 1000.0, 10000), row.expected, 0.01);
  }
}

TEST_F(AudioBlockWriterTest, ProgressStartsAtZeroCountsEachBlockAndEndsWithTheAudioPhase) {
  auto source = sine16(8000, 440.0, 0.3, 5000);
  const Outcome out = run(*source, pcm(), 3);
  ASSERT_EQ(out.result, 0);
  const std::vector<Event> expected = {
      {kAudioBlockEvent, 0, 3},
      {kAudioBlockEvent, 1, 3},
      {kAudioBlockEvent, 2, 3},
      {kAudioBlockEvent, 3, 3},
      {kPhaseCompleteEvent, 1, 0},
  };
  EXPECT_EQ(out.events, expected);
}

TEST_F(AudioBlockWriterTest, AnAbortStopsBeforeTheNextBlockAndKeepsTheWrittenOnes) {
  auto source = sine16(8000, 440.0, 0.3, 5000);
  const Outcome out = run(*source, pcm(), 4, 0, 0, 2, 2);
  EXPECT_EQ(out.result, -1);
  EXPECT_EQ(out.bytes.size(), 2u * 32768u);
  EXPECT_EQ(out.offsets[4], 32768);
  EXPECT_EQ(out.offsets[6], -7);
  ASSERT_FALSE(out.events.empty());
  EXPECT_EQ(out.events.back(), (Event{kAudioBlockEvent, 2, 4}));
}

TEST_F(AudioBlockWriterTest, AnAbortBeforeTheStartWritesNothing) {
  auto source = sine16(8000, 440.0, 0.3, 5000);
  const Outcome out = run(*source, pcm(), 2, 0, 0, 2, 0);
  EXPECT_EQ(out.result, -1);
  EXPECT_TRUE(out.bytes.empty());
  EXPECT_EQ(out.offsets[2], -7);
  EXPECT_EQ(out.events, (std::vector<Event>{{kAudioBlockEvent, 0, 2}}));
}

TEST_F(AudioBlockWriterTest, AReadFailureFailsTheCallAfterTheCompletedBlocks) {
  auto source = sine16(8000, 440.0, 0.3, 100000);
  source->failReadAt(50000);
  const Outcome out = run(*source, pcm(), 4);
  EXPECT_EQ(out.result, -1);
  EXPECT_EQ(out.bytes.size() % 32768u, 0u);
  EXPECT_LT(out.bytes.size(), 4u * 32768u);
  for (const Event& e : out.events) EXPECT_NE(e.event, kPhaseCompleteEvent);
}

TEST_F(AudioBlockWriterTest, ReadingStartsAtTheSourcesFirstSample) {
  FakeAudioSource source(FakeAudioSource::pcmInfo(8000, 16, 1),
                         std::vector<std::uint8_t>(40000, 0), 500);
  const Outcome out = run(source, pcm(), 1);
  ASSERT_EQ(out.result, 0);
  ASSERT_FALSE(source.reads().empty());
  EXPECT_EQ(source.reads().front().first, 500);
  for (const auto& [first, count] : source.reads()) EXPECT_LE(first + count, 20500);
}

TEST_F(AudioBlockWriterTest, TheStartOffsetSkipsIntoTheStream) {
  FakeAudioSource source(FakeAudioSource::pcmInfo(8000, 16, 1),
                         std::vector<std::uint8_t>(40000, 0), 500);
  const Outcome out = run(source, pcm(), 1, 1000);
  ASSERT_EQ(out.result, 0);
  ASSERT_FALSE(source.reads().empty());
  EXPECT_EQ(source.reads().front().first, 8500);
  EXPECT_EQ(source.reads().front().second, 12000);  // up to the end of the stream
}

TEST_F(AudioBlockWriterTest, ANegativeStartOffsetNeverReadsBeforeTheStream) {
  FakeAudioSource source(FakeAudioSource::pcmInfo(8000, 16, 1),
                         std::vector<std::uint8_t>(40000, 0), 500);
  const Outcome out = run(source, pcm(), 1, -1000);
  ASSERT_EQ(out.result, 0);
  ASSERT_FALSE(source.reads().empty());
  EXPECT_EQ(source.reads().front().first, 500);
}

TEST_F(AudioBlockWriterTest, UnreadableStreamInformationFailsWithoutWriting) {
  auto source = sine16(8000, 440.0, 0.3, 5000);
  source->failStreamInfo(kAudioNotOpen);
  const Outcome out = run(*source, pcm(), 2);
  EXPECT_EQ(out.result, -1);
  EXPECT_TRUE(out.bytes.empty());
}

TEST_F(AudioBlockWriterTest, StreamsThePipelineCannotResampleFailWithoutWriting) {
  AudioStreamInfo noRate = FakeAudioSource::pcmInfo(8000, 16, 1);
  noRate.samplesPerSecond = 0;
  AudioStreamInfo noChannels = FakeAudioSource::pcmInfo(8000, 16, 1);
  noChannels.channels = 0;
  AudioStreamInfo tooFast = FakeAudioSource::pcmInfo(8000, 16, 1);
  tooFast.samplesPerSecond = 10000 * 300;
  for (const AudioStreamInfo& info : {noRate, noChannels, tooFast}) {
    FakeAudioSource source(info, std::vector<std::uint8_t>(2000, 0));
    const Outcome out = run(source, pcm(), 1);
    EXPECT_EQ(out.result, -1);
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_TRUE(source.reads().empty());
  }
}

TEST_F(AudioBlockWriterTest, WorksWithoutAProgressHook) {
  auto source = silence16(8000, 100);
  std::unique_ptr<std::FILE, FileCloser> file(std::tmpfile());
  std::int32_t offsets[4] = {};
  const std::atomic<bool> abortRequested = false;
  EXPECT_EQ(writeAudioBlocks(file.get(), *source, pcm(), 1, offsets, 0, 0, abortRequested,
                             ProgressHook()),
            0);
  EXPECT_EQ(std::ftell(file.get()), 32768);
}

}  // namespace
}  // namespace vantrel
