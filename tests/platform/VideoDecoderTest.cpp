#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/VideoDecoder.h"
#include "support/EncodedClipWriter.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

#define ASSERT_MEDIA_OK(expression) ASSERT_EQ(MediaStatus::Ok, (expression))

// Clips shared by every test of the fixture: 24 frames of the numbered test
// picture at 24 per second.
class VideoDecoderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory = new test::ScratchDirectory();
    test::RawAviClip raw;
    raw.width = 64;
    raw.height = 48;
    raw.frames = 30;
    raw.rate = 30;
    ASSERT_TRUE(test::writeRawAvi(path("raw.avi"), raw));
    test::EncodedClip mpeg4;
    mpeg4.video = test::ClipVideo::Mpeg4;
    mpeg4.frames = 48;
    mpeg4.keyFrameInterval = 12;
    ASSERT_EQ("", test::writeEncodedClip(path("mpeg4.avi"), mpeg4));
    test::EncodedClip mjpeg;
    mjpeg.frames = 48;
    ASSERT_EQ("", test::writeEncodedClip(path("mjpeg.avi"), mjpeg));
    test::WavClip wav;
    ASSERT_TRUE(test::writeWav(path("sound.wav"), wav));
  }
  static void TearDownTestSuite() {
    delete directory;
    directory = nullptr;
  }
  static std::string path(const std::string& name) { return directory->file(name); }

  // The frame number shown by the decoder's current picture.
  static int shownFrame(VideoDecoder& decoder) {
    std::vector<std::uint8_t> bits;
    if (decoder.copyPicture(32, bits) != MediaStatus::Ok) return -2;
    const VideoStreamFacts& facts = decoder.facts();
    std::vector<std::uint32_t> pixels(std::size_t(facts.width) * facts.height);
    std::memcpy(pixels.data(), bits.data(), pixels.size() * 4);
    return test::readFrameNumber(pixels.data(), facts.width, facts.height);
  }

  static test::ScratchDirectory* directory;
};

test::ScratchDirectory* VideoDecoderTest::directory = nullptr;

TEST_F(VideoDecoderTest, OpensAviAndReportsStreamFacts) {
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("raw.avi").c_str(), true));
  const VideoStreamFacts& facts = decoder.facts();
  EXPECT_EQ(64, facts.width);
  EXPECT_EQ(48, facts.height);
  EXPECT_EQ(1, facts.timeBaseNum);
  EXPECT_EQ(30, facts.timeBaseDen);
  EXPECT_EQ(30, facts.storedFrames);
  EXPECT_EQ(0, facts.firstPicture);
  EXPECT_EQ("avi", facts.container);
}

TEST_F(VideoDecoderTest, EveryStoredFrameShowsItsOwnNumber) {
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("raw.avi").c_str(), true));
  for (int n = 0; n < 30; ++n) {
    ASSERT_MEDIA_OK(decoder.decodePictureAt(n));
    EXPECT_EQ(n, decoder.currentPictureTime());
    EXPECT_EQ(n, shownFrame(decoder)) << "frame " << n;
  }
  EXPECT_EQ(0, decoder.seekCount());
}

TEST_F(VideoDecoderTest, ForwardStepsDecodeOnWithoutSeeking) {
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("mpeg4.avi").c_str(), true));
  // The encoder's two passes: every third frame, twice.
  for (int pass = 0; pass < 2; ++pass) {
    for (int n = 0; n < 48; n += 3) {
      ASSERT_MEDIA_OK(decoder.decodePictureAt(n));
      EXPECT_EQ(n, shownFrame(decoder)) << "frame " << n;
    }
  }
  // Only the return to the start of the second pass seeks.
  EXPECT_EQ(1, decoder.seekCount());
  EXPECT_LE(decoder.decodedPictureCount(), 2 * 48 + 2);
}

