// Whole program runs with the controls of a conversion: a part of the source
// (-start, -duration), a movie that fits a size (-filesize) and the faster
// encode (-fastencode), on clips the tests write.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "EndToEndHarness.h"
#include "MovieSound.h"
#include "RunFlow.h"
#include "support/EncodedClipWriter.h"
#include "support/FileDigest.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::EncodedClip;
using test::EndToEndHarness;

class EndToEndControlsTest : public ::testing::Test {
 protected:
  // 8 seconds at 15 frames per second whose frame 75 (5.0 s) is all white,
  // and a sound whose beep starts at 5.0 s.
  void writeFlashAndBeep() {
    test::RawAviClip clip;
    clip.frames = 120;
    clip.rate = 15;
    clip.whiteFrame = 75;
    ASSERT_TRUE(test::writeRawAvi(harness.file("flash.avi"), clip));
    ASSERT_TRUE(test::writePcm16Wav(harness.file("beep.wav"), 44100, 2,
                                    test::toneSamples(44100, 2, 8.0, {{1000.0, 0.4, 5.0}})));
  }

  // The flags of a movie of the flash and the beep.
  std::vector<std::string> flashArguments(std::vector<std::string> extra) const {
    extra.insert(extra.begin(), {"-audfile=" + harness.file("beep.wav"), "-audioboost=100",
                                 "-colordepth=12"});
    return test::movieArguments(harness.file("flash.avi"), movie(), extra);
  }

  // The movie frames whose picture is a single colour between the letterbox
  // bands (three quarters of the screen): the flash.
  std::vector<int> flashFrames() const {
    std::vector<int> flat;
    const std::vector<test::DecodedFrame> frames = harness.decodeMovie();
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const std::vector<std::uint8_t>& picture = frames[i].picture;
      std::vector<std::size_t> counts(256);
      for (std::uint8_t sample : picture) ++counts[sample];
      if (*std::max_element(counts.begin(), counts.end()) * 4 >= picture.size() * 3) {
        flat.push_back(int(i));
      }
    }
    return flat;
  }

  std::string movie() const { return harness.file("movie.pdb"); }

  EndToEndHarness harness;
};

TEST_F(EndToEndControlsTest, StartAndDurationKeepPictureAndSoundInStep) {
  writeFlashAndBeep();
  // Three seconds from 4.0 s: the flash is frame 15 and the beep begins
  // 10000 samples into the sound (10000 a second), both 1.0 s into the movie.
  // From 61/15 s (4066.67 ms, between two milliseconds) both come at 14/15 s.
  struct Part {
    const char* start;
    int flashFrame;
    int beepSample;
  };
  for (const Part& part : {Part{"-start=4", 15, 10000}, Part{"-start=0:04.0667", 14, 9333}}) {
    SCOPED_TRACE(part.start);
    ASSERT_EQ(harness.run(flashArguments({part.start, "-duration=0:03"})), kExitSuccess)
        << harness.errors();
    EXPECT_EQ(harness.decodeMovie().size(), 45u);
    EXPECT_EQ(flashFrames(), std::vector<int>{part.flashFrame});
    const test::DecodedSound sound = test::decodeMovieSound(harness.database());
    EXPECT_LT(test::acLevel(sound.samples, 0, part.beepSample - 100), 0.002);
    EXPECT_NEAR(test::firstSampleReaching(sound.samples, 0, 0.2), part.beepSample, 2);
  }

  // A start at or past the end is refused before the output file is made.
  fs::remove(movie());
  for (const char* start : {"-start=8", "-start=0:09.5"}) {
    EXPECT_EQ(harness.run(flashArguments({start})), kExitFailure);
    EXPECT_NE(harness.errors().find("is at or past the end of the source (0:08.000)"),
              std::string::npos)
        << harness.errors();
    EXPECT_FALSE(fs::exists(movie()));
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(movie()).parent_path()),
                            fs::directory_iterator()),
              2);  // the two sources alone
  }
}

TEST_F(EndToEndControlsTest, StillPictureWithSoundTakesItsPartOfTheSound) {
  // A still picture with 10 s of sound whose beep starts at 6 s. The part
  // from 5 s for 3 s at 10 fps: 30 frames, the beep 1.0 s in, silence after.
  EncodedClip still;
  still.container = "image2pipe";  // a PNG file
  still.video = test::ClipVideo::Png;
  still.frames = 1;
  const std::string picture = harness.file("still.png");
  ASSERT_EQ(test::writeEncodedClip(picture, still), "");
  const std::string song = harness.file("song.wav");
  ASSERT_TRUE(test::writePcm16Wav(song, 22050, 2,
                                  test::toneSamples(22050, 2, 10.0, {{1000.0, 0.4, 6.0}})));
  std::vector<std::string> flags{"-audfile=" + song, "-audioboost=100", "-framerate=10",
                                 "-start=5", "-duration=3"};
  ASSERT_EQ(harness.run(test::movieArguments(picture, movie(), flags)), kExitSuccess)
      << harness.errors();
  EXPECT_EQ(harness.decodeMovie().size(), 30u);
  const test::DecodedSound sound = test::decodeMovieSound(harness.database());
  EXPECT_NEAR(test::firstSampleReaching(sound.samples, 0, 0.2), 10000, 4);
  EXPECT_NEAR(test::lastSampleReaching(sound.samples, 0.2), 30000, 4);

  // Its frames after the first keep every block: the movie has one size,
  // which -filesize takes in one encode; a byte less is refused with it.
  const auto bytes = static_cast<long long>(fs::file_size(movie()));
  flags.push_back("-filesize=" + std::to_string(bytes));
  ASSERT_EQ(harness.run(test::movieArguments(picture, movie(), flags)), kExitSuccess)
      << harness.errors();
  EXPECT_EQ(static_cast<long long>(fs::file_size(movie())), bytes);
  EXPECT_EQ(harness.output().find("encoding again"), std::string::npos);
  flags.back() = "-filesize=" + std::to_string(bytes - 1);
  EXPECT_EQ(harness.run(test::movieArguments(picture, movie(), flags)), kExitFailure);
  EXPECT_NE(harness.errors().find("it takes " + std::to_string(bytes) + " bytes"),
            std::string::npos)
      << harness.errors();
}

