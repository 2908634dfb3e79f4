#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sources/AudioStreamSourceQT.h"
#include "support/EncodedClipWriter.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

#define ASSERT_SOURCE_OK(expression) ASSERT_EQ(0, (expression))

class OldLibrariesAudioSource : public AudioStreamSourceQT {
 public:
  int startQuickTime() override { return kLibraryMissing; }
};

// Samples from little-endian bytes.
std::vector<std::int16_t> samplesOf(const std::vector<std::uint8_t>& bytes, int count) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    samples[std::size_t(i)] =
        std::int16_t(bytes[std::size_t(2 * i)] | (bytes[std::size_t(2 * i + 1)] << 8));
  }
  return samples;
}

double rms(const std::vector<std::int16_t>& samples) {
  double sum = 0.0;
  for (std::int16_t s : samples) sum += double(s) * s;
  return std::sqrt(sum / double(samples.size()));
}

class AudioStreamSourceQTTest : public ::testing::Test {
 protected:
  AudioStreamSourceQTTest() {
    source.setMessageSink([this](const std::string& text) { messages.push_back(text); });
  }
  std::string encode(const std::string& name, test::ClipAudio audio,
                     const std::string& container,
                     test::ClipVideo video = test::ClipVideo::None) {
    test::EncodedClip clip;
    clip.container = container;
    clip.video = video;
    clip.frames = 48;  // two seconds of pictures when there are pictures
    clip.audio = audio;
    clip.audioSeconds = 2.0;
    std::string path = directory.file(name);
    EXPECT_EQ("", test::writeEncodedClip(path, clip));
    return path;
  }

  test::ScratchDirectory directory;
  AudioStreamSourceQT source;
  std::vector<std::string> messages;
};

TEST_F(AudioStreamSourceQTTest, KindTagAndStartup) {
  EXPECT_EQ(0x41515420u, source.kind());
  EXPECT_EQ(0, source.startup());
  EXPECT_EQ(0, source.sampleCount());
}

TEST_F(AudioStreamSourceQTTest, AacIsDeliveredAs16BitMonoAt20000Hz) {
  ASSERT_SOURCE_OK(source.open(encode("tone.m4a", test::ClipAudio::Aac, "mp4").c_str()));
  AudioStreamInfo info;
  ASSERT_SOURCE_OK(source.getStreamInfo(info));
  EXPECT_EQ(20000, info.samplesPerSecond);
  EXPECT_EQ(20000u, info.rate / info.scale);
  EXPECT_EQ(0u, info.rate % info.scale);
  EXPECT_EQ(16, info.bitsPerSample);
  EXPECT_EQ(2, info.blockAlign);
  EXPECT_EQ(1, info.channels);
  EXPECT_EQ(0, info.formatTag);
  EXPECT_NEAR(40000, info.length, 1000);
  EXPECT_EQ(info.length, source.sampleCount());
  EXPECT_EQ(0, source.firstSample());
  std::vector<std::uint8_t> buffer(2 * 16384);
  int bytes = 0;
  int samples = 0;
  ASSERT_SOURCE_OK(
      source.read(0, 16384, buffer.data(), int(buffer.size()), bytes, samples));
  EXPECT_EQ(16384, samples);
  EXPECT_EQ(2 * 16384, bytes);
  EXPECT_NEAR(0.5 * 32767 / std::sqrt(2.0), rms(samplesOf(buffer, samples)), 1200.0);
}

TEST_F(AudioStreamSourceQTTest, Mp3SoundOfAnAviFileIsTaken) {
  ASSERT_SOURCE_OK(source.open(
      encode("mp3.avi", test::ClipAudio::Mp3, "avi", test::ClipVideo::Mjpeg).c_str()));
  std::vector<std::uint8_t> buffer(2 * 8000);
  int bytes = 0;
  int samples = 0;
  ASSERT_SOURCE_OK(
      source.read(12000, 8000, buffer.data(), int(buffer.size()), bytes, samples));
  ASSERT_EQ(8000, samples);
  EXPECT_NEAR(0.5 * 32767 / std::sqrt(2.0), rms(samplesOf(buffer, samples)), 1500.0);
}

TEST_F(AudioStreamSourceQTTest, FloatWavThatTheAviKindRefusesIsTaken) {
  test::WavClip shape;
  shape.format = test::StoredSampleFormat::Float32;
  shape.channels = 2;
  shape.sampleRate = 32000;
  shape.sampleFrames = 32000;
  const std::string path = directory.file("float.wav");
  ASSERT_TRUE(test::writeWav(path, shape));
  ASSERT_SOURCE_OK(source.open(path.c_str()));
  EXPECT_EQ(20000, source.sampleCount());
}