TEST_F(VideoDecoderTest, ForwardStepsOverStandAlonePicturesDecodeOnlyTheRequestedOnes) {
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("mjpeg.avi").c_str(), true));
  for (int pass = 0; pass < 2; ++pass) {
    for (int n = 0; n < 48; n += 3) {
      ASSERT_MEDIA_OK(decoder.decodePictureAt(n));
      EXPECT_EQ(n, decoder.currentPictureTime());
      EXPECT_EQ(n, shownFrame(decoder)) << "frame " << n;
    }
  }
  EXPECT_EQ(1, decoder.seekCount());
  // Every MJPEG picture stands alone: the two between requests are read, not decoded.
  EXPECT_LE(decoder.decodedPictureCount(), 2 * 16 + 1);
  EXPECT_GE(decoder.skippedPictureCount(), 2 * 30);
}

TEST_F(VideoDecoderTest, PicturesThatDependOnOthersAreNeverSkipped) {
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("mpeg4.avi").c_str(), true));
  ASSERT_MEDIA_OK(decoder.decodePictureAt(9));
  EXPECT_EQ(9, shownFrame(decoder));
  EXPECT_EQ(0, decoder.skippedPictureCount());
}

TEST_F(VideoDecoderTest, BackwardRequestSeeksAndDeliversTheRightPicture) {
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("mpeg4.avi").c_str(), true));
  ASSERT_MEDIA_OK(decoder.decodePictureAt(40));
  EXPECT_EQ(40, shownFrame(decoder));
  const int seeksBefore = decoder.seekCount();
  ASSERT_MEDIA_OK(decoder.decodePictureAt(17));  // between key frames 12 and 24
  EXPECT_EQ(17, shownFrame(decoder));
  EXPECT_EQ(seeksBefore + 1, decoder.seekCount());
}

TEST_F(VideoDecoderTest, FarAheadRequestSeeksToTheKeyFrameBeforeIt) {
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("mpeg4.avi").c_str(), true));
  ASSERT_MEDIA_OK(decoder.decodePictureAt(1));
  ASSERT_MEDIA_OK(decoder.decodePictureAt(44));  // key frame 36 lies between
  EXPECT_EQ(44, shownFrame(decoder));
  EXPECT_EQ(1, decoder.seekCount());
  // Pictures 37 to 44 were decoded after the seek, not 2 to 44.
  EXPECT_LT(decoder.decodedPictureCount(), 20);
}

TEST_F(VideoDecoderTest, RequestPastTheLastPictureKeepsTheLastPicture) {
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("raw.avi").c_str(), true));
  ASSERT_MEDIA_OK(decoder.decodePictureAt(1000));
  EXPECT_EQ(29, shownFrame(decoder));
}

TEST_F(VideoDecoderTest, PicturesComeOutBottomUpIn24And32Bits) {
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("raw.avi").c_str(), true));
  ASSERT_MEDIA_OK(decoder.decodePictureAt(0));
  std::vector<std::uint8_t> bits32;
  std::vector<std::uint8_t> bits24;
  ASSERT_MEDIA_OK(decoder.copyPicture(32, bits32));
  ASSERT_MEDIA_OK(decoder.copyPicture(24, bits24));
  ASSERT_EQ(64u * 48 * 4, bits32.size());
  ASSERT_EQ(((64u * 3 + 3) & ~3u) * 48, bits24.size());
  // The first stored row is the bottom row: the colour bars (red at the left).
  EXPECT_EQ(0x00, bits32[0]);  // blue
  EXPECT_EQ(0x00, bits32[1]);  // green
  EXPECT_EQ(0xFF, bits32[2]);  // red
  EXPECT_EQ(0xFF, bits24[2]);
  // The last stored row is the top row: frame number 0, all blocks black.
  const std::size_t top = std::size_t(47) * 64 * 4;
  EXPECT_EQ(0x00, bits32[top + 2]);
}

