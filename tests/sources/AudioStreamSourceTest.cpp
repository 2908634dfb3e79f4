#include <gtest/gtest.h>

#include <cerrno>

#include "sources/AudioStreamRange.h"
#include "sources/AudioStreamSource.h"
#include "support/FakeAudioSource.h"

namespace vantrel {
namespace {

class AudioStreamSourceTest : public ::testing::Test {
 protected:
  FakeAudioSource source{FakeAudioSource::pcmInfo(8000, 16, 1), {}};
};

TEST_F(AudioStreamSourceTest, CommonCodesHaveTheirTexts) {
  EXPECT_STREQ("No error", source.errorText(0));
  EXPECT_STREQ(
      "An out-of-memory error occurred while processing the specified audio file",
      source.errorText(1));
  EXPECT_STREQ("The audio file wasn't specified", source.errorText(2));
  EXPECT_STREQ("The audio file doesn't exist", source.errorText(3));
  EXPECT_STREQ("The file doesn't contain audio data", source.errorText(4));
  EXPECT_STREQ("The audio file is corrupt, compressed or is in an unrecognized format",
               source.errorText(5));
  EXPECT_STREQ("An error occurred while reading from the audio file",
               source.errorText(6));
  EXPECT_STREQ("An error occurred while opening the audio file", source.errorText(7));
  EXPECT_STREQ("The audio stream isn't open", source.errorText(8));
  EXPECT_STREQ("Specified data buffer is too small, not all data returned",
               source.errorText(9));
  EXPECT_STREQ("Unknown error", source.errorText(10));
}

TEST_F(AudioStreamSourceTest, UnknownCodesNameTheCode) {
  EXPECT_STREQ("Unknown ErrCode 99", source.errorText(99));
  EXPECT_STREQ("Unknown ErrCode 12", source.errorText(12));
}

TEST_F(AudioStreamSourceTest, SetErrorOfTheOsCodePrefixesTheSystemMessage) {
  EXPECT_EQ(11, source.setError(11, EACCES));
  EXPECT_STREQ("OS Error: Permission denied", source.errorText(11));
}

TEST_F(AudioStreamSourceTest, SetErrorWithoutASystemMessageShowsTheValue) {
  EXPECT_EQ(11, source.setError(11, 0xBEEF));
  EXPECT_STREQ("OS error 0xbeef", source.errorText(11));
}

TEST_F(AudioStreamSourceTest, FormatOsErrorKeepsTheMessageUnchanged) {
  source.formatOsError(ENOENT);
  EXPECT_STREQ("No such file or directory", source.errorText(11));
  source.formatOsError(70000);
  EXPECT_STREQ("OS error 0x11170", source.errorText(11));
}

TEST_F(AudioStreamSourceTest, CodesWithoutAMessageAreReturnedUnchanged) {
  source.formatOsError(ENOENT);
  EXPECT_EQ(5, source.setError(5, 1234));
  EXPECT_STREQ("No such file or directory", source.errorText(11));
}

TEST_F(AudioStreamSourceTest, DefaultStartupSucceeds) { EXPECT_EQ(0, source.startup()); }

TEST_F(AudioStreamSourceTest, ARangeShowsItsPartAsTheWholeStreamAndReadsNothingPastIt) {
  // Frames 100 to 109 of a source numbered from 100: the part is 103 to 106.
  FakeAudioSource sound(FakeAudioSource::pcmInfo(8000, 16, 1),
                        FakeAudioSource::packInt16({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), 100);
  AudioStreamRange part;
  part.show(sound, 103, 4);
  EXPECT_EQ(part.firstSample(), 103);
  EXPECT_EQ(part.sampleCount(), 4);
  AudioStreamInfo info;
  ASSERT_EQ(part.getStreamInfo(info), 0);
  EXPECT_EQ(info.length, 4);
  EXPECT_EQ(info.rate, 8000u);
  std::int16_t samples[8] = {};
  int bytes = 0;
  int count = 0;
  ASSERT_EQ(part.read(105, 8, samples, sizeof samples, bytes, count), 0);
  EXPECT_EQ(count, 2);  // 105 and 106, the part's last
  EXPECT_EQ(samples[0], 5);
  EXPECT_EQ(samples[1], 6);
  ASSERT_EQ(part.read(107, 8, samples, sizeof samples, bytes, count), 0);
  EXPECT_EQ(count, 0);
  // A part reaching past the sound keeps to it; closing the part closes the sound.
  part.show(sound, 108, 50);
  EXPECT_EQ(part.sampleCount(), 2);
  part.close();
  EXPECT_FALSE(sound.isOpen());
}

}  // namespace
}  // namespace vantrel
