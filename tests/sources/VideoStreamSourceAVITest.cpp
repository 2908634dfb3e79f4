#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/FrameImage.h"
#include "sources/VideoStreamSourceAVI.h"
#include "support/EncodedClipWriter.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

#define ASSERT_SOURCE_OK(expression) ASSERT_EQ(0, (expression))

// Clips made once for the whole fixture.
class VideoStreamSourceAVITest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory = new test::ScratchDirectory();
    test::RawAviClip raw;
    raw.width = 48;
    raw.height = 32;
    raw.frames = 20;
    raw.rate = 30000;
    raw.scale = 1001;
    ASSERT_TRUE(test::writeRawAvi(path("raw24.avi"), raw));
    raw.bitsPerPixel = 32;
    raw.rate = 10;
    raw.scale = 1;
    ASSERT_TRUE(test::writeRawAvi(path("raw32.avi"), raw));
    test::EncodedClip clip;
    clip.frames = 36;
    clip.audio = test::ClipAudio::Pcm16;
    ASSERT_EQ("", test::writeEncodedClip(path("mjpeg.avi"), clip));
    clip.video = test::ClipVideo::Mpeg4;
    clip.audio = test::ClipAudio::Mp3;
    ASSERT_EQ("", test::writeEncodedClip(path("mpeg4.avi"), clip));
    clip.bFrames = 2;
    ASSERT_EQ("", test::writeEncodedClip(path("bframes.avi"), clip));
    clip.bFrames = 0;
    clip.container = "matroska";
    ASSERT_EQ("", test::writeEncodedClip(path("mpeg4.mkv"), clip));
    ASSERT_TRUE(test::writeWav(path("sound.wav"), test::WavClip()));
    ASSERT_TRUE(test::writeTextFile(path("script.avs"), "Version()\n"));
    ASSERT_TRUE(test::writeTextFile(path("notes.txt"), "not a movie at all\n"));
  }
  static void TearDownTestSuite() {
    delete directory;
    directory = nullptr;
  }
  static std::string path(const std::string& name) { return directory->file(name); }

  // Reads frame n into image (made on the first call) and returns the number
  // the picture shows.
  int shownFrame(int n) {
    FrameImage* raw = image.release();
    const int code = source.readFrame(n, &raw);
    image.reset(raw);
    if (code != 0) return -100 - code;
    return test::readFrameNumber(image->pixels, image->width(), image->height());
  }

  static test::ScratchDirectory* directory;
  VideoStreamSourceAVI source;
  std::unique_ptr<FrameImage> image;
};

test::ScratchDirectory* VideoStreamSourceAVITest::directory = nullptr;

TEST_F(VideoStreamSourceAVITest, KindTagAndStartup) {
  EXPECT_EQ(0x56415649u, source.kind());
  EXPECT_EQ(0, source.startup());
  EXPECT_FALSE(source.isOpen());
  EXPECT_EQ(0, source.frameCount());
}

TEST_F(VideoStreamSourceAVITest, StreamInformationComesFromTheStreamHeader) {
  ASSERT_SOURCE_OK(source.open(path("raw24.avi").c_str()));
  VideoStreamInfo info;
  ASSERT_SOURCE_OK(source.getStreamInfo(info));
  EXPECT_EQ(30000, info.rate);
  EXPECT_EQ(1001, info.scale);
  EXPECT_EQ(20, info.length);
  EXPECT_EQ(48, info.width);
  EXPECT_EQ(32, info.height);
  EXPECT_EQ(0, source.firstFrame());
  EXPECT_EQ(20, source.frameCount());
  double fps = 0.0;
  double step = 0.0;
  int count = 0;
  source.computeOutputTiming(0, fps, count, step, nullptr);
  EXPECT_NEAR(9.99, fps, 0.001);
  EXPECT_NEAR(3.0, step, 1e-9);
  EXPECT_NEAR(6, count, 1);
}

