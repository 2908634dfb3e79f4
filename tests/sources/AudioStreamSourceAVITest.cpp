#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sources/AudioStreamSourceAVI.h"
#include "support/EncodedClipWriter.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

#define ASSERT_SOURCE_OK(expression) ASSERT_EQ(0, (expression))

using test::StoredSampleFormat;

class AudioStreamSourceAVITest : public ::testing::Test {
 protected:
  AudioStreamSourceAVITest() {
    source.setMessageSink([this](const std::string& text) { messages.push_back(text); });
  }
  std::string wav(const std::string& name, StoredSampleFormat format, int channels,
                  bool extensible = false, int frames = 6000) {
    test::WavClip shape;
    shape.format = format;
    shape.channels = channels;
    shape.extensible = extensible;
    shape.sampleRate = 22050;
    shape.sampleFrames = frames;
    std::string path = directory.file(name);
    EXPECT_TRUE(test::writeWav(path, shape));
    return path;
  }

  test::ScratchDirectory directory;
  AudioStreamSourceAVI source;
  std::vector<std::string> messages;
};

TEST_F(AudioStreamSourceAVITest, KindTagAndStartup) {
  EXPECT_EQ(0x41415649u, source.kind());
  EXPECT_EQ(0, source.startup());
  EXPECT_EQ(0, source.sampleCount());
}

TEST_F(AudioStreamSourceAVITest, EveryFormThePipelineConvertsIsDeliveredAsStored) {
  struct Case {
    StoredSampleFormat format;
    int channels;
    bool extensible;
    int tag;
    int bits;
  };
  const Case cases[] = {
      {StoredSampleFormat::PcmU8, 1, false, 1, 8},
      {StoredSampleFormat::PcmU8, 2, false, 1, 8},
      {StoredSampleFormat::PcmS16, 1, false, 1, 16},
      {StoredSampleFormat::PcmS16, 2, false, 1, 16},
      {StoredSampleFormat::ALaw, 1, false, 6, 8},
      {StoredSampleFormat::ALaw, 2, false, 6, 8},
      {StoredSampleFormat::MuLaw, 1, false, 7, 8},
      {StoredSampleFormat::MuLaw, 2, false, 7, 8},
      {StoredSampleFormat::PcmS16, 2, true, 1, 16},
      {StoredSampleFormat::PcmU8, 1, true, 1, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "tag " << c.tag << " bits " << c.bits << " channels " << c.channels
                 << (c.extensible ? " extensible" : ""));
    test::WavClip shape;
    shape.format = c.format;
    shape.channels = c.channels;
    shape.extensible = c.extensible;
    shape.sampleRate = 22050;
    shape.sampleFrames = 6000;
    const std::string path = directory.file("form.wav");
    ASSERT_TRUE(test::writeWav(path, shape));
    ASSERT_SOURCE_OK(source.open(path.c_str()));
    AudioStreamInfo info;
    ASSERT_SOURCE_OK(source.getStreamInfo(info));
    EXPECT_EQ(c.tag, info.formatTag);
    EXPECT_EQ(c.bits, info.bitsPerSample);
    EXPECT_EQ(c.channels, info.channels);
    EXPECT_EQ(c.channels * c.bits / 8, info.blockAlign);
    EXPECT_EQ(22050, info.samplesPerSecond);
    EXPECT_EQ(22050u, info.rate / info.scale);
    EXPECT_EQ(6000, info.length);
    EXPECT_EQ(6000, source.sampleCount());
    EXPECT_EQ(0, source.firstSample());
    const std::vector<std::uint8_t> stored = test::wavSampleData(shape);
    std::vector<std::uint8_t> buffer(std::size_t(info.blockAlign) * 2500);
    int bytes = 0;
    int frames = 0;
    ASSERT_SOURCE_OK(
        source.read(3000, 2500, buffer.data(), int(buffer.size()), bytes, frames));
    ASSERT_EQ(2500, frames);
    ASSERT_EQ(2500 * info.blockAlign, bytes);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(),
                           stored.begin() + 3000 * info.blockAlign));
  }
}

