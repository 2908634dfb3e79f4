#include "database/MovieHeaderRecord.h"

#include <gtest/gtest.h>

#include "database/DatabaseFormat.h"

namespace vantrel {
namespace {

class MovieHeaderRecordTest : public ::testing::Test {
 protected:
  static VideoHeaderInput plainMovie() {
    VideoHeaderInput input;
    input.screenWidth = 160;
    input.screenHeight = 160;
    input.colorDepth = 16;
    input.fps = 15.0;
    input.frameCount = 300;
    return input;
  }
};

TEST_F(MovieHeaderRecordTest, SerialisesEveryFieldBigEndianWithTextArea) {
  VideoHeaderInput input = plainMovie();
  input.keyInterval = 30;
  input.hasSound = true;
  input.loopPlayback = true;
  input.holdLastFrame = true;
  const std::vector<std::uint8_t> bytes = movieHeaderForVideo(input, "Ab", "C").serialize();
  const std::vector<std::uint8_t> expected = {
      0x00, 0x00,              // header version 0
      0x00, 0x2C,              // header size 44
      0x00, 0xA0,              // frame width 160
      0x00, 0xA0,              // stored height 160
      0x00, 0x08,              // bits per pixel 8
      0x00,                    // audio format 0: 8-bit PCM at 10000/s
      0x03,                    // colour mode 3: enhanced palette
      0x00, 0x43,              // frame period 67 ms
      0x00, 0x0F,              // 15 frames per second
      0x00, 0x1E,              // key frame interval 30
      0x00, 0x0F,              // flags: loop 1 + sound 2 + always 4 + hold 8
      0x00, 0x00, 0x00, 0x2C,  // title offset 44
      0x00, 0x00, 0x00, 0x2F,  // author offset 44 + 2 + 1
      0x00, 0x00, 0x00, 0x31,  // third text offset 47 + 1 + 1
      0x00, 0x00, 0x00, 0x32,  // text area end 49 + 1
      0x01, 0x2C,              // frame count 300
      0x01, 0x2D,              // first audio record 301
      0x02, 0x9A, 0xAA, 0xAB,  // fine period 43690667
      'A', 'b', 0x00,          // title
      'C', 0x00,               // author
      0x00,                    // empty third text
  };
  EXPECT_EQ(bytes, expected);
}

TEST_F(MovieHeaderRecordTest, EmptyTextsGiveThreeZeroBytesAndOffsets44To47) {
  const std::vector<std::uint8_t> bytes =
      movieHeaderForVideo(plainMovie(), "", "").serialize();
  ASSERT_EQ(bytes.size(), 47u);
  EXPECT_EQ(bytes[23], 44);  // title offset
  EXPECT_EQ(bytes[27], 45);  // author offset
  EXPECT_EQ(bytes[31], 46);  // third text offset
  EXPECT_EQ(bytes[35], 47);  // text area end
  EXPECT_EQ(bytes[44], 0);
  EXPECT_EQ(bytes[45], 0);
  EXPECT_EQ(bytes[46], 0);
}

TEST_F(MovieHeaderRecordTest, MovieWithoutSoundHasNoSoundFlagAndNoFirstAudioRecord) {
  const MovieHeaderRecord record = movieHeaderForVideo(plainMovie(), "", "");
  EXPECT_EQ(record.flags, kFlagAlways);
  EXPECT_EQ(record.firstAudioRecord, 0);
}

TEST_F(MovieHeaderRecordTest, TruecolorAt320By240StoresHeight360AndSixteenBits) {
  VideoHeaderInput input = plainMovie();
  input.screenWidth = 320;
  input.screenHeight = 240;
  input.colorDepth = 24;
  const MovieHeaderRecord record = movieHeaderForVideo(input, "", "");
  EXPECT_EQ(record.frameWidth, 320);
  EXPECT_EQ(record.storedHeight, 360);
  EXPECT_EQ(record.bitsPerPixel, 16);
  EXPECT_EQ(record.colourMode, kColourModeTruecolor);
}

TEST_F(MovieHeaderRecordTest, FifteenFramesPerSecondGivesRoundedPeriods) {
  EXPECT_EQ(framePeriodMsFor(15.0), 67);
  EXPECT_EQ(roundedFramesPerSecond(15.0), 15);
  EXPECT_EQ(finePeriodFor(15.0), 43690667u);
  EXPECT_EQ(roundedFramesPerSecond(9.99), 10);
  EXPECT_EQ(framePeriodMsFor(8.333333), 120);
}

TEST_F(MovieHeaderRecordTest, AudioFormatPrefersHifiOverAdpcm) {
  EXPECT_EQ(audioFormatCode(false, false), kAudioFormatPcm);
  EXPECT_EQ(audioFormatCode(false, true), kAudioFormatAdpcm);
  EXPECT_EQ(audioFormatCode(true, false), kAudioFormatHifiPcm);
  EXPECT_EQ(audioFormatCode(true, true), kAudioFormatHifiPcm);
}

TEST_F(MovieHeaderRecordTest, ColourModeFollowsCodeUnlessGrayscale) {
  EXPECT_EQ(colourModeCode(12, false), kColourModeStandard);
  EXPECT_EQ(colourModeCode(16, false), kColourModeEnhanced);
  EXPECT_EQ(colourModeCode(24, false), kColourModeTruecolor);
  EXPECT_EQ(colourModeCode(25, false), kColourModeTruecolorPlus);
  EXPECT_EQ(colourModeCode(12, true), kColourModeGrayscale);
  EXPECT_EQ(colourModeCode(16, true), kColourModeGrayscale);
  // Grayscale with a truecolor code keeps the layout's mode: it describes the frames.
  EXPECT_EQ(colourModeCode(24, true), kColourModeTruecolor);
  EXPECT_EQ(colourModeCode(25, true), kColourModeTruecolorPlus);
}

TEST_F(MovieHeaderRecordTest, SoundOnlyHeaderHasZeroVideoFieldsAndNominalTenFps) {
  const std::vector<std::uint8_t> bytes =
      movieHeaderForSoundOnly(false, true, false, false, true, 100, "", "").serialize();
  const std::vector<std::uint8_t> expected = {
      0x00, 0x00,              // header version 0
      0x00, 0x2C,              // header size 44
      0x00, 0x00,              // frame width 0
      0x00, 0x00,              // stored height 0
      0x00, 0x00,              // bits per pixel 0
      0x01,                    // audio format 1: ADPCM
      0x02,                    // colour mode 2: sound only
      0x00, 0x64,              // frame period 100 ms
      0x00, 0x0A,              // 10 frames per second
      0x00, 0x00,              // key frame interval 0
      0x00, 0x06,              // flags: sound 2 + always 4
      0x00, 0x00, 0x00, 0x2C,  // title offset 44
      0x00, 0x00, 0x00, 0x2D,  // author offset 45
      0x00, 0x00, 0x00, 0x2E,  // third text offset 46
      0x00, 0x00, 0x00, 0x2F,  // text area end 47
      0x00, 0x64,              // frame count: 100 tenths of a second
      0x00, 0x01,              // first audio record 1
      0x03, 0xE8, 0x00, 0x00,  // fine period 65536000
      0x00, 0x00, 0x00,        // empty title, author, third text
  };
  EXPECT_EQ(bytes, expected);
}

TEST_F(MovieHeaderRecordTest, FieldsTooLargeForSixteenBitsAreHeldAtTheLargestValue) {
  VideoHeaderInput input = plainMovie();
  input.frameCount = 70000;
  input.fps = 0.01;  // a 100-second frame period does not fit in milliseconds
  const MovieHeaderRecord record = movieHeaderForVideo(input, "", "");
  EXPECT_EQ(record.frameCount, 65535);
  EXPECT_EQ(record.framePeriodMs, 65535);
}

}  // namespace
}  // namespace vantrel