TEST_F(VideoStreamSourceAVITest, EachFrameShowsItsOwnNumberInEveryFormat) {
  for (const char* name : {"raw24.avi", "raw32.avi", "mjpeg.avi", "mpeg4.avi"}) {
    ASSERT_SOURCE_OK(source.open(path(name).c_str())) << name;
    for (int n = 0; n < source.frameCount(); ++n) {
      EXPECT_EQ(n, shownFrame(n)) << name << " frame " << n;
    }
  }
}

TEST_F(VideoStreamSourceAVITest, ColoursSurviveTheWayIntoTheFrameImage) {
  ASSERT_SOURCE_OK(source.open(path("raw24.avi").c_str()));
  ASSERT_EQ(5, shownFrame(5));
  // Row 0 is the bottom row: the four bars red, green, blue, white.
  EXPECT_EQ(0xFF0000u, image->pixels[0] & 0xFFFFFF);
  EXPECT_EQ(0x00FF00u, image->pixels[12] & 0xFFFFFF);
  EXPECT_EQ(0x0000FFu, image->pixels[24] & 0xFFFFFF);
  EXPECT_EQ(0xFFFFFFu, image->pixels[36] & 0xFFFFFF);
  ASSERT_SOURCE_OK(source.open(path("mjpeg.avi").c_str()));
  ASSERT_EQ(3, shownFrame(3));
  for (int x : {10, 40, 70, 110}) {
    EXPECT_TRUE(
        test::coloursClose(test::testPatternBarColour(x, 128), image->pixels[x], 40))
        << x;
  }
}

TEST_F(VideoStreamSourceAVITest, TwoPassesOfEveryThirdFrameReadTheRightFrames) {
  ASSERT_SOURCE_OK(source.open(path("mpeg4.avi").c_str()));
  for (int pass = 0; pass < 2; ++pass) {
    for (int n = 0; n < 36; n += 3) EXPECT_EQ(n, shownFrame(n)) << "pass " << pass;
  }
  EXPECT_EQ(1, source.decoderSeekCount());
}

TEST_F(VideoStreamSourceAVITest, StoredOutOfOrderBFramesAreNumberedInDisplayOrder) {
  ASSERT_SOURCE_OK(source.open(path("bframes.avi").c_str()));
  EXPECT_EQ(36, source.frameCount());
  // The writer delays the stream by one frame for the reordering, so the
  // first picture is frame 1 of the file.
  const int first = source.firstFrame();
  EXPECT_EQ(1, first);
  for (int k = 0; k < 36; ++k) EXPECT_EQ(k, shownFrame(first + k)) << "picture " << k;
  // Jumps in every direction, from a fixed pseudo-random sequence.
  unsigned state = 12345;
  for (int i = 0; i < 40; ++i) {
    state = state * 1103515245u + 12345u;
    const int k = int((state >> 16) % 36);
    EXPECT_EQ(k, shownFrame(first + k)) << "picture " << k;
  }
  FrameImage* none = nullptr;
  EXPECT_EQ(7, source.readFrame(0, &none));
}

TEST_F(VideoStreamSourceAVITest, BackwardReadsDeliverTheRequestedFrame) {
  ASSERT_SOURCE_OK(source.open(path("mpeg4.avi").c_str()));
  for (int n : {30, 2, 29, 13, 0, 35, 14}) EXPECT_EQ(n, shownFrame(n));
}

TEST_F(VideoStreamSourceAVITest, ReadsOutsideTheStreamGiveCode7) {
  ASSERT_SOURCE_OK(source.open(path("raw32.avi").c_str()));
  FrameImage* none = nullptr;
  EXPECT_EQ(7, source.readFrame(20, &none));
  EXPECT_EQ(7, source.readFrame(-1, &none));
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(19, shownFrame(19));
}

TEST_F(VideoStreamSourceAVITest, ReadsReloadTheCallersImage) {
  ASSERT_SOURCE_OK(source.open(path("raw32.avi").c_str()));
  ASSERT_EQ(1, shownFrame(1));
  FrameImage* before = image.get();
  ASSERT_EQ(2, shownFrame(2));
  EXPECT_EQ(before, image.get());
}

