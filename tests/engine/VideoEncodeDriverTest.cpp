#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <thread>

#include "VideoEncodeFixture.h"
#include "codec/FrameDecoder.h"
#include "database/DatabaseFormat.h"
#include "engine/VideoEncodeDriver.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

using test::RecordedEvent;

class VideoEncodeDriverTest : public test::VideoEncodeFixture {
 protected:
  // Decodes every frame record; returns the decoded pictures in palette colours
  // (FrameImage layout: bottom-up 0x00RRGGBB) for 8-bit palette movies.
  std::vector<std::vector<std::uint32_t>> decodeFrames(const DatabaseReader& reader,
                                                       int frames, int width, int height) {
    FrameDecoder decoder(width, height);
    std::vector<std::vector<std::uint32_t>> pictures;
    for (int k = 0; k < frames; ++k) {
      const auto record = reader.record(k + 1);
      EXPECT_EQ(decoder.decodeNextFrame(record.data(), record.size()), DecodeStatus::Ok)
          << "frame " << k;
      std::vector<std::uint32_t> rgb(std::size_t(width) * height);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          rgb[std::size_t(height - 1 - y) * width + x] =
              decoder.palette()[decoder.picture()[std::size_t(y) * width + x]];
        }
      }
      pictures.push_back(std::move(rgb));
      if (k + 1 == frames) {
        // The player's last picture is the engine's last reconstruction.
        EXPECT_EQ(std::memcmp(decoder.picture(), engine.reconFrames[k % 2].data(),
                              std::size_t(width) * height),
                  0);
      }
    }
    return pictures;
  }
};

struct ColourCase {
  int colorDepth;
  bool grayscale;
  int colourMode;
  int storedHeight;
  int bitsPerPixel;
};

class VideoEncodeColourTest : public test::VideoEncodeFixture,
                              public ::testing::WithParamInterface<ColourCase> {};

TEST_P(VideoEncodeColourTest, EveryColourCodeGivesADecodableMovie) {
  const ColourCase c = GetParam();
  useVideo(7);
  engine.colorDepth = c.colorDepth;
  engine.grayscale = c.grayscale;
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Summary), 1);
  const DatabaseReader reader = readBack();
  EXPECT_EQ(reader.type, kTypeMovie);
  EXPECT_EQ(reader.creator, kCreatorCode);
  EXPECT_EQ(reader.name, "Test movie");
  ASSERT_EQ(reader.recordCount, 7);  // header record + 6 frames
  EXPECT_TRUE(reader.structureProblems().empty());
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.frameWidth, 160);
  EXPECT_EQ(header.storedHeight, c.storedHeight);
  EXPECT_EQ(header.bitsPerPixel, c.bitsPerPixel);
  EXPECT_EQ(header.colourMode, c.colourMode);
  EXPECT_EQ(header.frameCount, 6);
  EXPECT_EQ(header.firstAudioRecord, 0);
  EXPECT_EQ(header.flags, kFlagAlways);
  EXPECT_EQ(engine.palette[0], 0x00FFFFFFu);
  FrameDecoder decoder(160, c.storedHeight);
  for (int k = 0; k < 6; ++k) {
    const auto record = reader.record(k + 1);
    EXPECT_EQ(decoder.decodeNextFrame(record.data(), record.size()), DecodeStatus::Ok) << k;
  }
  EXPECT_EQ(std::memcmp(decoder.picture(), engine.reconFrames[1].data(), 160u * c.storedHeight), 0);
}

INSTANTIATE_TEST_SUITE_P(AllColourCodes, VideoEncodeColourTest,
                         ::testing::Values(ColourCase{12, false, kColourModeStandard, 160, 8},
                                           ColourCase{16, false, kColourModeEnhanced, 160, 8},
                                           ColourCase{24, false, kColourModeTruecolor, 240, 16},
                                           ColourCase{25, false, kColourModeTruecolorPlus, 240, 16},
                                           ColourCase{12, true, kColourModeGrayscale, 160, 8},
                                           ColourCase{16, true, kColourModeGrayscale, 160, 8}));

TEST_F(VideoEncodeDriverTest, PaletteMovieShowsEverySourceFrameInOrder) {
  useVideo(7);
  engine.cropFraction = 0.0;  // a square source fills the square screen
  encode();
  const DatabaseReader reader = readBack();
  const auto pictures = decodeFrames(reader, 6, 160, 160);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(test::readFrameNumber(pictures[std::size_t(k)].data(), 160, 160), k);
  }
}

