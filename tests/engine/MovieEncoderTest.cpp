#include "engine/MovieEncoder.h"

#include <cstring>

#include <gtest/gtest.h>

#include "support/FakeAudioSource.h"
#include "support/FakeVideoSource.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

class MovieEncoderTest : public ::testing::Test {
 protected:
  // Opens the fake video stream (rate / scale fps, length frames) and selects it.
  void selectVideo(int rate, int scale, int length) {
    VideoStreamInfo info;
    info.rate = rate;
    info.scale = scale;
    info.length = length;
    info.width = 32;
    info.height = 24;
    video.setStream(info);
    ASSERT_EQ(video.open("clip"), 0);
    engine.selectedVideo = &video;
  }
  void selectAudio() { engine.selectedAudio = &audio; }

  struct Plan {
    double fps = 0.0;
    int frameCount = 0;
    double frameStep = 0.0;
    int audioRecordCount = 0;
    int firstFrame = 0;
    int lastFrame = 0;
  };
  Plan plan(int requestedFps, int firstFrame = 0, int lastFrame = 0) {
    Plan p;
    p.firstFrame = firstFrame;
    p.lastFrame = lastFrame;
    engine.planMovie(requestedFps, p.fps, p.frameCount, p.frameStep, p.audioRecordCount,
                     nullptr, p.firstFrame, p.lastFrame);
    return p;
  }

  // Sources first: the engine closes its selections when it goes.
  FakeVideoSource video;
  FakeAudioSource audio{FakeAudioSource::pcmInfo(10000, 16, 1),
                        std::vector<std::uint8_t>(2000, 0)};
  MovieEncoder engine;
};

TEST_F(MovieEncoderTest, NewEngineHasTheDefaultParameters) {
  EXPECT_EQ(engine.maxFrameSize, 3000);
  EXPECT_EQ(engine.targetFrameSize, 1600);
  EXPECT_EQ(engine.minFrameSize, 800);
  EXPECT_EQ(engine.colorDepth, 16);
  EXPECT_EQ(engine.screenWidth, 160);
  EXPECT_EQ(engine.screenHeight, 160);
  EXPECT_EQ(engine.frameRate, 15);
  EXPECT_TRUE(engine.audioBoostOn);
  EXPECT_EQ(engine.audioBoostPercent, 150);
  EXPECT_FALSE(engine.abortRequested);
  EXPECT_EQ(engine.videoSource(), nullptr);
  EXPECT_EQ(engine.audioSource(), nullptr);
  EXPECT_EQ(engine.outputFrame.size(), 320u * 720u);
  EXPECT_EQ(engine.reconFrames[1].size(), 320u * 720u);
  EXPECT_EQ(engine.colorHistogram.size(), 32768u);
  EXPECT_EQ(engine.pixelKeys.size(), 320u * 720u);
}

TEST_F(MovieEncoderTest, NewEnginePaletteIsASixBySevenBySixCube) {
  ASSERT_EQ(engine.palette, engine.displayInfo.colours);
  EXPECT_EQ(engine.palette[215], 0x00FF00FFu);  // red 255, green 0, blue 255
  EXPECT_EQ(engine.palette[41], 0x0000FFFFu);   // red 0, green 255, blue 255
  EXPECT_EQ(engine.palette[251], 0x00FFFFFFu);
  EXPECT_EQ(engine.palette[0], 0u);
  EXPECT_EQ(engine.palette[7], 0x00002A33u);  // green 1 x 255 / 6 = 42, blue 51
  EXPECT_EQ(engine.palette[252], 0u);
  EXPECT_EQ(engine.palette[255], 0u);
}

TEST_F(MovieEncoderTest, DisplayFormatDescribesABottomUpEightBitBitmap) {
  const BitmapInfoHeader& header = engine.displayBitmapInfo()->header;
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, 320);
  EXPECT_EQ(header.biHeight, 720);
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 8);
  EXPECT_EQ(header.biCompression, kBiRgb);
  EXPECT_EQ(header.biSizeImage, 320u * 720u);
  EXPECT_EQ(header.biXPelsPerMeter, 40);
  EXPECT_EQ(header.biYPelsPerMeter, 40);
  EXPECT_EQ(header.biClrUsed, 256u);
  EXPECT_EQ(header.biClrImportant, 256u);
}

TEST_F(MovieEncoderTest, SetDisplayFormatLeavesTheTopFourEntriesAlone) {
  engine.palette[253] = 0x123456;
  engine.palette[3] = 0x654321;
  engine.setDisplayFormat(160, 120, 4);
  EXPECT_EQ(engine.palette[253], 0x123456u);
  EXPECT_EQ(engine.palette[3], 0x00000099u);  // blue 3 x 255 / 5
  EXPECT_EQ(engine.displayInfo.header.biSizeImage, 160u * 120u * 4u / 8u);
}

