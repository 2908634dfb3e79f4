#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>

#include "image/FrameImage.h"
#include "sources/VideoStreamSource.h"
#include "support/FakeVideoSource.h"

namespace vantrel {
namespace {

class VideoStreamSourceTest : public ::testing::Test {
 protected:
  // A source reporting rate / scale frames per second over length frames.
  void useStream(int rate, int scale, int length) {
    VideoStreamInfo info;
    info.rate = rate;
    info.scale = scale;
    info.length = length;
    info.width = 32;
    info.height = 24;
    source.setStream(info);
  }
  struct Timing {
    double fps = -1.0;
    int frameCount = -1;
    double frameStep = -1.0;
    int nativeFps = -1;
  };
  Timing timing(int requestedFps) {
    Timing t;
    source.computeOutputTiming(requestedFps, t.fps, t.frameCount, t.frameStep,
                               &t.nativeFps);
    return t;
  }
  FakeVideoSource source;
};

TEST_F(VideoStreamSourceTest, CommonCodesHaveTheirTexts) {
  EXPECT_STREQ("No error", source.errorText(0));
  EXPECT_STREQ("The video stream isn't open", source.errorText(1));
  EXPECT_STREQ(
      "An out-of-memory error occurred while processing the specified video file",
      source.errorText(2));
  EXPECT_STREQ("The video file wasn't specified", source.errorText(3));
  EXPECT_STREQ("The video file doesn't exist", source.errorText(4));
  EXPECT_STREQ("The file doesn't contain video data", source.errorText(5));
  EXPECT_STREQ("The video file is corrupt or is an unrecognized format",
               source.errorText(6));
  EXPECT_STREQ("An error occurred while reading from the video file",
               source.errorText(7));
  EXPECT_STREQ("An error occurred while opening the video file", source.errorText(8));
  EXPECT_STREQ("Unknown error", source.errorText(9));
}

TEST_F(VideoStreamSourceTest, UnknownCodesNameTheCode) {
  EXPECT_STREQ("Unknown ErrCode 99", source.errorText(99));
  EXPECT_STREQ("Unknown ErrCode -3", source.errorText(-3));
  EXPECT_STREQ("Unknown ErrCode 11", source.errorText(11));
}

TEST_F(VideoStreamSourceTest, OsErrorCodeShowsTheSystemMessage) {
  EXPECT_EQ(10, source.setOsError(ENOENT));
  EXPECT_STREQ("No such file or directory", source.errorText(10));
  EXPECT_EQ(10, source.setOsError(0x12345));
  EXPECT_STREQ("OS error 0x12345", source.errorText(10));
}

TEST_F(VideoStreamSourceTest, NtscRateIsDividedByThree) {
  useStream(30000, 1001, 300);
  const Timing t = timing(0);
  EXPECT_NEAR(9.99, t.fps, 0.001);
  EXPECT_DOUBLE_EQ(30000.0 / 1001.0 / 3.0, t.fps);
  EXPECT_NEAR(3.0, t.frameStep, 1e-12);
  EXPECT_EQ(29, t.nativeFps);
  EXPECT_NEAR(100, t.frameCount, 1);
}

TEST_F(VideoStreamSourceTest, RequestAboveTheSourceRateKeepsEveryFrame) {
  useStream(10, 1, 250);
  const Timing t = timing(12);
  EXPECT_DOUBLE_EQ(10.0, t.fps);
  EXPECT_DOUBLE_EQ(1.0, t.frameStep);
  EXPECT_EQ(250, t.frameCount);
  EXPECT_EQ(10, t.nativeFps);
}

TEST_F(VideoStreamSourceTest, RequestBelowTheSourceRateIsUsed) {
  useStream(30, 1, 300);
  const Timing t = timing(12);
  EXPECT_DOUBLE_EQ(12.0, t.fps);
  EXPECT_DOUBLE_EQ(2.5, t.frameStep);
  EXPECT_EQ(120, t.frameCount);
}

TEST_F(VideoStreamSourceTest, NoRequestDividesCommonRatesByWholeNumbers) {
  struct Case {
    int rate;
    double fps;
    double step;
  };
  const Case cases[] = {{30, 10.0, 3.0}, {25, 25.0 / 3.0, 3.0}, {24, 8.0, 3.0},
                        {16, 8.0, 2.0},  {15, 15.0, 1.0},       {60, 10.0, 6.0}};
  for (const Case& c : cases) {
    useStream(c.rate, 1, 600);
    const Timing t = timing(0);
    EXPECT_DOUBLE_EQ(c.fps, t.fps) << c.rate;
    EXPECT_DOUBLE_EQ(c.step, t.frameStep) << c.rate;
    EXPECT_EQ(int(600 / c.step), t.frameCount) << c.rate;
    EXPECT_EQ(c.rate, t.nativeFps);
  }
}

TEST_F(VideoStreamSourceTest, NativeRateMayBeLeftOut) {
  useStream(25, 1, 100);
  double fps = 0.0;
  double step = 0.0;
  int count = 0;
  source.computeOutputTiming(0, fps, count, step, nullptr);
  EXPECT_DOUBLE_EQ(3.0, step);
  EXPECT_EQ(33, count);
}

TEST_F(VideoStreamSourceTest, StreamWithoutARateKeepsEveryFrameInsteadOfDividingByZero) {
  useStream(0, 0, 40);
  const Timing t = timing(0);
  EXPECT_DOUBLE_EQ(0.0, t.fps);
  EXPECT_DOUBLE_EQ(1.0, t.frameStep);
  EXPECT_EQ(40, t.frameCount);
  EXPECT_EQ(0, t.nativeFps);
}

TEST_F(VideoStreamSourceTest, FlipFlagReachesTheFrameImage) {
  useStream(10, 1, 5);
  ASSERT_EQ(0, source.open("fake"));
  FrameImage* upright = nullptr;
  ASSERT_EQ(0, source.readFrame(0, &upright));
  std::unique_ptr<FrameImage> uprightOwner(upright);
  source.setFlip(true);
  FrameImage* flipped = nullptr;
  ASSERT_EQ(0, source.readFrame(0, &flipped));
  std::unique_ptr<FrameImage> flippedOwner(flipped);
  ASSERT_EQ(upright->height(), flipped->height());
  const int h = upright->height();
  for (int row = 0; row < h; ++row) {
    EXPECT_EQ(upright->pixels[row * upright->width()],
              flipped->pixels[(h - 1 - row) * flipped->width()]);
  }
}

}  // namespace
}  // namespace vantrel
