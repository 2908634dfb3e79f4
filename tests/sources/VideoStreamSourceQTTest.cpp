#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/FrameImage.h"
#include "sources/VideoStreamSourceQT.h"
#include "support/EncodedClipWriter.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

#define ASSERT_SOURCE_OK(expression) ASSERT_EQ(0, (expression))

// A movie kind that finds the media libraries too old.
class OldLibrariesVideoSource : public VideoStreamSourceQT {
 public:
  int startQuickTime() override { return kLibraryMissing; }
};

class VideoStreamSourceQTTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory = new test::ScratchDirectory();
    test::EncodedClip clip;
    clip.frames = 24;
    ASSERT_EQ("", test::writeEncodedClip(path("mjpeg.avi"), clip));
    clip.video = test::ClipVideo::Mpeg4;
    clip.container = "mov";
    clip.fpsNum = 30000;
    clip.fpsDen = 1001;
    clip.audio = test::ClipAudio::Aac;
    ASSERT_EQ("", test::writeEncodedClip(path("ntsc.mov"), clip));
    clip.video = test::ClipVideo::Mpeg4;
    clip.container = "matroska";
    clip.fpsNum = 25;
    clip.fpsDen = 1;
    ASSERT_EQ("", test::writeEncodedClip(path("pal.mkv"), clip));
    h264 = test::clipEncoderAvailable(test::ClipVideo::H264);
    if (h264) {
      clip.video = test::ClipVideo::H264;
      clip.container = "mp4";
      clip.fpsNum = 24;
      ASSERT_EQ("", test::writeEncodedClip(path("h264.mp4"), clip));
    }
    clip.video = test::ClipVideo::None;
    clip.audioSeconds = 1.0;
    ASSERT_EQ("", test::writeEncodedClip(path("sound.m4a"), clip));
    ASSERT_TRUE(test::writeWav(path("sound.wav"), test::WavClip()));
    ASSERT_TRUE(test::writeTextFile(path("notes.txt"), "no movie in here\n"));
  }
  static void TearDownTestSuite() {
    delete directory;
    directory = nullptr;
  }
  static std::string path(const std::string& name) { return directory->file(name); }

  int shownFrame(int gridFrame) {
    FrameImage* raw = image.release();
    const int code = source.readFrame(gridFrame, &raw);
    image.reset(raw);
    if (code != 0) return -100 - code;
    return test::readFrameNumber(image->pixels, image->width(), image->height());
  }
  // The stored frame shown at grid frame g of a clip of fpsNum / fpsDen frames
  // per second that starts at movie time 0.
  static int storedFrameAt(int g, int fpsNum, int fpsDen) {
    return int(std::int64_t(g) * fpsNum / (60LL * fpsDen));
  }

  static test::ScratchDirectory* directory;
  static bool h264;
  VideoStreamSourceQT source;
  std::unique_ptr<FrameImage> image;
};

test::ScratchDirectory* VideoStreamSourceQTTest::directory = nullptr;
bool VideoStreamSourceQTTest::h264 = false;

TEST_F(VideoStreamSourceQTTest, KindTagAndStartup) {
  EXPECT_EQ(0x56515420u, source.kind());
  EXPECT_EQ(0, source.startup());
  EXPECT_EQ(0, source.frameCount());
}

TEST_F(VideoStreamSourceQTTest, GridOfSixtyFramesPerSecondOverTheStreamTimeScale) {
  ASSERT_SOURCE_OK(source.open(path("mjpeg.avi").c_str()));
  VideoStreamInfo info;
  ASSERT_SOURCE_OK(source.getStreamInfo(info));
  EXPECT_EQ(24, info.scale);  // the stream's units per second
  EXPECT_EQ(24 * 60, info.rate);
  EXPECT_EQ(60, info.length);  // one second
  EXPECT_EQ(128, info.width);
  EXPECT_EQ(96, info.height);
  EXPECT_EQ(0, source.firstFrame());
  double fps = 0.0;
  double step = 0.0;
  int count = 0;
  source.computeOutputTiming(0, fps, count, step, nullptr);
  EXPECT_DOUBLE_EQ(10.0, fps);
  EXPECT_DOUBLE_EQ(6.0, step);
  EXPECT_EQ(10, count);
}

TEST_F(VideoStreamSourceQTTest, GridFrameShowsThePictureOfItsTime) {
  ASSERT_SOURCE_OK(source.open(path("mjpeg.avi").c_str()));
  for (int g = 0; g < source.frameCount(); ++g) {
    EXPECT_EQ(storedFrameAt(g, 24, 1), shownFrame(g)) << "grid frame " << g;
  }
}

TEST_F(VideoStreamSourceQTTest, NtscMovieIsSampledOnTheGrid) {
  ASSERT_SOURCE_OK(source.open(path("ntsc.mov").c_str()));
  VideoStreamInfo info;
  ASSERT_SOURCE_OK(source.getStreamInfo(info));
  EXPECT_EQ(60, info.rate / info.scale);
  EXPECT_NEAR(24 * 1001 * 60 / 30000, source.frameCount(), 2);
  for (int g = 0; g < source.frameCount(); g += 6) {
    EXPECT_EQ(storedFrameAt(g, 30000, 1001), shownFrame(g)) << "grid frame " << g;
  }
}

