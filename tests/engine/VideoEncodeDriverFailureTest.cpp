#include "engine/VideoEncodeDriver.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "VideoEncodeFixture.h"
#include "database/DatabaseFormat.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

using test::RecordedEvent;

// Failures, aborts and limits of encodeMovie: each is reported through the
// progress hook and leaves the partial file with an all-zero record list.
class VideoEncodeDriverFailureTest : public test::VideoEncodeFixture {
 protected:
  // Size of a file that holds the header, the list and nothing else.
  static std::size_t headerAndList(int records) { return 78u + 8u * std::size_t(records); }
};

TEST_F(VideoEncodeDriverFailureTest, ReadFailureAtFrameTenReportsTheSourceText) {
  useVideo(20);
  video.failReadAt(10);
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.first(ProgressEvent::Error)->text,
            "An error occurred while reading from the video file");
  EXPECT_EQ(engine.count(ProgressEvent::Summary), 0);
  // Ten frames were analysed, the eleventh read failed.
  EXPECT_EQ(video.reads().size(), 11u);
  EXPECT_EQ(video.reads().back(), 10);
  const DatabaseReader reader = readBack();
  EXPECT_EQ(reader.recordCount, 20);
  EXPECT_TRUE(reader.recordListIsZero());
  EXPECT_EQ(reader.bytes().size(), headerAndList(20));
}

TEST_F(VideoEncodeDriverFailureTest, ReadFailureInTheFramePassKeepsTheWrittenFrames) {
  useVideo(20);
  engine.colorDepth = 24;  // the analysis pass reads only frame 0
  video.failReadAt(10);
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.summary.frameCount, 10);
  const DatabaseReader reader = readBack();
  EXPECT_TRUE(reader.recordListIsZero());
  EXPECT_GT(reader.bytes().size(), headerAndList(20) + 44 + 10 * 16);
}

TEST_F(VideoEncodeDriverFailureTest, AbortBeforeTheEncodeReadsNothing) {
  useVideo(5);
  engine.requestAbort();
  encode();
  EXPECT_EQ(engine.count(ProgressEvent::Aborted), 1);
  EXPECT_EQ(engine.count(ProgressEvent::Summary), 0);
  EXPECT_TRUE(video.reads().empty());
  EXPECT_TRUE(engine.abortRequested);  // an encode never clears the request
  const DatabaseReader reader = readBack();
  EXPECT_TRUE(reader.recordListIsZero());
  EXPECT_EQ(reader.bytes().size(), headerAndList(5));
}

TEST_F(VideoEncodeDriverFailureTest, AbortAfterTheAnalysisStopsBeforeTheFirstFrame) {
  useVideo(5);
  engine.onEvent = [](test::RecordingEncoder& e, const RecordedEvent& event) {
    if (event.event == 6 && event.data == 0) e.requestAbort();
  };
  encode();
  EXPECT_EQ(engine.count(ProgressEvent::Aborted), 1);
  EXPECT_EQ(engine.events.back().event, 2);
  EXPECT_EQ(engine.summary.frameCount, 0);
  const DatabaseReader reader = readBack();
  EXPECT_TRUE(reader.recordListIsZero());
  // The header record was written, no frame record.
  EXPECT_EQ(reader.bytes().size(), headerAndList(5) + 44 + 3);
}

TEST_F(VideoEncodeDriverFailureTest, AbortDuringTheSoundIsReportedAsAbort) {
  useVideo(16);
  useAudio(2.0);
  engine.onEvent = [](test::RecordingEncoder& e, const RecordedEvent& event) {
    if (event.event == 1 && event.value == 0) e.requestAbort();
  };
  encode();
  EXPECT_EQ(engine.count(ProgressEvent::Aborted), 1);
  EXPECT_EQ(engine.count(ProgressEvent::Summary), 0);
  EXPECT_EQ(engine.summary.frameCount, 15);
  EXPECT_TRUE(readBack().recordListIsZero());
}

TEST_F(VideoEncodeDriverFailureTest, LongSourceIsCutWithAWarningBeforeAnythingElse) {
  useVideo(70000);
  engine.onEvent = [](test::RecordingEncoder& e, const RecordedEvent& event) {
    if (event.event == 3) e.requestAbort();  // no need to encode 65534 frames
  };
  encode();
  ASSERT_FALSE(engine.events.empty());
  const RecordedEvent& warning = engine.events.front();
  EXPECT_EQ(warning.event, 3);
  EXPECT_NE(warning.text.find("65534 of 69999 frames"), std::string::npos) << warning.text;
  EXPECT_EQ(engine.count(ProgressEvent::Aborted), 1);
  const DatabaseReader reader = readBack();
  EXPECT_EQ(reader.recordCount, 65535);
}

TEST_F(VideoEncodeDriverFailureTest, LongSourceWithSoundKeepsRoomForItsAudioRecords) {
  useVideo(70000);
  useAudio(0.1);
  engine.onEvent = [](test::RecordingEncoder& e, const RecordedEvent& event) {
    if (event.event == 3) e.requestAbort();
  };
  encode();
  ASSERT_EQ(engine.events.front().event, 3);
  const DatabaseReader reader = readBack();
  EXPECT_LE(reader.recordCount, 65535);
  EXPECT_GE(reader.recordCount, 65534);
}

TEST_F(VideoEncodeDriverFailureTest, OutputThatRefusesBytesIsAWriteError) {
  useVideo(3);
  test::ScratchDirectory scratch;
  const std::string path = scratch.file("readonly.pdb");
  ASSERT_TRUE(test::writeTextFile(path, ""));
  std::FILE* readOnly = std::fopen(path.c_str(), "rb");
  ASSERT_NE(readOnly, nullptr);
  encode(readOnly);
  std::fclose(readOnly);
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.first(ProgressEvent::Error)->text, "Unable to write to the output file.");
  EXPECT_TRUE(video.reads().empty());
}

TEST_F(VideoEncodeDriverFailureTest, UnsupportedScreenSizeIsRefusedBeforeWriting) {
  useVideo(3);
  engine.screenWidth = 400;  // wider than the frame buffers
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.first(ProgressEvent::Error)->text,
            "The handheld frame size 400 x 160 is not supported.");
  EXPECT_TRUE(output.bytes().empty());
}

TEST_F(VideoEncodeDriverFailureTest, NoVideoSourceIsAnError) {
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.first(ProgressEvent::Error)->text, "The video stream isn't open");
  EXPECT_TRUE(output.bytes().empty());
}

TEST_F(VideoEncodeDriverFailureTest, StreamWithoutFrameRateIsAnError) {
  useVideo(10, 0);
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.first(ProgressEvent::Error)->text,
            "The video stream reports no usable frame rate.");
  EXPECT_TRUE(output.bytes().empty());
}

}  // namespace
}  // namespace vantrel
