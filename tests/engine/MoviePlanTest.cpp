#include "engine/MoviePlan.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "threads/MachineResources.h"

namespace vantrel {
namespace {

TEST(MoviePlanTest, OneFrameMovieKeyIntervalFollowsTheSwitches) {
  EXPECT_EQ(keyFrameInterval(true, 1, 1, 15.0), 1);
  EXPECT_EQ(keyFrameInterval(false, 1, 1, 15.0), 15);  // max(1, 15)
  EXPECT_EQ(keyFrameInterval(false, 0, 1, 15.0), 0);
}

TEST(MoviePlanTest, KeyIntervalIsAtLeastASixtiethOfTheMovie) {
  EXPECT_EQ(keyFrameInterval(false, 2, 6000, 15.0), 100);  // max(100, 30)
  EXPECT_EQ(keyFrameInterval(false, 2, 600, 15.0), 30);    // max(10, 30)
  EXPECT_EQ(keyFrameInterval(false, 1, 100, 9.99), 10);    // fps rounds to 10
}

TEST(MoviePlanTest, AudioRecordCountsFollowTheFormat) {
  EXPECT_EQ(audioRecordCountFor(450, 15.0, false, false), 10);
  EXPECT_EQ(audioRecordCountFor(450, 15.0, false, true), 5);
  EXPECT_EQ(audioRecordCountFor(450, 15.0, true, true), 19);
  EXPECT_EQ(soundOnlyRecordCountFor(100, false, false), 4);  // ceil(3.0517578125)
  EXPECT_EQ(soundOnlyRecordCountFor(100, false, true), 2);   // ceil(1.52587890625)
  EXPECT_EQ(soundOnlyRecordCountFor(100, true, false), 7);   // ceil(6.103515625)
  EXPECT_EQ(soundOnlyRecordCountFor(0, false, false), 0);
}

TEST(MoviePlanTest, MovieWithinTheLimitsIsNotCut) {
  const MovieCut cut = fitVideoMovie(450, 15.0, true, false, false);
  EXPECT_FALSE(cut.cut);
  EXPECT_EQ(cut.frameCount, 450);
  EXPECT_EQ(cut.audioRecordCount, 10);
}

TEST(MoviePlanTest, SilentMovieIsCutToFitSixtyFiveThousandFiveHundredThirtyFiveRecords) {
  const MovieCut cut = fitVideoMovie(70000, 15.0, false, false, false);
  EXPECT_TRUE(cut.cut);
  EXPECT_EQ(cut.originalFrames, 70000);
  EXPECT_EQ(cut.frameCount, 65534);  // record 0 takes the last place
  EXPECT_EQ(cut.audioRecordCount, 0);
}

TEST(MoviePlanTest, MovieWithSoundKeepsTheMostFramesThatFitWithTheirAudio) {
  const MovieCut cut = fitVideoMovie(70000, 15.0, true, false, false);
  ASSERT_TRUE(cut.cut);
  EXPECT_LE(1 + cut.frameCount + cut.audioRecordCount, 65535);
  const int nextRecords = audioRecordCountFor(cut.frameCount + 1, 15.0, false, false);
  EXPECT_GT(1 + cut.frameCount + 1 + nextRecords, 65535);
  EXPECT_EQ(cut.audioRecordCount, audioRecordCountFor(cut.frameCount, 15.0, false, false));
}

TEST(MoviePlanTest, ExactlyFullSilentMovieIsKept) {
  const MovieCut cut = fitVideoMovie(65534, 15.0, false, false, false);
  EXPECT_FALSE(cut.cut);
  EXPECT_EQ(cut.frameCount, 65534);
}

TEST(MoviePlanTest, LongSoundIsCutToTheSixteenBitFrameCount) {
  const MovieCut cut = fitSoundOnlyMovie(80000, false, false);
  EXPECT_TRUE(cut.cut);
  EXPECT_EQ(cut.frameCount, 65535);
  EXPECT_EQ(cut.audioRecordCount, soundOnlyRecordCountFor(65535, false, false));
}

TEST(MoviePlanTest, CutWarningsSayHowMuchWasKept) {
  MovieCut cut;
  cut.cut = true;
  cut.originalFrames = 70000;
  cut.frameCount = 65534;
  const std::string warning = videoCutWarning(cut, 15.0);
  EXPECT_NE(warning.find("65534 of 70000 frames"), std::string::npos) << warning;
  EXPECT_NE(warning.find("4368.9 of 4666.7 seconds"), std::string::npos) << warning;
  cut.originalFrames = 80000;
  cut.frameCount = 65535;
  const std::string sound = soundCutWarning(cut);
  EXPECT_NE(sound.find("6553.5 of 8000.0 seconds"), std::string::npos) << sound;
}

TEST(MoviePlanTest, EncodesTakeTheirThreadsAndKeptPicturesWithinTheMachine) {
  EXPECT_EQ(encodeThreadCount(3), 3);
  EXPECT_EQ(encodeThreadCount(0), usableProcessorCount());
  constexpr std::int64_t kMiB = std::int64_t{1} << 20;
  // 512 MiB asked: all of it on 8 GiB, an eighth of 1 GiB, all if memory is unknown.
  EXPECT_EQ(keptPictureBytes(512 * kMiB, 8192 * kMiB), 512 * kMiB);
  EXPECT_EQ(keptPictureBytes(512 * kMiB, 1024 * kMiB), 128 * kMiB);
  EXPECT_EQ(keptPictureBytes(512 * kMiB, 0), 512 * kMiB);
}

}  // namespace
}  // namespace vantrel
