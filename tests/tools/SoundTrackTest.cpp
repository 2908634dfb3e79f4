#include "SoundTrack.h"

#include <cmath>

#include <gtest/gtest.h>

#include "engine/RecordingEncoder.h"
#include "database/DatabaseReader.h"
#include "support/FakeAudioSource.h"

namespace vantrel::inspect {
namespace {

// A sound-only database made by the engine from a 300 Hz tone at 10000/s.
class SoundTrackTest : public ::testing::Test {
 protected:
  DatabaseReader encodeTone(bool adpcm) {
    std::vector<std::int16_t> samples(40000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = std::int16_t(8000 * std::sin(2 * 3.14159265 * 300 * double(i) / 10000));
    }
    audio = std::make_unique<FakeAudioSource>(FakeAudioSource::pcmInfo(10000, 16, 1),
                                              FakeAudioSource::packInt16(samples));
    engine.selectedAudio = audio.get();
    engine.adpcmAudio = adpcm;
    engine.audioBoostOn = false;
    engine.encodeSoundOnly(output.get(), "Tone");
    DatabaseReader reader;
    EXPECT_TRUE(reader.parse(output.bytes()));
    return reader;
  }

  std::unique_ptr<FakeAudioSource> audio;
  test::RecordingEncoder engine;
  test::OutputFile output;
};

TEST_F(SoundTrackTest, AdpcmRecordsDecodeBackToTheToneWithMatchingTrailers) {
  const DatabaseReader reader = encodeTone(true);
  ASSERT_EQ(reader.recordCount, 2);  // 4 s of sound: one ADPCM record
  const SoundTrack track = decodeSound(reader, 1, 1);
  EXPECT_TRUE(track.problems.empty()) << track.problems.front();
  EXPECT_EQ(track.bitsPerSample, 16);
  EXPECT_EQ(track.sampleRate, 10000);
  ASSERT_EQ(track.pcm16.size(), 65536u);
  // Neighbouring samples of a 300 Hz tone are close: the odd-sample inversion
  // has been undone (otherwise they would alternate in sign).
  double sameSign = 0;
  for (std::size_t i = 1000; i < 30000; ++i) {
    sameSign += (track.pcm16[i] >= 0) == (track.pcm16[i - 1] >= 0) ? 1 : 0;
  }
  EXPECT_GT(sameSign / 29000, 0.9);
  int peak = 0;
  for (std::size_t i = 1000; i < 30000; ++i) peak = std::max(peak, std::abs(int(track.pcm16[i])));
  EXPECT_GT(peak, 6000);
  EXPECT_LT(peak, 10000);
}

TEST_F(SoundTrackTest, DamagedTrailerIsReported) {
  const DatabaseReader reader = encodeTone(true);
  std::vector<std::uint8_t> bytes = reader.bytes();
  bytes[bytes.size() - 3] ^= 0x01;  // step index of the last trailer
  DatabaseReader damaged;
  ASSERT_TRUE(damaged.parse(bytes));
  const SoundTrack track = decodeSound(damaged, 1, 1);
  ASSERT_EQ(track.problems.size(), 1u);
  EXPECT_NE(track.problems[0].find("audio record 1: trailer"), std::string::npos);
}

TEST_F(SoundTrackTest, PcmRecordsAreCopiedAsTheyAre) {
  const DatabaseReader reader = encodeTone(false);
  ASSERT_EQ(reader.recordCount, 3);  // 4 s: two 3.2768-second records
  const SoundTrack track = decodeSound(reader, 1, 0);
  EXPECT_TRUE(track.problems.empty());
  EXPECT_EQ(track.bitsPerSample, 8);
  ASSERT_EQ(track.pcm8.size(), 65536u);
  EXPECT_EQ(track.pcm8[40400], 128);  // silence once the filter has passed the end
}

TEST_F(SoundTrackTest, WavHeaderDescribesMonoPcm) {
  SoundTrack track;
  track.sampleRate = 20000;
  track.bitsPerSample = 8;
  track.pcm8 = {128, 129, 130};
  const std::vector<std::uint8_t> wav = encodeWav(track);
  const std::vector<std::uint8_t> expected = {
      'R', 'I', 'F', 'F', 39, 0, 0, 0,    // RIFF, 36 + 3 bytes
      'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
      16, 0, 0, 0,                        // fmt chunk size
      1, 0,                               // PCM
      1, 0,                               // mono
      0x20, 0x4E, 0, 0,                   // 20000 samples per second
      0x20, 0x4E, 0, 0,                   // 20000 bytes per second
      1, 0,                               // block align
      8, 0,                               // bits per sample
      'd', 'a', 't', 'a', 3, 0, 0, 0,     // data, 3 bytes
      128, 129, 130,
  };
  EXPECT_EQ(wav, expected);
}

}  // namespace
}  // namespace vantrel::inspect