TEST_F(VideoDecoderTest, YuvPicturesComeOutBottomUpWithTheSameColoursIn24And32Bits) {
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("mjpeg.avi").c_str(), true));
  ASSERT_MEDIA_OK(decoder.decodePictureAt(5));
  std::vector<std::uint8_t> bits32;
  std::vector<std::uint8_t> bits24;
  ASSERT_MEDIA_OK(decoder.copyPicture(32, bits32));
  ASSERT_MEDIA_OK(decoder.copyPicture(24, bits24));
  const int width = decoder.facts().width;
  const int height = decoder.facts().height;
  const int stride24 = (width * 3 + 3) & ~3;
  ASSERT_EQ(std::size_t(width) * height * 4, bits32.size());
  ASSERT_EQ(std::size_t(stride24) * height, bits24.size());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p32 = &bits32[(std::size_t(y) * width + x) * 4];
      const std::uint8_t* p24 = &bits24[std::size_t(y) * stride24 + std::size_t(x) * 3];
      ASSERT_TRUE(p32[0] == p24[0] && p32[1] == p24[1] && p32[2] == p24[2]) << x << ", " << y;
      ASSERT_EQ(0xFF, p32[3]);
    }
  }
  // The first stored row is the bottom row: the colour bars, blue byte first.
  for (int x : {10, 40, 70, 110}) {
    const std::uint8_t* p = &bits32[std::size_t(x) * 4];
    const std::uint32_t colour = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    EXPECT_TRUE(test::coloursClose(test::testPatternBarColour(x, width), colour, 40)) << x;
  }
}

// The picture of frame 0 as 0x00RRGGBB words, top row first.
std::vector<std::uint32_t> topDownPicture(VideoDecoder& decoder) {
  std::vector<std::uint8_t> bits;
  EXPECT_EQ(MediaStatus::Ok, decoder.decodePictureAt(0));
  EXPECT_EQ(MediaStatus::Ok, decoder.copyPicture(32, bits));
  const int width = decoder.facts().width;
  const int height = decoder.facts().height;
  std::vector<std::uint32_t> picture(std::size_t(width) * height);
  for (int y = 0; y < height; ++y) {
    std::memcpy(&picture[std::size_t(y) * width], &bits[std::size_t(height - 1 - y) * width * 4],
                std::size_t(width) * 4);
  }
  for (std::uint32_t& pixel : picture) pixel &= 0xFFFFFF;
  return picture;
}

TEST_F(VideoDecoderTest, PicturesAreDeliveredAsPlayersShowThem) {
  if (!test::clipEncoderAvailable(test::ClipVideo::Mpeg4)) GTEST_SKIP() << "no MPEG-4 encoder";
  test::EncodedClip shape;
  shape.container = "mp4";
  shape.video = test::ClipVideo::Mpeg4;
  shape.width = 32;
  shape.height = 24;
  shape.frames = 2;
  ASSERT_EQ("", test::writeEncodedClip(path("stored.mp4"), shape));
  VideoDecoder plain;
  ASSERT_MEDIA_OK(plain.open(path("stored.mp4").c_str(), false));
  const std::vector<std::uint32_t> stored = topDownPicture(plain);
  const int w = 32;
  const int h = 24;
  // Turned clockwise, then mirrored left to right: the stored pixel each
  // displayed pixel (x, y) shows.
  for (const int rotation : {0, 90, 180, 270}) {
    for (const bool mirrored : {false, true}) {
      SCOPED_TRACE(std::to_string(rotation) + (mirrored ? " mirrored" : ""));
      if (rotation == 0 && !mirrored) continue;
      shape.rotation = rotation;
      shape.mirrored = mirrored;
      ASSERT_EQ("", test::writeEncodedClip(path("turned.mp4"), shape));
      VideoDecoder decoder;
      ASSERT_MEDIA_OK(decoder.open(path("turned.mp4").c_str(), false));
      const bool sideways = rotation % 180 != 0;
      const int shownWidth = sideways ? h : w;
      ASSERT_EQ(shownWidth, decoder.facts().width);
      ASSERT_EQ(sideways ? w : h, decoder.facts().height);
      const std::vector<std::uint32_t> shown = topDownPicture(decoder);
      int wrong = 0;
      for (int y = 0; y < decoder.facts().height; ++y) {
        for (int x = 0; x < shownWidth; ++x) {
          const int u = mirrored ? shownWidth - 1 - x : x;
          const int sx = rotation == 0 ? u : rotation == 90 ? y : rotation == 180 ? w - 1 - u : w - 1 - y;
          const int sy = rotation == 0 ? y : rotation == 90 ? h - 1 - u : rotation == 180 ? h - 1 - y : u;
          wrong += shown[std::size_t(y) * shownWidth + x] != stored[std::size_t(sy) * w + sx];
        }
      }
      EXPECT_EQ(0, wrong);
    }
  }

  // Anamorphic pictures are widened to their display shape, the height kept:
  // 32 x 32 / 27 = 37.9 columns.
  shape.rotation = 0;
  shape.mirrored = false;
  shape.sampleAspectNum = 32;
  shape.sampleAspectDen = 27;
  ASSERT_EQ("", test::writeEncodedClip(path("wide.mp4"), shape));
  VideoDecoder wide;
  ASSERT_MEDIA_OK(wide.open(path("wide.mp4").c_str(), false));
  EXPECT_EQ(38, wide.facts().width);
  EXPECT_EQ(24, wide.facts().height);
  EXPECT_EQ(std::size_t(38) * 24, topDownPicture(wide).size());
}

