#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/RawAudioReader.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

#define ASSERT_MEDIA_OK(expression) ASSERT_EQ(MediaStatus::Ok, (expression))

class RawAudioReaderTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const test::WavClip& shape) {
    std::string path = directory.file(name);
    EXPECT_TRUE(test::writeWav(path, shape));
    return path;
  }
  // The stored bytes of frames [first, first + count) of a shape.
  static std::vector<std::uint8_t> stored(const test::WavClip& shape, int first,
                                          int count) {
    std::vector<std::uint8_t> all = test::wavSampleData(shape);
    const int align = shape.channels * test::storedBitsPerSample(shape.format) / 8;
    return std::vector<std::uint8_t>(all.begin() + first * align,
                                     all.begin() + (first + count) * align);
  }
  test::ScratchDirectory directory;
};

TEST_F(RawAudioReaderTest, ReportsTheStoredFormatOfEachWavForm) {
  struct Case {
    test::StoredSampleFormat format;
    int channels;
    bool extensible;
    int tag;
    int bits;
  };
  const Case cases[] = {
      {test::StoredSampleFormat::PcmU8, 1, false, 1, 8},
      {test::StoredSampleFormat::PcmS16, 2, false, 1, 16},
      {test::StoredSampleFormat::ALaw, 2, false, 6, 8},
      {test::StoredSampleFormat::MuLaw, 1, false, 7, 8},
      {test::StoredSampleFormat::PcmS16, 2, true, 1,
       16},  // extensible: the sub-format's tag
      {test::StoredSampleFormat::Float32, 1, true, 3, 32},
      {test::StoredSampleFormat::PcmS24, 1, false, 1, 24},
  };
  for (const Case& c : cases) {
    test::WavClip shape;
    shape.format = c.format;
    shape.channels = c.channels;
    shape.extensible = c.extensible;
    shape.sampleRate = 11025;
    shape.sampleFrames = 3000;
    RawAudioReader reader;
    ASSERT_MEDIA_OK(reader.open(write("form.wav", shape).c_str()));
    const RawAudioFacts& facts = reader.facts();
    EXPECT_EQ(c.tag, facts.formatTag) << facts.codec;
    EXPECT_EQ(c.bits, facts.bitsPerSample) << facts.codec;
    EXPECT_EQ(c.channels, facts.channels);
    EXPECT_EQ(c.channels * c.bits / 8, facts.blockAlign);
    EXPECT_EQ(11025, facts.sampleRate);
    EXPECT_EQ(3000, facts.length);
    EXPECT_EQ(0, facts.firstSample);
  }
}

TEST_F(RawAudioReaderTest, DeliversStoredBytesByAbsoluteFrame) {
  test::WavClip shape;
  shape.channels = 2;
  shape.sampleFrames = 20000;
  RawAudioReader reader;
  ASSERT_MEDIA_OK(reader.open(write("stereo.wav", shape).c_str()));
  std::vector<std::uint8_t> out(4 * 5000);
  int delivered = 0;
  ASSERT_MEDIA_OK(reader.read(0, 5000, out.data(), delivered));
  ASSERT_EQ(5000, delivered);
  EXPECT_EQ(stored(shape, 0, 5000), out);
  ASSERT_MEDIA_OK(reader.read(5000, 5000, out.data(), delivered));
  EXPECT_EQ(stored(shape, 5000, 5000), out);
  EXPECT_EQ(1, reader.seekCount());  // the first read only
}

TEST_F(RawAudioReaderTest, BackwardReadSeeksAndStaysExact) {
  test::WavClip shape;
  shape.format = test::StoredSampleFormat::MuLaw;
  shape.sampleFrames = 30000;
  RawAudioReader reader;
  ASSERT_MEDIA_OK(reader.open(write("mulaw.wav", shape).c_str()));
  std::vector<std::uint8_t> out(1000);
  int delivered = 0;
  ASSERT_MEDIA_OK(reader.read(25000, 1000, out.data(), delivered));
  EXPECT_EQ(stored(shape, 25000, 1000), out);
  ASSERT_MEDIA_OK(reader.read(1234, 1000, out.data(), delivered));
  ASSERT_EQ(1000, delivered);
  EXPECT_EQ(stored(shape, 1234, 1000), out);
}

TEST_F(RawAudioReaderTest, ReadAtTheEndDeliversWhatIsLeftAndNothingPastIt) {
  test::WavClip shape;
  shape.sampleFrames = 1000;
  RawAudioReader reader;
  ASSERT_MEDIA_OK(reader.open(write("short.wav", shape).c_str()));
  std::vector<std::uint8_t> out(2 * 500);
  int delivered = 0;
  ASSERT_MEDIA_OK(reader.read(900, 500, out.data(), delivered));
  EXPECT_EQ(100, delivered);
  ASSERT_MEDIA_OK(reader.read(1000, 500, out.data(), delivered));
  EXPECT_EQ(0, delivered);
}

TEST_F(RawAudioReaderTest, ReadsTheSoundOfAnAviFile) {
  test::RawAviClip avi;
  avi.frames = 10;
  avi.withAudio = true;
  avi.audio.sampleRate = 8000;
  avi.audio.sampleFrames = 8000;
  std::string path = directory.file("clip.avi");
  ASSERT_TRUE(test::writeRawAvi(path, avi));
  RawAudioReader reader;
  ASSERT_MEDIA_OK(reader.open(path.c_str()));
  EXPECT_EQ(8000, reader.facts().length);
  EXPECT_EQ("avi", reader.facts().container);
  std::vector<std::uint8_t> out(2 * 1000);
  int delivered = 0;
  ASSERT_MEDIA_OK(reader.read(4321, 1000, out.data(), delivered));  // crosses chunks
  ASSERT_EQ(1000, delivered);
  EXPECT_EQ(stored(avi.audio, 4321, 1000), out);
}

TEST_F(RawAudioReaderTest, RefusesNonRiffFilesAndFilesWithoutSound) {
  test::RawAviClip silent;
  std::string avi = directory.file("silent.avi");
  ASSERT_TRUE(test::writeRawAvi(avi, silent));
  std::string text = directory.file("notes.txt");
  ASSERT_TRUE(test::writeTextFile(text, "no sound here\n"));
  RawAudioReader reader;
  EXPECT_EQ(MediaStatus::NoStream, reader.open(avi.c_str()));
  EXPECT_EQ(MediaStatus::UnknownFormat, reader.open(text.c_str()));
  EXPECT_EQ(MediaStatus::FileMissing, reader.open(directory.file("gone.wav").c_str()));
  EXPECT_FALSE(reader.isOpen());
}

}  // namespace
}  // namespace vantrel
