// Whole conversions through the program entry: a clip written by the test,
// the real source kinds, the console engine, the movie database on disk, read
// back and decoded with the player's decoder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "EndToEndVideoFixture.h"
#include "MovieSound.h"
#include "codec/FrameRecordFormat.h"
#include "sources/SourceKinds.h"
#include "sources/VideoStreamSourceQT.h"
#include "support/EncodedClipWriter.h"
#include "support/FakeVideoSource.h"

namespace vantrel::test {
namespace {

using frame_record::getBigEndian16;
using frame_record::getBigEndian32;

// --- Frame rate, frame count and the frames read ------------------------------

TEST_F(EndToEndVideoTest, ThirtyFpsClipIsHalvedToFifteen) {
  // 30 fps above the 15 asked for: every second frame; 9 / 2 = 4 output frames
  // from the whole source, one fewer in the movie.
  const std::string clip = writeClip("clip.avi", 9, 30);
  ASSERT_EQ(convert(clip, {}), kExitSuccess) << harness.errors();
  checkMovie({160, 160, 25, false, 15.0, 3, 0});
  // Truecolor reads one frame for the analysis, then every movie frame.
  EXPECT_EQ(harness.frameReads(), (std::vector<int>{0, 0, 2, 4}));
}

TEST_F(EndToEndVideoTest, AutomaticRateDividesTwentyFourFpsByThree) {
  // Rate 0: 24 fps becomes 24 / ceil(24 / 12 + 0.5) = 8, a step of 3 source
  // frames; 10 / 3 = 3 output frames, 2 in the movie.
  const std::string clip = writeClip("clip.avi", 10, 24);
  ASSERT_EQ(convert(clip, {"-framerate=0", "-colordepth=16"}), kExitSuccess);
  checkMovie({160, 160, 16, false, 8.0, 2, 0});
  // The 8-bit modes analyse every movie frame before encoding them.
  EXPECT_EQ(harness.frameReads(), (std::vector<int>{0, 3, 0, 3}));
}

TEST_F(EndToEndVideoTest, SlowerClipKeepsItsOwnRate) {
  const std::string clip = writeClip("clip.avi", 5, 10);
  ASSERT_EQ(convert(clip, {"-framerate=30"}), kExitSuccess);
  checkMovie({160, 160, 25, false, 10.0, 4, 0});
  EXPECT_EQ(harness.frameReads(), (std::vector<int>{0, 0, 1, 2, 3}));
}

TEST_F(EndToEndVideoTest, MovieKindReadsItsSixtyPerSecondGrid) {
  if (!clipEncoderAvailable(ClipVideo::Mpeg4)) GTEST_SKIP() << "no MPEG-4 encoder";
  // An MP4 file goes to the movie kind, whose frames are 1/60 s apart: at
  // 15 fps the movie takes every fourth grid frame.
  const std::string clip = writeClip("clip.mp4", 6, 15, "mp4", ClipVideo::Mpeg4);
  VideoStreamSourceQT movieKind;
  ASSERT_EQ(movieKind.open(clip.c_str()), 0);
  const int gridFrames = movieKind.frameCount();
  movieKind.close();
  ASSERT_GE(gridFrames, 16);
  const int movieFrames = gridFrames / 4 - 1;
  ASSERT_EQ(convert(clip, {"-colordepth=12"}), kExitSuccess) << harness.errors();
  checkMovie({160, 160, 12, false, 15.0, movieFrames, 0});
  std::vector<int> reads;
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < movieFrames; ++i) reads.push_back(4 * i);
  }
  EXPECT_EQ(harness.frameReads(), reads);
}

TEST_F(EndToEndVideoTest, SlowerMovieKindClipKeepsItsOwnRateWithoutRepeatedPictures) {
  if (!clipEncoderAvailable(ClipVideo::Mpeg4)) GTEST_SKIP() << "no MPEG-4 encoder";
  // 2 s at 24 fps asked for 60 (or 30): 24 fps, each movie frame the next
  // picture, read at the first grid frame at or after its time (2.5 apart).
  // Matroska keeps times in whole milliseconds, rounded: picture 4 is at 167.
  std::string clip;
  for (const auto& [rate, container] :
       {std::pair{"-framerate=60", "mp4"}, {"-framerate=30", "matroska"}}) {
    SCOPED_TRACE(rate);
    clip = writeClip(std::string("clip.") + container, 48, 24, container, ClipVideo::Mpeg4);
    ASSERT_EQ(convert(clip, {rate, "-colordepth=12"}), kExitSuccess) << harness.errors();
    checkMovie({160, 160, 12, false, 24.0, 47, 0});
    std::vector<int> reads;
    for (int pass = 0; pass < 2; ++pass) {
      for (int i = 0; i < 47; ++i) reads.push_back((5 * i + 1) / 2);
    }
    EXPECT_EQ(harness.frameReads(), reads);
    const std::vector<DecodedFrame> frames = harness.decodeMovie();
    for (std::size_t i = 1; i < frames.size(); ++i) {
      EXPECT_FALSE(frames[i].picture == frames[i - 1].picture) << "frame " << i;
    }
  }
  // Past the grid's 60 a second: refused with the rates taken.
  EXPECT_EQ(convert(clip, {"-framerate=100"}), kExitFailure);
  EXPECT_NE(harness.errors().find("0 to 60"), std::string::npos) << harness.errors();
}