TEST_F(VideoDecoderTest, StreamLengthCountsTheLastPictureAndTheIndex) {
  if (!test::clipEncoderAvailable(test::ClipVideo::Mpeg4)) GTEST_SKIP() << "no MPEG-4 encoder";
  // Pictures without a duration: the container's length stops at the last
  // picture's time; the stream's end is one frame after it.
  test::EncodedClip shape;
  shape.container = "mp4";
  shape.video = test::ClipVideo::Mpeg4;
  shape.frames = 30;
  shape.fpsNum = 30;
  for (const bool durations : {true, false}) {
    shape.packetDurations = durations;
    ASSERT_EQ("", test::writeEncodedClip(path("length.mp4"), shape));
    VideoDecoder decoder;
    ASSERT_MEDIA_OK(decoder.open(path("length.mp4").c_str(), false));
    const VideoStreamFacts& facts = decoder.facts();
    EXPECT_EQ(facts.end - facts.origin, facts.timeBaseDen / facts.timeBaseNum) << durations;
  }

  // An AVI header claiming 4294967295 frames: the index holds 30.
  std::ifstream in(path("raw.avi"), std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  const std::string header(bytes.begin(), bytes.end());
  const std::size_t strh = header.find("strh");
  ASSERT_NE(std::string::npos, strh);
  std::memset(&bytes[strh + 8 + 32], 0xFF, 4);  // dwLength
  std::ofstream(path("claims.avi"), std::ios::binary).write(bytes.data(), long(bytes.size()));
  VideoDecoder decoder;
  ASSERT_MEDIA_OK(decoder.open(path("claims.avi").c_str(), true));
  EXPECT_EQ(30, decoder.facts().storedFrames);
}

TEST_F(VideoDecoderTest, RiffOnlyRefusesOtherContainers) {
  test::EncodedClip shape;
  shape.container = "matroska";
  ASSERT_EQ("", test::writeEncodedClip(path("clip.mkv"), shape));
  VideoDecoder decoder;
  EXPECT_EQ(MediaStatus::UnknownFormat, decoder.open(path("clip.mkv").c_str(), true));
  EXPECT_FALSE(decoder.isOpen());
  EXPECT_EQ(MediaStatus::Ok, decoder.open(path("clip.mkv").c_str(), false));
}

TEST_F(VideoDecoderTest, FileWithoutVideoHasNoStream) {
  VideoDecoder decoder;
  EXPECT_EQ(MediaStatus::NoStream, decoder.open(path("sound.wav").c_str(), true));
}

TEST_F(VideoDecoderTest, MissingFileAndTextFileAreTold) {
  ASSERT_TRUE(test::writeTextFile(path("notes.txt"), "just some words, no pictures\n"));
  VideoDecoder decoder;
  EXPECT_EQ(MediaStatus::FileMissing, decoder.open(path("absent.avi").c_str(), false));
  EXPECT_EQ(MediaStatus::UnknownFormat, decoder.open(path("notes.txt").c_str(), false));
}

TEST_F(VideoDecoderTest, ClosedDecoderAnswersNotOpen) {
  VideoDecoder decoder;
  std::vector<std::uint8_t> bits;
  EXPECT_EQ(MediaStatus::NotOpen, decoder.decodePictureAt(0));
  EXPECT_EQ(MediaStatus::NotOpen, decoder.copyPicture(32, bits));
  ASSERT_MEDIA_OK(decoder.open(path("raw.avi").c_str(), true));
  decoder.close();
  decoder.close();
  EXPECT_FALSE(decoder.isOpen());
}

}  // namespace
}  // namespace vantrel