TEST_F(VideoEncodeDriverTest, PaletteAnalysisReadsEveryFrameOnceBeforeEncodingThem) {
  useVideo(5);
  encode();
  // The frame pass takes the pictures the analysis composed; without room to
  // keep them it reads the source again.
  EXPECT_EQ(video.reads(), (std::vector<int>{0, 1, 2, 3}));
  engine.analysedPictureBytes = 0;
  encode();
  EXPECT_EQ(video.reads(), (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3}));
  const RecordedEvent* analysis = engine.first(ProgressEvent::Analysis);
  ASSERT_NE(analysis, nullptr);
  // The last analysis report always comes, packed (frames analysed, frame count).
  bool sawLast = false;
  for (const RecordedEvent& e : engine.events) {
    if (e.event == 6 && e.data == std::intptr_t(4 + 65536 * 4)) sawLast = true;
  }
  EXPECT_TRUE(sawLast);
}

TEST_F(VideoEncodeDriverTest, TruecolorAnalysisReadsOnlyTheFirstFrame) {
  useVideo(5);
  engine.colorDepth = 24;
  encode();
  EXPECT_EQ(video.reads(), (std::vector<int>{0, 1, 2, 3}));  // frame 0 is kept
  // No counting line: the only analysis event is the end of the pass.
  ASSERT_EQ(engine.count(ProgressEvent::Analysis), 1);
  EXPECT_EQ(engine.first(ProgressEvent::Analysis)->data, 0);
  EXPECT_LT(engine.indexOf(ProgressEvent::Analysis), engine.indexOf(ProgressEvent::FrameEncoded));
}

TEST_F(VideoEncodeDriverTest, GrayscaleUsesTheGrayRampWithWhiteInEntryZero) {
  useVideo(3);
  engine.colorDepth = 12;
  engine.grayscale = true;
  encode();
  EXPECT_EQ(engine.palette[0], 0x00FFFFFFu);
  EXPECT_EQ(engine.palette[1], 0x00000000u);
  EXPECT_EQ(engine.palette[2], 0x00111111u);
  EXPECT_EQ(engine.palette[16], 0x00FFFFFFu);
  EXPECT_EQ(engine.palette[17], 0u);
}

TEST_F(VideoEncodeDriverTest, ProgressEventsComeInOrderAndEndWithTheSummary) {
  useVideo(6);
  encode();
  const int frames = 5;
  const RecordedEvent* firstFrame = engine.first(ProgressEvent::FrameEncoded);
  ASSERT_NE(firstFrame, nullptr);
  EXPECT_EQ(firstFrame->value, 0);
  EXPECT_EQ(firstFrame->data, std::intptr_t(65536 * frames));
  // The analysis end comes before the first frame line.
  EXPECT_LT(engine.indexOf(ProgressEvent::Analysis), engine.indexOf(ProgressEvent::FrameEncoded));
  std::vector<RecordedEvent> frameEvents;
  for (const RecordedEvent& e : engine.events) {
    if (e.event == 7) frameEvents.push_back(e);
  }
  const RecordedEvent& last = frameEvents.back();
  EXPECT_EQ(lowHalf(last.data), frames);
  EXPECT_EQ(highHalf(last.data), frames);
  EXPECT_GT(lowHalf(last.value), 0);      // bytes of the last frame
  EXPECT_LE(highHalf(last.value), 10000);  // quality x 10000
  ASSERT_GE(engine.events.size(), 2u);
  const RecordedEvent& phase = engine.events[engine.events.size() - 2];
  EXPECT_EQ(phase.event, 1);
  EXPECT_EQ(phase.value, 0);
  const RecordedEvent& summaryEvent = engine.events.back();
  ASSERT_EQ(summaryEvent.event, 0);
  const auto* summary = reinterpret_cast<const EncodeSummary*>(summaryEvent.data);
  EXPECT_EQ(summary, &engine.summary);
  EXPECT_STREQ(summary->databaseName, "Test movie");
  EXPECT_DOUBLE_EQ(summary->frameRate, 15.0);
  EXPECT_EQ(summary->frameCount, frames);
  EXPECT_EQ(summary->fileSize, static_cast<std::int32_t>(output.bytes().size()));
  EXPECT_GT(summary->averageQuality, 0.0);
  EXPECT_LE(summary->averageQuality, 1.0);
}

TEST_F(VideoEncodeDriverTest, OneFrameMovieWithAllKeyFrames) {
  useVideo(2);
  engine.allKeyFrames = true;
  encode();
  const DatabaseReader reader = readBack();
  ASSERT_EQ(reader.recordCount, 2);
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.frameCount, 1);
  EXPECT_EQ(header.keyInterval, 1);
  bool sawOneOfOne = false;
  for (const RecordedEvent& e : engine.events) {
    if (e.event == 6 && e.data == std::intptr_t(1 + 65536)) sawOneOfOne = true;
  }
  EXPECT_TRUE(sawOneOfOne);
}