TEST_F(EndToEndControlsTest, FileSizeFillsTheLimitWithoutPassingIt) {
  // A minute of detailed motion with its sound.
  EncodedClip shape;
  shape.pattern = test::ClipPattern::MovingTexture;
  // Letterboxed on the screen, so that half of each frame stays black and the
  // frames can be small enough.
  shape.width = 160;
  shape.height = 80;
  shape.frames = 900;
  shape.fpsNum = 15;
  shape.keyFrameInterval = 15;
  shape.audio = test::ClipAudio::Pcm16;
  shape.sampleRate = 22050;
  shape.channels = 1;
  const std::string clip = harness.file("minute.avi");
  ASSERT_EQ(test::writeEncodedClip(clip, shape), "");
  harness.keepEncodedFrames(false);
  harness.engineThreads(0);

  const std::vector<std::string> flags{"-audfile=" + clip, "-filesize=1M",
                                       "-framesize=9000"};
  ASSERT_EQ(harness.run(test::movieArguments(clip, movie(), flags)), kExitSuccess)
      << harness.errors();
  const auto bytes = static_cast<std::int64_t>(fs::file_size(movie()));
  EXPECT_LE(bytes, 1048576);
  EXPECT_GE(bytes * 100, 1048576 * 97);
  EXPECT_NE(harness.output().find("Average frame size chosen for -filesize=1M: "),
            std::string::npos);
  // Only the pass that is kept shows its summary.
  const auto summaries = [&] {
    const std::string out = harness.output();
    int count = 0;
    for (auto at = out.find("Encode complete."); at != std::string::npos;
         at = out.find("Encode complete.", at + 1)) {
      ++count;
    }
    return count;
  };
  EXPECT_EQ(summaries(), 1);

  // Too small for the sound, key frames and records alone: one encode with
  // the smallest frames tells the size that fits, which nothing else tells.
  fs::remove(movie());
  const auto sizeAfter = [&](const std::string& words) -> std::int64_t {
    const std::string errors = harness.errors() + harness.output();
    const auto at = errors.find(words);
    return at == std::string::npos ? -1 : std::atoll(errors.c_str() + at + words.size());
  };
  const auto runAt = [&](std::int64_t limit) {
    return harness.run(test::movieArguments(
        clip, movie(), {"-audfile=" + clip, "-filesize=" + std::to_string(limit)}));
  };
  EXPECT_EQ(runAt(500 * 1024), kExitFailure);
  const std::int64_t floor = sizeAfter("alone take ");
  const std::int64_t fits = sizeAfter("with its smallest frames it takes ");
  ASSERT_GT(floor, 500 * 1024) << harness.output() << harness.errors();
  ASSERT_GT(fits, floor) << harness.errors();
  EXPECT_EQ(summaries(), 0);
  EXPECT_FALSE(fs::exists(movie()));
  // A size between the two fails with the same size that fits; that size fits.
  EXPECT_EQ(runAt((floor + fits) / 2), kExitFailure);
  EXPECT_EQ(sizeAfter("with its smallest frames it takes "), fits) << harness.errors();
  EXPECT_EQ(summaries(), 0);
  ASSERT_EQ(runAt(fits), kExitSuccess) << harness.errors();
  EXPECT_LE(static_cast<std::int64_t>(fs::file_size(movie())), fits);
  EXPECT_EQ(summaries(), 1);
}

TEST_F(EndToEndControlsTest, FastEncodeChangesTheMovie) {
  EncodedClip shape;
  shape.pattern = test::ClipPattern::MovingTexture;
  shape.frames = 12;
  shape.fpsNum = 15;
  const std::string clip = harness.file("texture.avi");
  ASSERT_EQ(test::writeEncodedClip(clip, shape), "");
  std::vector<std::string> digests;
  for (const char* speed : {"-nofastencode", "-fastencode"}) {
    ASSERT_EQ(harness.run(test::movieArguments(clip, movie(), {speed, "-colordepth=12"})),
              kExitSuccess);
    EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
    digests.push_back(test::movieDigest(movie()));
  }
  EXPECT_NE(digests[0], digests[1]);
}

}  // namespace
}  // namespace vantrel
