#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/AudioDecoder.h"
#include "support/EncodedClipWriter.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

#define ASSERT_MEDIA_OK(expression) ASSERT_EQ(MediaStatus::Ok, (expression))

constexpr int kRate = 20000;

double rms(const std::vector<std::int16_t>& samples) {
  double sum = 0.0;
  for (std::int16_t s : samples) sum += double(s) * s;
  return std::sqrt(sum / double(samples.size()));
}

// Sign changes per second, about twice the frequency of a tone.
double crossingsPerSecond(const std::vector<std::int16_t>& samples) {
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
  }
  return crossings * double(kRate) / double(samples.size());
}

class AudioDecoderTest : public ::testing::Test {
 protected:
  std::string encode(const std::string& name, test::ClipAudio audio,
                     const std::string& container, int channels) {
    test::EncodedClip shape;
    shape.container = container;
    shape.video = test::ClipVideo::None;
    shape.audio = audio;
    shape.channels = channels;
    shape.audioSeconds = 2.0;
    shape.toneHz = 1000.0;
    shape.toneAmplitude = 0.5;
    std::string path = directory.file(name);
    EXPECT_EQ("", test::writeEncodedClip(path, shape));
    return path;
  }
  test::ScratchDirectory directory;
};

TEST_F(AudioDecoderTest, AacBecomesA20000HzMonoTone) {
  AudioDecoder decoder;
  ASSERT_MEDIA_OK(
      decoder.open(encode("tone.m4a", test::ClipAudio::Aac, "mp4", 2).c_str(), kRate));
  EXPECT_EQ(44100, decoder.facts().sourceRate);
  EXPECT_EQ(2, decoder.facts().sourceChannels);
  EXPECT_NEAR(2 * kRate, decoder.facts().length, kRate / 20);
  std::vector<std::int16_t> samples(10000);
  int delivered = 0;
  ASSERT_MEDIA_OK(decoder.read(5000, 10000, samples.data(), delivered));
  ASSERT_EQ(10000, delivered);
  // Two equal channels of amplitude 0.5 mix to one of amplitude 0.5.
  EXPECT_NEAR(0.5 * 32767 / std::sqrt(2.0), rms(samples), 1200.0);
  EXPECT_NEAR(2000.0, crossingsPerSecond(samples), 60.0);
}

TEST_F(AudioDecoderTest, Mp3InAviDecodes) {
  test::EncodedClip shape;
  shape.container = "avi";
  shape.video = test::ClipVideo::Mjpeg;
  shape.audio = test::ClipAudio::Mp3;
  shape.frames = 48;
  std::string path = directory.file("mp3.avi");
  ASSERT_EQ("", test::writeEncodedClip(path, shape));
  AudioDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path.c_str(), kRate));
  EXPECT_EQ("mp3float", decoder.facts().codec.substr(0, 8));
  std::vector<std::int16_t> samples(8000);
  int delivered = 0;
  ASSERT_MEDIA_OK(decoder.read(10000, 8000, samples.data(), delivered));
  ASSERT_EQ(8000, delivered);
  EXPECT_NEAR(0.5 * 32767 / std::sqrt(2.0), rms(samples), 1500.0);
  EXPECT_NEAR(2000.0, crossingsPerSecond(samples), 60.0);
}

TEST_F(AudioDecoderTest, SeekingBackMatchesReadingStraightThrough) {
  std::string path = encode("seek.m4a", test::ClipAudio::Aac, "mp4", 1);
  AudioDecoder straight;
  ASSERT_MEDIA_OK(straight.open(path.c_str(), kRate));
  std::vector<std::int16_t> all(30000);
  int delivered = 0;
  ASSERT_MEDIA_OK(straight.read(0, 30000, all.data(), delivered));
  ASSERT_EQ(30000, delivered);
  EXPECT_EQ(0, straight.seekCount());

  AudioDecoder jumping;
  ASSERT_MEDIA_OK(jumping.open(path.c_str(), kRate));
  std::vector<std::int16_t> part(2000);
  ASSERT_MEDIA_OK(jumping.read(36000, 2000, part.data(), delivered));
  ASSERT_MEDIA_OK(jumping.read(20000, 2000, part.data(), delivered));
  ASSERT_EQ(2000, delivered);
  EXPECT_GE(jumping.seekCount(), 1);
  // After the seek the same sound comes out, in phase (a shift of a quarter
  // period of the 1000 Hz tone would give differences near 15000).
  double difference = 0.0;
  for (int i = 0; i < 2000; ++i)
    difference += std::abs(part[std::size_t(i)] - all[std::size_t(20000 + i)]);
  EXPECT_LT(difference / 2000.0, 1000.0);
}

TEST_F(AudioDecoderTest, FloatWavIsConverted) {
  test::WavClip shape;
  shape.format = test::StoredSampleFormat::Float32;
  shape.sampleRate = 40000;
  shape.sampleFrames = 40000;
  std::string path = directory.file("float.wav");
  ASSERT_TRUE(test::writeWav(path, shape));
  AudioDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path.c_str(), kRate));
  EXPECT_EQ(kRate, decoder.facts().length);
  std::vector<std::int16_t> samples(10000);
  int delivered = 0;
  ASSERT_MEDIA_OK(decoder.read(5000, 10000, samples.data(), delivered));
  EXPECT_NEAR(0.5 * 32767 / std::sqrt(2.0), rms(samples), 300.0);
}

TEST_F(AudioDecoderTest, ReadsAtAndPastTheEndDeliverWhatExists) {
  AudioDecoder decoder;
  ASSERT_MEDIA_OK(
      decoder.open(encode("end.m4a", test::ClipAudio::Aac, "mp4", 1).c_str(), kRate));
  const std::int64_t length = decoder.facts().length;
  std::vector<std::int16_t> samples(1000);
  int delivered = 0;
  ASSERT_MEDIA_OK(decoder.read(length - 100, 1000, samples.data(), delivered));
  EXPECT_LE(delivered, 100);
  ASSERT_MEDIA_OK(decoder.read(length, 1000, samples.data(), delivered));
  EXPECT_EQ(0, delivered);
}

TEST_F(AudioDecoderTest, FileWithoutSoundHasNoStream) {
  test::RawAviClip silent;
  std::string path = directory.file("silent.avi");
  ASSERT_TRUE(test::writeRawAvi(path, silent));
  AudioDecoder decoder;
  EXPECT_EQ(MediaStatus::NoStream, decoder.open(path.c_str(), kRate));
  EXPECT_FALSE(decoder.isOpen());
}

}  // namespace
}  // namespace vantrel