// --- Key frames ------------------------------------------------------------------

TEST_F(EndToEndVideoTest, FirstKeyFrameOfSmallScreenCarriesThePalette) {
  const std::string clip = writeClip("clip.avi", 4);
  ASSERT_EQ(convert(clip, {"-colordepth=16"}), kExitSuccess);
  checkMovie({160, 160, 16, false, 15.0, 3, 0});
  const std::span<const std::uint8_t> record = harness.database().record(1);
  ASSERT_EQ(record.size(), 26378u);              // 16 + 762 + 160 x 160
  EXPECT_EQ(getBigEndian16(&record[0]), 1u);     // key frame
  EXPECT_EQ(record[2], 104);                     // (26378 + 255) / 256
  EXPECT_EQ(record[3], 0);                       // no padding
  EXPECT_EQ(getBigEndian16(&record[4]), 1u);     // first palette index
  EXPECT_EQ(getBigEndian16(&record[6]), 254u);   // palette entries
  EXPECT_EQ(getBigEndian32(&record[8]), 16u);    // palette offset
  EXPECT_EQ(getBigEndian32(&record[12]), 778u);  // pixel offset
  const std::uint32_t* palette = harness.engine().palette;
  for (int entry = 1; entry <= 254; ++entry) {
    const std::uint8_t* rgb = &record[16 + 3 * std::size_t(entry - 1)];
    EXPECT_EQ(std::uint32_t(rgb[0]) << 16 | std::uint32_t(rgb[1]) << 8 | rgb[2],
              palette[entry] & 0xFFFFFF)
        << "entry " << entry;
  }
}

TEST_F(EndToEndVideoTest, PeriodicKeyFramesCarryNoPalette) {
  // One second at 15 fps: frames 0 and 15 are key frames.
  const std::string clip = writeClip("clip.avi", 17);
  ASSERT_EQ(convert(clip, {"-keyframes=1", "-colordepth=12"}), kExitSuccess);
  checkMovie({160, 160, 12, false, 15.0, 16, 15});
  const std::span<const std::uint8_t> record = harness.database().record(16);
  ASSERT_EQ(record.size(), 25616u);  // 16 + 160 x 160
  EXPECT_EQ(getBigEndian16(&record[0]), 1u);
  EXPECT_EQ(record[2], 101);
  EXPECT_EQ(getBigEndian32(&record[8]), 0u);    // no palette
  EXPECT_EQ(getBigEndian32(&record[12]), 16u);  // pixels right after the header
}

TEST_F(EndToEndVideoTest, TwoSecondKeyFramesOfALongMovieComeEveryHundredFrames) {
  // 6000 frames at 15 fps: max((6000 + 59) / 60, 15 x 2) = max(100, 30) = 100.
  // A stand-in source serves the 6001 source frames.
  FakeVideoSource longSource(kVideoKindAvi);
  VideoStreamInfo stream;
  stream.rate = 15;
  stream.scale = 1;
  stream.length = 6001;
  stream.width = 16;
  stream.height = 16;
  longSource.setStream(stream);
  harness.replaceAviVideoKind(&longSource);
  harness.keepEncodedFrames(false);
  ASSERT_TRUE(writeTextFile(harness.file("long.avi"), "stand-in"));
  ASSERT_EQ(
      convert(harness.file("long.avi"), {"-keyframes=2", "-grayscale", "-colordepth=12"}),
      kExitSuccess);
  ASSERT_TRUE(harness.databaseLoaded());
  const DatabaseReader& file = harness.database();
  ASSERT_EQ(file.recordCount, 6001);
  EXPECT_TRUE(file.structureProblems().empty());
  MovieHeaderView header;
  ASSERT_TRUE(file.movieHeader(header));
  EXPECT_EQ(header.frameCount, 6000);
  EXPECT_EQ(header.keyInterval, 100);
  // The kind and palette offset of every frame record.
  for (int i = 0; i < 6000; ++i) {
    const std::span<const std::uint8_t> record = file.record(i + 1);
    ASSERT_GE(record.size(), 24u);
    const bool key = i % 100 == 0;
    ASSERT_EQ(getBigEndian16(&record[0]), key ? 1u : 2u) << "frame " << i;
    if (key) {
      EXPECT_EQ(getBigEndian32(&record[8]), i == 0 ? 16u : 0u) << "frame " << i;
    }
  }
}

