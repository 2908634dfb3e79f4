// Aborts requested through the progress hook in each phase of an encode, and
// sources that fail part of the way through: the encode stops at its next
// check, reports once, leaves the record list zero and gives back every
// buffer it took.

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "VideoEncodeFixture.h"
#include "database/DatabaseFormat.h"

namespace vantrel {
namespace {

using test::RecordedEvent;
using test::RecordingEncoder;

// 8 frames at 2 per second with 5 seconds of sound: two audio records.
constexpr int kFrames = 8;
constexpr std::size_t kPcmRecordBytes = 32768;

int low16(std::intptr_t packed) { return static_cast<int>(packed & 0xFFFF); }

// Bytes of the heap in use (0 where the allocator does not tell, as under
// AddressSanitizer, whose leak check covers the same ground at exit).
std::size_t heapInUse() { return mallinfo2().uordblks; }

class EncodeInterruptionTest : public test::VideoEncodeFixture {
 protected:
  void SetUp() override {
    useVideo(kFrames + 1, 2);
    useAudio(5.0);
  }

  // Requests an abort at the first event that matches, and remembers it.
  void abortAt(std::function<bool(const RecordedEvent&)> matches) {
    engine.onEvent = [this, matches](RecordingEncoder& e, const RecordedEvent& event) {
      if (!e.abortRequested && matches(event)) {
        abortEvent = event;
        e.requestAbort();
      }
    };
  }

  // One abort report, as the last event, no summary, and a zero record list.
  void expectAborted() {
    ASSERT_FALSE(engine.events.empty());
    EXPECT_EQ(engine.count(ProgressEvent::Aborted), 1);
    EXPECT_EQ(engine.count(ProgressEvent::Error), 0);
    EXPECT_EQ(engine.count(ProgressEvent::Summary), 0);
    EXPECT_EQ(engine.events.back().event, eventCode(ProgressEvent::Aborted));
    EXPECT_TRUE(readBack().recordListIsZero());
  }