TEST_F(AudioStreamSourceAVITest, ReadsTheSoundOfAnAviFileInAnyOrder) {
  test::RawAviClip avi;
  avi.frames = 10;
  avi.withAudio = true;
  avi.audio.channels = 2;
  avi.audio.sampleRate = 11025;
  avi.audio.sampleFrames = 11025;
  const std::string path = directory.file("clip.avi");
  ASSERT_TRUE(test::writeRawAvi(path, avi));
  ASSERT_SOURCE_OK(source.open(path.c_str()));
  EXPECT_EQ(11025, source.sampleCount());
  const std::vector<std::uint8_t> stored = test::wavSampleData(avi.audio);
  std::vector<std::uint8_t> buffer(4 * 700);
  for (int first : {9000, 100, 5000, 5700}) {
    int bytes = 0;
    int frames = 0;
    ASSERT_SOURCE_OK(
        source.read(first, 700, buffer.data(), int(buffer.size()), bytes, frames));
    ASSERT_EQ(700, frames);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), stored.begin() + first * 4))
        << first;
  }
}

TEST_F(AudioStreamSourceAVITest, ReadingAtTheEndGivesWhatIsLeftWithoutError) {
  ASSERT_SOURCE_OK(
      source.open(wav("end.wav", StoredSampleFormat::PcmS16, 1, false, 1000).c_str()));
  std::vector<std::uint8_t> buffer(2 * 400);
  int bytes = -1;
  int frames = -1;
  ASSERT_SOURCE_OK(
      source.read(800, 400, buffer.data(), int(buffer.size()), bytes, frames));
  EXPECT_EQ(200, frames);
  EXPECT_EQ(400, bytes);
  ASSERT_SOURCE_OK(
      source.read(1000, 400, buffer.data(), int(buffer.size()), bytes, frames));
  EXPECT_EQ(0, frames);
  EXPECT_EQ(0, bytes);
}

TEST_F(AudioStreamSourceAVITest, SmallBufferGetsWhatFitsAndCode9) {
  ASSERT_SOURCE_OK(source.open(wav("small.wav", StoredSampleFormat::PcmS16, 2).c_str()));
  std::vector<std::uint8_t> buffer(4 * 100);
  int bytes = 0;
  int frames = 0;
  EXPECT_EQ(9, source.read(0, 500, buffer.data(), int(buffer.size()), bytes, frames));
  EXPECT_EQ(100, frames);
  EXPECT_EQ(400, bytes);
}

TEST_F(AudioStreamSourceAVITest, FailingReadShowsTheBoxAndGivesCode6) {
  ASSERT_SOURCE_OK(source.open(wav("fail.wav", StoredSampleFormat::PcmS16, 1).c_str()));
  std::vector<std::uint8_t> buffer(64);
  int bytes = 0;
  int frames = 0;
  EXPECT_EQ(6, source.read(-5, 10, buffer.data(), int(buffer.size()), bytes, frames));
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(
      "AVI Audio Reading error: Error reading audio data from AVI file at sample -5, "
      "count 10.\n",
      messages[0]);
}

TEST_F(AudioStreamSourceAVITest, FloatSoundIsRefusedWithItsTag) {
  EXPECT_EQ(14, source.open(wav("float.wav", StoredSampleFormat::Float32, 2).c_str()));
  EXPECT_STREQ(
      "Your audio file contains compressed audio (type 0x3), which we currently cannot "
      "handle.  "
      "Please use an audio source with uncompressed (PCM) audio.",
      source.errorText(14));
  EXPECT_FALSE(source.isOpen());
  EXPECT_EQ(14, source.open(
                    wav("float-ext.wav", StoredSampleFormat::Float32, 1, true).c_str()));
  EXPECT_NE(nullptr, std::strstr(source.errorText(14), "(type 0x3)"));
}