TEST_F(AudioStreamSourceQTTest, ReadsAtAndPastTheEndGiveFewerSamplesWithoutError) {
  ASSERT_SOURCE_OK(
      source.open(encode("end.mkv", test::ClipAudio::Aac, "matroska").c_str()));
  const int length = source.sampleCount();
  std::vector<std::uint8_t> buffer(2 * 100);
  int bytes = -1;
  int samples = -1;
  ASSERT_SOURCE_OK(
      source.read(length - 10, 100, buffer.data(), int(buffer.size()), bytes, samples));
  EXPECT_LE(samples, 10);
  EXPECT_EQ(2 * samples, bytes);
  ASSERT_SOURCE_OK(
      source.read(length, 100, buffer.data(), int(buffer.size()), bytes, samples));
  EXPECT_EQ(0, samples);
  EXPECT_EQ(0, bytes);
}

TEST_F(AudioStreamSourceQTTest, BackwardReadsDeliverTheSameSound) {
  ASSERT_SOURCE_OK(source.open(encode("again.m4a", test::ClipAudio::Aac, "mp4").c_str()));
  std::vector<std::uint8_t> first(2 * 1000);
  std::vector<std::uint8_t> again(2 * 1000);
  int bytes = 0;
  int samples = 0;
  ASSERT_SOURCE_OK(source.read(10000, 1000, first.data(), 2000, bytes, samples));
  ASSERT_SOURCE_OK(source.read(30000, 1000, again.data(), 2000, bytes, samples));
  ASSERT_SOURCE_OK(source.read(10000, 1000, again.data(), 2000, bytes, samples));
  ASSERT_EQ(1000, samples);
  const std::vector<std::int16_t> a = samplesOf(first, 1000);
  const std::vector<std::int16_t> b = samplesOf(again, 1000);
  double difference = 0.0;
  for (int i = 0; i < 1000; ++i)
    difference += std::abs(a[std::size_t(i)] - b[std::size_t(i)]);
  EXPECT_LT(difference / 1000.0, 1000.0);
  EXPECT_GE(source.decoderSeekCount(), 1);
}

TEST_F(AudioStreamSourceQTTest, SmallBufferGetsWhatFitsAndCode9) {
  ASSERT_SOURCE_OK(source.open(encode("small.m4a", test::ClipAudio::Aac, "mp4").c_str()));
  std::vector<std::uint8_t> buffer(2 * 50);
  int bytes = 0;
  int samples = 0;
  EXPECT_EQ(9, source.read(0, 500, buffer.data(), int(buffer.size()), bytes, samples));
  EXPECT_EQ(50, samples);
  EXPECT_EQ(100, bytes);
  ASSERT_EQ(1u, messages.size());
  EXPECT_NE(std::string::npos, messages[0].find("AudioStreamSourceQT.cpp line "));
  EXPECT_NE(std::string::npos,
            messages[0].find("Quicktime Audio Error:  Sound buffer too small"));
}

TEST_F(AudioStreamSourceQTTest, FileWithoutSoundGivesCode4) {
  test::RawAviClip silent;
  const std::string path = directory.file("silent.avi");
  ASSERT_TRUE(test::writeRawAvi(path, silent));
  EXPECT_EQ(4, source.open(path.c_str()));
  EXPECT_FALSE(source.isOpen());
}

TEST_F(AudioStreamSourceQTTest, FilesThatAreNoMoviesShowAnErrorValue) {
  const std::string text = directory.file("notes.txt");
  ASSERT_TRUE(test::writeTextFile(text, "words only\n"));
  EXPECT_EQ(12, source.open(text.c_str()));
  EXPECT_STREQ("QuickTime Macintosh OS error -2048", source.errorText(12));
  EXPECT_EQ(2, source.open(""));
  EXPECT_EQ(3, source.open(("/" + std::string(300, 's') + ".mov").c_str()));
}

TEST_F(AudioStreamSourceQTTest, MissingLibrariesGiveCode14) {
  OldLibrariesAudioSource old;
  EXPECT_EQ(14, old.startup());
  EXPECT_EQ(14, old.open(directory.file("any.mov").c_str()));
  EXPECT_EQ(0u, std::string(old.errorText(14)).find("QuickTime is either not installed"));
  EXPECT_EQ(0u, std::string(old.errorText(15))
                    .find("QuickTime movie sound export components are not available."));
}

TEST_F(AudioStreamSourceQTTest, ClosedSourceRefusesAndClosingTwiceIsSafe) {
  std::vector<std::uint8_t> buffer(16);
  int bytes = 0;
  int samples = 0;
  AudioStreamInfo info;
  EXPECT_EQ(8, source.read(0, 4, buffer.data(), 16, bytes, samples));
  EXPECT_EQ(8, source.getStreamInfo(info));
  source.close();
  source.close();
  EXPECT_FALSE(source.isOpen());
  EXPECT_EQ(13, source.setQuickDrawError(-32768));
  EXPECT_STREQ("QuickTime QuickDraw error -32768", source.errorText(13));
}

}  // namespace
}  // namespace vantrel