  RecordedEvent abortEvent;
};

TEST_F(EncodeInterruptionTest, AbortDuringTheAnalysisStopsBeforeTheNextFrameIsRead) {
  // One thread: a picture thread reads ahead of the analysis (up to its queue's
  // depth) whenever a progress event falls before the last frame, which a
  // slow run (a sanitizer's) can make happen at a second's turn.
  engine.workerThreads = 1;
  abortAt([](const RecordedEvent& e) { return e.event == 6 && e.data != 0; });
  encode();
  expectAborted();
  // The event for frame n comes after n reads; the abort check precedes the next.
  EXPECT_EQ(video.reads().size(), std::size_t(low16(abortEvent.data)));
  EXPECT_EQ(engine.summary.frameCount, 0);
  // At most the announcement of frame 0, when the abort came with the last frame.
  for (const RecordedEvent& e : engine.events) EXPECT_FALSE(e.event == 7 && low16(e.data) > 0);
}

TEST_F(EncodeInterruptionTest, AbortBeforeTheFirstFrameRecordWritesNoFrame) {
  // Frame 0 of N is announced just before the frame pass starts.
  abortAt([](const RecordedEvent& e) { return e.event == 7 && low16(e.data) == 0; });
  encode();
  expectAborted();
  EXPECT_EQ(video.reads().size(), std::size_t(kFrames));  // the analysis pass only
  EXPECT_EQ(engine.summary.frameCount, 0);
  // Header, list and the header record (44 bytes and the text area).
  const DatabaseReader reader = readBack();
  EXPECT_LT(reader.bytes().size(), kDatabaseHeaderSize + 11u * kRecordEntrySize + 64u);
}

TEST_F(EncodeInterruptionTest, AbortDuringTheFramesStopsAtTheNextFrame) {
  abortAt([](const RecordedEvent& e) { return e.event == 7 && low16(e.data) > 0; });
  encode();
  expectAborted();
  const int written = low16(abortEvent.data);
  EXPECT_EQ(engine.summary.frameCount, written);
  EXPECT_EQ(video.reads().size(), std::size_t(kFrames));  // the frames were kept
  EXPECT_EQ(audio->reads().size(), 0u);
}

TEST_F(EncodeInterruptionTest,
       AbortDuringTheFramesReadAheadOnAnotherThreadStopsAtTheNextFrame) {
  engine.workerThreads = 2;
  engine.analysedPictureBytes = 0;  // the frame pass reads the source again
  abortAt([](const RecordedEvent& e) { return e.event == 7 && low16(e.data) > 2; });
  encode();
  expectAborted();
  const int written = low16(abortEvent.data);
  EXPECT_EQ(engine.summary.frameCount, written);
  // The picture thread reads at most two pictures ahead of the encoder.
  EXPECT_GE(video.reads().size(), std::size_t(kFrames + written));
  EXPECT_LE(video.reads().size(), std::size_t(kFrames + written + 2));
}

TEST_F(EncodeInterruptionTest, AbortDuringTheSoundStopsBeforeTheNextAudioRecord) {
  abortAt([](const RecordedEvent& e) { return e.event == 5 && e.value == 1; });
  encode();
  expectAborted();
  EXPECT_EQ(engine.summary.frameCount, kFrames);
  // No audio completion, and exactly one audio record after the frames.
  for (const RecordedEvent& e : engine.events) EXPECT_FALSE(e.event == 1 && e.value == 1);
  EXPECT_EQ(engine.events[engine.events.size() - 2].event, 5);
  EXPECT_EQ(engine.events[engine.events.size() - 2].value, 1);
  const std::vector<std::uint8_t> bytes = output.bytes();
  // Running the same encode without the abort tells where the frames end.
  RecordingEncoder reference;
  reference.selectedVideo = &video;
  useAudio(5.0);
  reference.selectedAudio = audio.get();
  test::OutputFile complete;
  reference.encodeMovie(complete.get(), "Test movie", 160, 160, 16, false, false, false, 0.0f,
                        0.0f, 0, 0);
  DatabaseReader full;
  ASSERT_TRUE(full.parse(complete.bytes()));
  EXPECT_EQ(bytes.size(), full.recordOffset(kFrames + 1) + kPcmRecordBytes);
  reference.selectedVideo = nullptr;
  reference.selectedAudio = nullptr;
}

TEST_F(EncodeInterruptionTest, SoundOnlyAbortStopsBeforeTheNextAudioRecord) {
  engine.selectedVideo = nullptr;
  useAudio(10.0);  // four records
  abortAt([](const RecordedEvent& e) { return e.event == 5 && e.value == 2; });
  engine.encodeSoundOnly(output.get(), "Sound");
  expectAborted();
  const DatabaseReader reader = readBack();
  ASSERT_EQ(reader.recordCount, 5);
  // Header, list of 5, the 47-byte header record and two audio records.
  EXPECT_EQ(reader.bytes().size(), kDatabaseHeaderSize + 5u * kRecordEntrySize + 47u +
                                       2u * kPcmRecordBytes);
}

TEST_F(EncodeInterruptionTest, AbortedEncodesGiveBackEveryBuffer) {
  // One complete encode first, so that lazily made tables exist before measuring.
  engine.encodeMovie(output.get(), "Warm", 320, 240, 16, false, false, false, 0.0f, 0.0f, 0, 0);
  engine.events.clear();
  engine.events.shrink_to_fit();
  engine.events.reserve(64);
  const std::size_t before = heapInUse();
  for (int phase : {6, 7, 5}) {
    engine.clearAbort();
    abortAt([phase](const RecordedEvent& e) { return e.event == phase; });
    test::OutputFile scratch;
    engine.encodeMovie(scratch.get(), "Aborted", 320, 240, 16, false, false, false, 0.0f, 0.0f,
                       0, 0);
    EXPECT_EQ(engine.count(ProgressEvent::Aborted), 1) << "phase " << phase;
    engine.events.clear();
  }
  // The work buffers alone are several hundred kilobytes at 320 x 240.
  const std::size_t after = heapInUse();
  EXPECT_LT(after, before + 16 * 1024) << "heap grew from " << before << " to " << after;
}

TEST_F(EncodeInterruptionTest, AudioReadFailurePartWayEndsTheEncodeAsAnAbort) {
  audio->failReadAt(30000);  // inside the first audio record's sound
  encode();
  expectAborted();
  EXPECT_EQ(engine.summary.frameCount, kFrames);
}

TEST_F(EncodeInterruptionTest, SoundOnlyAudioReadFailurePartWayEndsAsAnAbort) {
  engine.selectedVideo = nullptr;
  useAudio(10.0);
  audio->failReadAt(90000);  // inside the last record's sound
  engine.encodeSoundOnly(output.get(), "Sound");
  expectAborted();
  // Whole records only, and not all four.
  const std::size_t start = kDatabaseHeaderSize + 5u * kRecordEntrySize + 47u;
  const std::size_t size = readBack().bytes().size();
  EXPECT_LT(size, start + 4 * kPcmRecordBytes);
  EXPECT_EQ((size - start) % kPcmRecordBytes, 0u);
}

TEST_F(EncodeInterruptionTest, VideoReadFailureInTheFramePassIsTheSourcesError) {
  engine.colorDepth = 25;  // the analysis reads frame 0 only
  video.failReadAt(5);
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.events.back().event, eventCode(ProgressEvent::Error));
  EXPECT_EQ(engine.events.back().text, "An error occurred while reading from the video file");
  EXPECT_EQ(engine.summary.frameCount, 5);
  EXPECT_EQ(audio->reads().size(), 0u);
  EXPECT_TRUE(readBack().recordListIsZero());
}

}  // namespace
}  // namespace vantrel