TEST_F(VideoStreamSourceAVITest, FlipFlagTurnsThePictureUpsideDown) {
  ASSERT_SOURCE_OK(source.open(path("raw24.avi").c_str()));
  source.setFlip(true);
  FrameImage* made = nullptr;
  ASSERT_SOURCE_OK(source.readFrame(7, &made));
  image.reset(made);
  // Row 0 now holds the top of the picture: frame 7 = 00000111, so the left
  // block is black and the right block white.
  EXPECT_EQ(0x000000u, image->pixels[0] & 0xFFFFFF);
  EXPECT_EQ(0xFFFFFFu, image->pixels[47] & 0xFFFFFF);
  // And the top row holds the colour bars.
  EXPECT_EQ(0xFF0000u, image->pixels[31 * 48] & 0xFFFFFF);
}

TEST_F(VideoStreamSourceAVITest, WavFileHasNoVideo) {
  EXPECT_EQ(5, source.open(path("sound.wav").c_str()));
  EXPECT_FALSE(source.isOpen());
}

TEST_F(VideoStreamSourceAVITest, OtherContainersAreLeftToTheNextKind) {
  EXPECT_EQ(6, source.open(path("mpeg4.mkv").c_str()));
  EXPECT_EQ(6, source.open(path("notes.txt").c_str()));
  EXPECT_STREQ("The video file is corrupt or is an unrecognized format",
               source.errorText(6));
}

TEST_F(VideoStreamSourceAVITest, AvisynthScriptsCannotBeRun) {
  EXPECT_EQ(11, source.open(path("script.avs").c_str()));
  EXPECT_STREQ("No format handler is registered for this AVI file format",
               source.errorText(11));
}

TEST_F(VideoStreamSourceAVITest, NamesThatNameNothing) {
  EXPECT_EQ(3, source.open(""));
  EXPECT_EQ(3, source.open(nullptr));
  EXPECT_EQ(4, source.open(path("absent.avi").c_str()));
}

TEST_F(VideoStreamSourceAVITest, ClosedSourceRefusesAndClosingTwiceIsSafe) {
  FrameImage* none = nullptr;
  VideoStreamInfo info;
  EXPECT_EQ(1, source.readFrame(0, &none));
  EXPECT_EQ(1, source.getStreamInfo(info));
  ASSERT_SOURCE_OK(source.open(path("raw24.avi").c_str()));
  source.close();
  source.close();
  EXPECT_FALSE(source.isOpen());
  EXPECT_EQ(0, source.frameCount());
}

TEST_F(VideoStreamSourceAVITest, OpeningAgainReplacesTheEarlierFile) {
  ASSERT_SOURCE_OK(source.open(path("raw24.avi").c_str()));
  ASSERT_SOURCE_OK(source.open(path("mjpeg.avi").c_str()));
  EXPECT_EQ(36, source.frameCount());
  EXPECT_EQ(6, source.open(path("notes.txt").c_str()));
  EXPECT_FALSE(source.isOpen());
}

TEST_F(VideoStreamSourceAVITest, KindTextsOverrideAndExtendTheTable) {
  EXPECT_EQ(0u, std::string(source.errorText(2))
                    .find("An out-of-memory error occurred while processing the "
                          "specified AVI video file."));
  EXPECT_STREQ(
      "No AVI decompressor is available that can provide 32, 24, or 16-bit RGB bitmaps",
      source.errorText(13));
  EXPECT_STREQ("Unknown ErrCode 14", source.errorText(14));
}

TEST_F(VideoStreamSourceAVITest,
       AvisynthMessageKeepsAtMost1900CharactersOfTheScriptError) {
  const std::string longError(2500, 'x');
  EXPECT_EQ(12, source.setAvisynthError(longError.c_str()));
  const std::string text = source.errorText(12);
  EXPECT_EQ(
      "Avisynth reported an error opening your script:\n\n" + std::string(1900, 'x'),
      text);
}

}  // namespace
}  // namespace vantrel