TEST_F(VideoStreamSourceQTTest, ReorderedH264PicturesComeOutInDisplayOrder) {
  if (!h264) GTEST_SKIP() << "this FFmpeg build has no H.264 encoder to make the clip";
  ASSERT_SOURCE_OK(source.open(path("h264.mp4").c_str()));
  ASSERT_GE(source.frameCount(), 55);
  for (int pass = 0; pass < 2; ++pass) {
    for (int g = 0; g < source.frameCount(); g += 5) {
      EXPECT_EQ(storedFrameAt(g, 24, 1), shownFrame(g)) << "grid frame " << g;
    }
  }
  // Jumps in every direction, from a fixed pseudo-random sequence.
  unsigned state = 777;
  for (int i = 0; i < 40; ++i) {
    state = state * 1103515245u + 12345u;
    const int g = int((state >> 16) % unsigned(source.frameCount()));
    EXPECT_EQ(storedFrameAt(g, 24, 1), shownFrame(g)) << "grid frame " << g;
  }
}

TEST_F(VideoStreamSourceQTTest, MatroskaMovieWithLatePicturesShowsTheFirstUntilTheyCome) {
  ASSERT_SOURCE_OK(source.open(path("pal.mkv").c_str()));
  EXPECT_EQ(0, shownFrame(0));
  for (int g = 1; g < source.frameCount(); g += 4) {
    const int shown = shownFrame(g);
    EXPECT_LE(shown, storedFrameAt(g, 25, 1)) << g;
    EXPECT_GE(shown, storedFrameAt(g, 25, 1) - 1) << g;
  }
}

TEST_F(VideoStreamSourceQTTest, BackwardAndOutOfRangeReads) {
  ASSERT_SOURCE_OK(source.open(path("ntsc.mov").c_str()));
  for (int g : {40, 3, 33, 0})
    EXPECT_EQ(storedFrameAt(g, 30000, 1001), shownFrame(g)) << g;
  FrameImage* none = nullptr;
  EXPECT_EQ(7, source.readFrame(source.frameCount(), &none));
  EXPECT_EQ(7, source.readFrame(-1, &none));
}

TEST_F(VideoStreamSourceQTTest, FilesWithoutVideoGiveCode5) {
  EXPECT_EQ(5, source.open(path("sound.m4a").c_str()));
  EXPECT_EQ(5, source.open(path("sound.wav").c_str()));
  EXPECT_FALSE(source.isOpen());
}

TEST_F(VideoStreamSourceQTTest, FilesThatAreNoMoviesShowAnErrorValue) {
  EXPECT_EQ(11, source.open(path("notes.txt").c_str()));
  EXPECT_STREQ("QuickTime Macintosh OS error -2048", source.errorText(11));
  EXPECT_EQ(11, source.open(path("absent.mov").c_str()));
  EXPECT_STREQ("QuickTime Macintosh OS error -43", source.errorText(11));
}

TEST_F(VideoStreamSourceQTTest, NamesWithoutAFullPathGiveCode4) {
  EXPECT_EQ(4, source.open(""));
  EXPECT_EQ(4, source.open(("/" + std::string(300, 'm') + ".mov").c_str()));
}

TEST_F(VideoStreamSourceQTTest, MissingLibrariesGiveCode13) {
  OldLibrariesVideoSource old;
  EXPECT_EQ(13, old.startup());
  EXPECT_EQ(13, old.open(path("mjpeg.avi").c_str()));
  EXPECT_STREQ(
      "QuickTime is either not installed or the installed version is too old.  In order "
      "to load "
      "QuickTime movies, please install QuickTime version 5.0 or later.",
      old.errorText(13));
}

TEST_F(VideoStreamSourceQTTest, ErrorValuesAreWidenedFromSixteenBits) {
  EXPECT_EQ(11, source.setMacOsError(0xEA83));
  EXPECT_STREQ("QuickTime Macintosh OS error -5501", source.errorText(11));
  EXPECT_EQ(12, source.setQuickDrawError(-1));
  EXPECT_STREQ("QuickTime QuickDraw error -1", source.errorText(12));
  EXPECT_STREQ("Unknown ErrCode 14", source.errorText(14));
}

TEST_F(VideoStreamSourceQTTest, ClosedSourceRefusesAndClosingTwiceIsSafe) {
  FrameImage* none = nullptr;
  VideoStreamInfo info;
  EXPECT_EQ(1, source.readFrame(0, &none));
  EXPECT_EQ(1, source.getStreamInfo(info));
  ASSERT_SOURCE_OK(source.open(path("mjpeg.avi").c_str()));
  source.close();
  source.close();
  EXPECT_FALSE(source.isOpen());
  EXPECT_EQ(0, source.frameCount());
}

}  // namespace
}  // namespace vantrel