TEST_F(EndToEndVideoTest, UncompressedMakesEveryFrameAKeyFrame) {
  const std::string clip = writeClip("clip.avi", 6);
  ASSERT_EQ(convert(clip, {"-uncompressed", "-resolution=1", "-colordepth=24"}),
            kExitSuccess);
  // Key interval 1; only the first frame carries the palette.
  checkMovie({320, 240, 24, false, 15.0, 5, 1});
  EXPECT_NE(harness.output().find("\tAverage Quality:   100.0%\n"), std::string::npos);
}

// --- The files people have today ----------------------------------------------

// Writes the MP4 clip of shape, converts it with flags into an 8-bit movie and
// returns the colours the player shows in its frame 0, top row first (none
// when the conversion fails).
std::vector<std::uint32_t> shownPicture(EndToEndHarness& harness, EncodedClip shape,
                                        const std::vector<std::string>& flags) {
  shape.container = "mp4";
  std::vector<std::uint32_t> colours;
  const std::string clip = harness.file("clip.mp4");
  EXPECT_EQ(writeEncodedClip(clip, shape), "");
  EXPECT_EQ(harness.run(movieArguments(clip, harness.file("movie.pdb"), flags)), kExitSuccess)
      << harness.errors();
  const std::vector<DecodedFrame> frames = harness.decodeMovie();
  if (frames.empty()) return colours;
  for (std::uint8_t index : frames[0].picture) {
    colours.push_back(harness.engine().palette[index] & 0xFFFFFF);
  }
  return colours;
}

TEST_F(EndToEndVideoTest, RotatedPhoneClipFillsThePortraitScreen) {
  if (!clipEncoderAvailable(ClipVideo::H264)) GTEST_SKIP() << "no H.264 encoder";
  // A landscape 128 x 72 picture that players turn a quarter clockwise into a
  // 72 x 128 portrait: red bar at the top, white at the bottom, the (black)
  // frame-number band down the right side.
  EncodedClip shape;
  shape.video = ClipVideo::H264;
  shape.width = 128;
  shape.height = 72;
  shape.frames = 3;
  shape.rotation = 90;
  const std::vector<std::uint32_t> shown =
      shownPicture(harness, shape, {"-resolution=3", "-colordepth=16"});
  ASSERT_EQ(shown.size(), 216u * 384u);
  const auto at = [&shown](int x, int y) { return shown[std::size_t(y) * 216 + x]; };
  EXPECT_TRUE(coloursClose(at(50, 3), 0xFF0000, 64));
  EXPECT_TRUE(coloursClose(at(50, 380), 0xFFFFFF, 64));
  EXPECT_TRUE(coloursClose(at(212, 192), 0x000000, 64));
  EXPECT_FALSE(coloursClose(at(3, 192), 0x000000, 64));
}

TEST_F(EndToEndVideoTest, AnamorphicSourceKeepsItsDisplayShape) {
  if (!clipEncoderAvailable(ClipVideo::Mpeg4)) GTEST_SKIP() << "no MPEG-4 encoder";
  // A 16:9 DVD picture: 720 x 480 samples of aspect 32:27 show as 853 x 480,
  // so on the 320 x 240 screen a 320 x 180 picture between black bars.
  EncodedClip shape;
  shape.video = ClipVideo::Mpeg4;
  shape.width = 720;
  shape.height = 480;
  shape.frames = 2;
  shape.pattern = ClipPattern::MovingBars;  // no black row of its own
  shape.sampleAspectNum = 32;
  shape.sampleAspectDen = 27;
  const std::vector<std::uint32_t> shown =
      shownPicture(harness, shape, {"-resolution=1", "-colordepth=16"});
  ASSERT_EQ(shown.size(), 320u * 240u);
  const auto blackRow = [&shown](int y) {
    const auto row = shown.begin() + std::ptrdiff_t(y) * 320;
    return std::all_of(row, row + 320, [](std::uint32_t c) { return coloursClose(c, 0, 8); });
  };
  int pictureRows = 0;
  for (int y = 0; y < 240; ++y) pictureRows += !blackRow(y);
  EXPECT_EQ(pictureRows, 180);
}