TEST_F(VideoEncodeDriverTest, KeyFrameSecondsMakePeriodicKeyFramesWithoutPalette) {
  useVideo(18);
  engine.keyFrameSeconds = 1;
  encode();
  const DatabaseReader reader = readBack();
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.keyInterval, 15);  // max((17 + 59) / 60, 15 x 1)
  FrameDecoder decoder(160, 160);
  for (int k = 0; k < 17; ++k) {
    const auto record = reader.record(k + 1);
    ASSERT_EQ(decoder.decodeNextFrame(record.data(), record.size()), DecodeStatus::Ok);
    const bool key = k % 15 == 0;
    EXPECT_EQ(decoder.lastFrameKind(), key ? 1 : 2) << k;
    EXPECT_EQ(decoder.lastFrameHadPalette(), k == 0) << k;
  }
}

TEST_F(VideoEncodeDriverTest, RotatedWideScreenMovieKeepsTheScreenSize) {
  useVideo(4, 15, 48, 64);
  engine.screenWidth = 320;
  engine.screenHeight = 240;
  engine.rotate = true;
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Summary), 1);
  const DatabaseReader reader = readBack();
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.frameWidth, 320);
  EXPECT_EQ(header.storedHeight, 240);
  FrameDecoder decoder(320, 240);
  for (int k = 0; k < 3; ++k) {
    const auto record = reader.record(k + 1);
    EXPECT_EQ(decoder.decodeNextFrame(record.data(), record.size()), DecodeStatus::Ok);
  }
}

// Threads of this process, as the kernel lists them.
int processThreads() {
  return int(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                           std::filesystem::directory_iterator()));
}

// processThreads() once it has come down to count, or as it stands after a
// second. A joined thread has left the kernel's list by then; under an emulator
// (qemu-user) its host thread ends a moment after the join returns.
int processThreadsSettledAt(int count) {
  for (int i = 0; i < 1000 && processThreads() != count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return processThreads();
}

TEST_F(VideoEncodeDriverTest, TheEncodeRunsOnTheWorkerThreadsItIsGivenAndNoMore) {
  useVideo(12);
  useAudio(2.0);
  const int before = processThreads();
  for (const int threads : {1, 3}) {
    engine.workerThreads = threads;
    int most = 0;  // threads at any progress report, frames and sound alike
    engine.onEvent = [&](test::RecordingEncoder&, const RecordedEvent&) {
      most = std::max(most, processThreads());
    };
    encode();
    // 1: the caller's alone. 3: two workers for the whole encode (the sound's
    // reports see them) and the picture thread while it has pictures to make.
    const int more = most - before;
    EXPECT_TRUE(threads == 1 ? more == 0 : more == 2 || more == 3)
        << threads << ": " << more;
    EXPECT_EQ(processThreadsSettledAt(before), before);  // every one has ended
  }
}

TEST_F(VideoEncodeDriverTest, SoundRecordsFollowTheFrames) {
  useVideo(16);
  useAudio(2.0);
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Summary), 1);
  const DatabaseReader reader = readBack();
  ASSERT_EQ(reader.recordCount, 1 + 15 + 1);  // ceil(15 x 0.30517578125 / 15) = 1
  EXPECT_TRUE(reader.structureProblems().empty());
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.firstAudioRecord, 16);
  EXPECT_EQ(header.flags, kFlagAlways | kFlagHasSound);
  EXPECT_EQ(header.audioFormat, kAudioFormatPcm);
  EXPECT_EQ(reader.record(16).size(), 32768u);
  EXPECT_EQ(engine.count(ProgressEvent::AudioBlock), 2);  // 0 of 1, then 1 of 1
}

TEST_F(VideoEncodeDriverTest, PreviewBuffersReceiveTheFrameBottomUp) {
  useVideo(3);
  std::vector<std::uint8_t> preview(320 * 720, 0xEE);
  std::vector<std::uint8_t> reference(320 * 720, 0xEE);
  engine.previewFrame = preview.data();
  engine.previewReference = reference.data();
  encode();
  for (int r = 0; r < 160; ++r) {
    ASSERT_EQ(std::memcmp(preview.data() + (159 - r) * 320, engine.outputFrame.data() + r * 160, 160), 0);
    ASSERT_EQ(std::memcmp(reference.data() + (159 - r) * 320, engine.reconFrames[1].data() + r * 160, 160), 0);
  }
  EXPECT_EQ(preview[160], 0xEE);  // past the frame's width nothing is written
}

TEST_F(VideoEncodeDriverTest, RepeatedEncodeGivesTheSameRecords) {
  useVideo(4);
  encode();
  const std::vector<std::uint8_t> first = output.bytes();
  engine.colorDepth = 25;  // an encode in between changes the palette
  test::OutputFile other;
  encode(other.get());
  engine.colorDepth = 16;
  test::OutputFile again;
  encode(again.get());
  const std::vector<std::uint8_t> second = again.bytes();
  ASSERT_EQ(first.size(), second.size());
  // Everything but the dates (bytes 36 to 47) is the same.
  EXPECT_TRUE(std::equal(first.begin() + 48, first.end(), second.begin() + 48));
}

}  // namespace
}  // namespace vantrel