TEST_F(AudioStreamSourceAVITest, TwentyFourBitPcmIsRefusedWithTheTagOfPcm) {
  EXPECT_EQ(14, source.open(wav("deep.wav", StoredSampleFormat::PcmS24, 1).c_str()));
  EXPECT_NE(nullptr, std::strstr(source.errorText(14), "(type 0x1)"));
}

TEST_F(AudioStreamSourceAVITest, Mp3InAnAviFileIsRefusedAsType55) {
  test::EncodedClip clip;
  clip.audio = test::ClipAudio::Mp3;
  const std::string path = directory.file("mp3.avi");
  ASSERT_EQ("", test::writeEncodedClip(path, clip));
  EXPECT_EQ(14, source.open(path.c_str()));
  EXPECT_NE(nullptr, std::strstr(source.errorText(14), "(type 0x55)"));
}

TEST_F(AudioStreamSourceAVITest, MoreThanTwoChannelsAskForADownmix) {
  EXPECT_EQ(15, source.open(wav("six.wav", StoredSampleFormat::PcmS16, 6).c_str()));
  EXPECT_EQ(
      0u,
      std::string(source.errorText(15))
          .find(
              "The audio file contains PCM audio with an unusal number of channels--more "
              "than two--which we currently cannot handle."));
  EXPECT_FALSE(source.isOpen());
}

TEST_F(AudioStreamSourceAVITest, FileWithoutSoundGivesCode4) {
  test::RawAviClip silent;
  const std::string path = directory.file("silent.avi");
  ASSERT_TRUE(test::writeRawAvi(path, silent));
  EXPECT_EQ(4, source.open(path.c_str()));
}

TEST_F(AudioStreamSourceAVITest, NamesThatNameNoSound) {
  const std::string script = directory.file("clip.avs");
  ASSERT_TRUE(test::writeTextFile(script, "Version()\n"));
  const std::string text = directory.file("notes.txt");
  ASSERT_TRUE(test::writeTextFile(text, "words\n"));
  EXPECT_EQ(2, source.open(""));
  EXPECT_EQ(3, source.open(directory.file("absent.wav").c_str()));
  EXPECT_EQ(12, source.open(script.c_str()));
  EXPECT_STREQ("No format handler is registered for this AVI file format",
               source.errorText(12));
  EXPECT_EQ(5, source.open(text.c_str()));
}

TEST_F(AudioStreamSourceAVITest, ClosedSourceRefusesAndClosingTwiceIsSafe) {
  std::vector<std::uint8_t> buffer(16);
  int bytes = 0;
  int frames = 0;
  AudioStreamInfo info;
  EXPECT_EQ(8, source.read(0, 4, buffer.data(), 16, bytes, frames));
  EXPECT_EQ(8, source.getStreamInfo(info));
  ASSERT_SOURCE_OK(source.open(wav("x.wav", StoredSampleFormat::PcmU8, 1).c_str()));
  source.close();
  source.close();
  EXPECT_FALSE(source.isOpen());
  EXPECT_EQ(0, source.sampleCount());
}

TEST_F(AudioStreamSourceAVITest, KindTextsAndFormattedMessages) {
  EXPECT_EQ(0u, std::string(source.errorText(1))
                    .find("An out-of-memory error occurred while processing the "
                          "specified AVI audio file."));
  EXPECT_EQ(13, source.setError(13, std::string(2000, 'e').c_str()));
  EXPECT_EQ(
      "Avisynth reported an error opening your script:\n\n" + std::string(1900, 'e'),
      std::string(source.errorText(13)));
  EXPECT_EQ(14, source.setError(14, 0xABCDUL));
  EXPECT_NE(nullptr, std::strstr(source.errorText(14), "(type 0xABCD)"));
  EXPECT_STREQ("Unknown ErrCode 16", source.errorText(16));
}

}  // namespace
}  // namespace vantrel