TEST_F(EndToEndVideoTest, LastPictureWithoutDurationIsKept) {
  // 600 pictures at 30 fps whose packets carry no duration: the container says
  // 19.967 s, yet the movie at 10 fps has the 199 frames the same pictures in
  // an AVI file give (one frame is left out of every movie by design).
  const ClipVideo codec = clipEncoderAvailable(ClipVideo::H264) ? ClipVideo::H264 : ClipVideo::Mpeg4;
  EncodedClip shape;
  shape.video = codec;
  shape.width = 32;
  shape.height = 24;
  shape.frames = 600;
  shape.fpsNum = 30;
  shape.keyFrameInterval = 30;
  shape.packetDurations = false;
  for (const char* container : {"mp4", "avi"}) {
    SCOPED_TRACE(container);
    shape.container = container;
    const std::string clip = harness.file(std::string("clip.") + container);
    ASSERT_EQ(writeEncodedClip(clip, shape), "");
    ASSERT_EQ(convert(clip, {"-framerate=10"}), kExitSuccess) << harness.errors();
    MovieHeaderView header;
    ASSERT_TRUE(harness.database().movieHeader(header));
    EXPECT_EQ(header.frameCount, 199);
  }
}

TEST_F(EndToEndVideoTest, AviHeaderClaimingFourBillionFramesConvertsWhatTheIndexHolds) {
  RawAviClip shape;
  shape.frames = 60;
  const std::string clip = harness.file("claims.avi");
  ASSERT_TRUE(writeRawAvi(clip, shape));
  std::fstream file(clip, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), {});
  const std::size_t strh = bytes.find("strh");
  ASSERT_NE(strh, std::string::npos);
  file.seekp(std::streamoff(strh + 8 + 32));  // the stream header's dwLength
  file.write("\xFF\xFF\xFF\xFF", 4);
  file.close();
  ASSERT_EQ(convert(clip, {"-colordepth=12"}), kExitSuccess) << harness.errors();
  EXPECT_EQ(harness.errors(), "");  // no warning about a cut movie
  checkMovie({160, 160, 12, false, 10.0, 59, 0});
}

TEST_F(EndToEndVideoTest, SinglePictureMakesOneFrameOrIsHeldForTheWholeSound) {
  EncodedClip still;
  still.container = "image2pipe";  // a PNG file
  still.video = ClipVideo::Png;
  still.width = 64;
  still.height = 48;
  still.frames = 1;
  EncodedClip oneFrame = still;
  oneFrame.container = "mp4";
  oneFrame.video = ClipVideo::Mpeg4;
  for (const auto& [name, shape] :
       {std::pair{"still.png", still}, {"one.mp4", oneFrame}}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(writeEncodedClip(harness.file(name), shape), "");
    ASSERT_EQ(convert(harness.file(name), {"-colordepth=12"}), kExitSuccess)
        << harness.output();
    checkMovie({160, 160, 12, false, 15.0, 1, 0});  // one frame, no sound
  }
  // Album art with a song: the picture held for the 3 s of sound at 10 fps.
  const std::string song = harness.file("song.wav");
  ASSERT_TRUE(
      writePcm16Wav(song, 22050, 2, toneSamples(22050, 2, 3.0, {{1000.0, 0.4, 0.0}})));
  ASSERT_EQ(convert(harness.file("still.png"), {"-audfile=" + song, "-framerate=10"}),
            kExitSuccess)
      << harness.output();
  MovieHeaderView header;
  ASSERT_TRUE(harness.database().movieHeader(header));
  EXPECT_EQ(header.frameCount, 30);
  EXPECT_EQ(header.framesPerSecond, 10);
  EXPECT_EQ(header.firstAudioRecord, 31);
  EXPECT_EQ(harness.database().recordCount, 32);  // one audio record holds 3.2768 s
  EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
  const std::vector<DecodedFrame> frames = harness.decodeMovie();
  ASSERT_EQ(frames.size(), 30u);
  for (const DecodedFrame& frame : frames) {
    EXPECT_TRUE(frame.picture == frames[0].picture);
  }
  const DecodedSound sound = decodeMovieSound(harness.database());
  EXPECT_TRUE(sound.problems.empty());
  // The tone (boosted to 0.6) sounds to the end of the third second.
  EXPECT_NEAR(lastSampleReaching(sound.samples, 0.3), 30000, 10);
}

}  // namespace
}  // namespace vantrel::test