TEST_F(MovieEncoderTest, RecordListBecomesBigEndianInPlace) {
  std::int32_t entries[4] = {0x01020304, 0, 0x000000FF, 0};
  engine.recordListToBigEndian(entries, 2);
  std::uint8_t bytes[16];
  std::memcpy(bytes, entries, sizeof bytes);
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[3], 0x04);
  EXPECT_EQ(bytes[4], 0x00);
  EXPECT_EQ(bytes[8], 0x00);
  EXPECT_EQ(bytes[11], 0xFF);
}

TEST_F(MovieEncoderTest, AbortFlagIsSetAndClearedOnRequest) {
  engine.requestAbort();
  EXPECT_TRUE(engine.abortRequested);
  engine.clearAbort();
  EXPECT_FALSE(engine.abortRequested);
}

TEST_F(MovieEncoderTest, HasVideoAndAudioNeedOpenSelectedSources) {
  EXPECT_FALSE(engine.hasVideo());
  EXPECT_FALSE(engine.hasAudio());
  selectVideo(10, 1, 20);
  selectAudio();
  EXPECT_TRUE(engine.hasVideo());
  EXPECT_TRUE(engine.hasAudio());
  audio.close();
  EXPECT_FALSE(engine.hasAudio());
}

TEST_F(MovieEncoderTest, OpenSourcesSelectsFromTheListsAndCloseReleasesThem) {
  test::ScratchDirectory scratch;
  const std::string path = scratch.file("clip.avi");
  ASSERT_TRUE(test::writeTextFile(path, "not really a movie"));
  const VideoSourceList videoList = {&video};
  engine.videoSources = &videoList;
  EXPECT_EQ(engine.openSources(nullptr, path.c_str()), nullptr);
  EXPECT_EQ(engine.videoSource(), &video);
  EXPECT_TRUE(engine.hasVideo());
  engine.closeSources();
  EXPECT_EQ(engine.videoSource(), nullptr);
  EXPECT_FALSE(video.isOpen());
}

TEST_F(MovieEncoderTest, WholeSourceOfHundredFramesGivesNinetyNine) {
  selectVideo(10, 1, 100);
  const Plan p = plan(0);
  EXPECT_DOUBLE_EQ(p.fps, 10.0);
  EXPECT_EQ(p.frameCount, 99);
  EXPECT_EQ(p.firstFrame, 0);
  EXPECT_EQ(p.lastFrame, 99);
  EXPECT_EQ(p.audioRecordCount, 0);
}

TEST_F(MovieEncoderTest, LastFrameBeyondTheSourceIsClamped) {
  selectVideo(10, 1, 100);
  const Plan p = plan(0, 10, 500);
  EXPECT_EQ(p.firstFrame, 10);
  EXPECT_EQ(p.lastFrame, 99);
  EXPECT_EQ(p.frameCount, 89);
}

TEST_F(MovieEncoderTest, RangeIsConvertedToOutputFrames) {
  selectVideo(30, 1, 300);  // 30 fps at 15 requested: two source frames per output frame
  const Plan p = plan(15, 41, 101);
  EXPECT_DOUBLE_EQ(p.frameStep, 2.0);
  EXPECT_EQ(p.firstFrame, 20);  // 41 / 2 truncated
  EXPECT_EQ(p.lastFrame, 51);   // 101 / 2 + 0.5 truncated
  EXPECT_EQ(p.frameCount, 31);
}

TEST_F(MovieEncoderTest, FirstFramePastTheEndBecomesTheLastFrame) {
  selectVideo(10, 1, 100);
  const Plan p = plan(0, 400, 0);
  EXPECT_EQ(p.firstFrame, 99);
  EXPECT_EQ(p.lastFrame, 99);
  EXPECT_EQ(p.frameCount, 1);  // never fewer than one frame
}

TEST_F(MovieEncoderTest, ThirtySecondsAtFifteenFpsNeedTenPcmRecords) {
  selectVideo(15, 1, 451);
  selectAudio();
  const Plan p = plan(15);
  EXPECT_EQ(p.frameCount, 450);
  EXPECT_EQ(p.audioRecordCount, 10);  // ceil(450 x 0.30517578125 / 15)
}

TEST_F(MovieEncoderTest, HifiFactorWinsOverAdpcm) {
  selectVideo(15, 1, 451);
  selectAudio();
  engine.hifiAudio = true;
  engine.adpcmAudio = true;
  EXPECT_EQ(plan(15).audioRecordCount, 19);  // ceil(450 x 0.6103515625 / 15) = ceil(18.3)
  engine.hifiAudio = false;
  EXPECT_EQ(plan(15).audioRecordCount, 5);  // ceil(450 x 0.152587890625 / 15) = ceil(4.58)
}

}  // namespace
}  // namespace vantrel
