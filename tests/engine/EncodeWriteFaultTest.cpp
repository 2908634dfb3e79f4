// Write failures of the output file at every stage of both encode drivers: the
// database header, the record list, the header record, a frame record, an audio
// record and the final rewrite of the record list. The output is a stream that
// fails like a full disk after a chosen number of bytes, unbuffered (the failing
// write sees it) or buffered like a file from fopen (the failure shows later).
// Every case must end with "Unable to write to the output file.", no summary,
// and a record list that is still all zero. Only the rewrite case lets the file
// reach its full size; the others stop it growing at the chosen point.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "VideoEncodeFixture.h"
#include "database/DatabaseFormat.h"
#include "support/FailingFile.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

using test::FailingFile;

// Where the output stops taking bytes, relative to the layout of a complete
// encode of the same input.
enum class FaultPoint {
  DatabaseHeader,
  RecordList,
  HeaderRecord,
  FrameRecord,
  AudioRecord,
  LastAudioRecord,
  ListRewrite,
};

const char* pointName(FaultPoint point) {
  switch (point) {
    case FaultPoint::DatabaseHeader: return "DatabaseHeader";
    case FaultPoint::RecordList: return "RecordList";
    case FaultPoint::HeaderRecord: return "HeaderRecord";
    case FaultPoint::FrameRecord: return "FrameRecord";
    case FaultPoint::AudioRecord: return "AudioRecord";
    case FaultPoint::LastAudioRecord: return "LastAudioRecord";
    case FaultPoint::ListRewrite: return "ListRewrite";
  }
  return "?";
}

struct FaultCase {
  FaultPoint point;
  bool buffered;
};

std::string caseName(const ::testing::TestParamInfo<FaultCase>& param) {
  return std::string(pointName(param.param.point)) +
         (param.param.buffered ? "Buffered" : "Unbuffered");
}

// The movie used throughout: 8 frames at 2 per second with 5 seconds of sound,
// so records 1 to 8 are frames and records 9 and 10 are audio records.
constexpr int kFrames = 8;
constexpr int kFirstAudioRecord = kFrames + 1;
constexpr int kRecords = 1 + kFrames + 2;

class EncodeWriteFaultTest : public test::VideoEncodeFixture,
                             public ::testing::WithParamInterface<FaultCase> {
 protected:
  void SetUp() override {
    useVideo(kFrames + 1, 2);
    useAudio(5.0);
  }

  // The size the output cannot grow past, for a movie whose complete encode
  // has the given layout.
  static std::size_t sizeLimitFor(FaultPoint point, const DatabaseReader& complete) {
    switch (point) {
      case FaultPoint::DatabaseHeader: return 20;
      case FaultPoint::RecordList: return kDatabaseHeaderSize + 12;
      case FaultPoint::HeaderRecord: return complete.recordOffset(0) + 10;
      case FaultPoint::FrameRecord: return complete.recordOffset(4) + 7;
      case FaultPoint::AudioRecord: return complete.recordOffset(kFirstAudioRecord) + 100;
      case FaultPoint::LastAudioRecord: return complete.recordOffset(kRecords - 1) + 100;
      case FaultPoint::ListRewrite: return FailingFile::kUnlimited;
    }
    return 0;
  }

  // Encodes into a stream without limit and reads the result back.
  DatabaseReader completeEncode() {
    FailingFile unlimited;
    encode(unlimited.get());
    DatabaseReader reader;
    EXPECT_TRUE(reader.parse(unlimited.contents())) << reader.error();
    EXPECT_EQ(engine.count(ProgressEvent::Summary), 1);
    EXPECT_EQ(reader.recordCount, kRecords);
    engine.events.clear();
    return reader;
  }

  // What the failed encode reported: one error, with the write text, as the
  // last event, and no summary.
  void expectWriteError() {
    ASSERT_FALSE(engine.events.empty());
    EXPECT_EQ(engine.count(ProgressEvent::Summary), 0);
    EXPECT_EQ(engine.count(ProgressEvent::Aborted), 0);
    ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
    EXPECT_EQ(engine.events.back().event, eventCode(ProgressEvent::Error));
    EXPECT_EQ(engine.events.back().text, "Unable to write to the output file.");
  }

  // The part of the record list that reached the file is all zero.
  static void expectZeroList(const std::vector<std::uint8_t>& stored) {
    const std::size_t listEnd = kDatabaseHeaderSize + std::size_t(kRecords) * kRecordEntrySize;
    for (std::size_t i = kDatabaseHeaderSize; i < listEnd && i < stored.size(); ++i) {
      ASSERT_EQ(stored[i], 0) << "record list byte " << i - kDatabaseHeaderSize;
    }
  }
};

TEST_P(EncodeWriteFaultTest, MovieEncodeReportsTheWriteErrorAndLeavesTheListZero) {
  const DatabaseReader complete = completeEncode();
  const std::size_t readsOfCompleteEncode = video.reads().size();
  FailingFile failing(sizeLimitFor(GetParam().point, complete), GetParam().buffered);
  // The list is rewritten last: fail every rewrite once the sound is written.
  if (GetParam().point == FaultPoint::ListRewrite) {
    engine.onEvent = [&failing](test::RecordingEncoder&, const test::RecordedEvent& event) {
      if (event.event == 1 && event.value == 1) failing.failRewrites();
    };
  }
  encode(failing.get());
  expectWriteError();
  EXPECT_GE(failing.failedWrites(), 1);
  expectZeroList(failing.contents());
  EXPECT_LE(failing.contents().size(), complete.bytes().size());

  if (GetParam().buffered) return;
  // An unbuffered stream fails in the write that meets the end, so the encode
  // stops there. The frame pass takes the pictures the analysis kept, so the
  // source is read once.
  const std::size_t reads = video.reads().size() - readsOfCompleteEncode;
  switch (GetParam().point) {
    case FaultPoint::DatabaseHeader:
    case FaultPoint::RecordList:
      EXPECT_EQ(reads, 0u);
      break;
    case FaultPoint::HeaderRecord:
      EXPECT_EQ(reads, std::size_t(kFrames));  // the analysis pass only
      break;
    case FaultPoint::FrameRecord:
      EXPECT_EQ(reads, std::size_t(kFrames));
      EXPECT_EQ(engine.summary.frameCount, 3);  // record 4 holds frame 3
      break;
    default:
      EXPECT_EQ(reads, std::size_t(kFrames));
      EXPECT_EQ(engine.summary.frameCount, kFrames);
      break;
  }
}

TEST_P(EncodeWriteFaultTest, SoundOnlyEncodeReportsTheWriteErrorAndLeavesTheListZero) {
  // The same sound alone: record 0 and two audio records.
  engine.selectedVideo = nullptr;
  useAudio(6.0);
  FailingFile unlimited;
  engine.encodeSoundOnly(unlimited.get(), "Sound");
  DatabaseReader complete;
  ASSERT_TRUE(complete.parse(unlimited.contents())) << complete.error();
  ASSERT_EQ(complete.recordCount, 3);
  engine.events.clear();

  std::size_t limit = 0;
  switch (GetParam().point) {
    case FaultPoint::DatabaseHeader: limit = 20; break;
    case FaultPoint::RecordList: limit = kDatabaseHeaderSize + 4; break;
    case FaultPoint::HeaderRecord: limit = complete.recordOffset(0) + 10; break;
    case FaultPoint::FrameRecord:  // no frames: the first audio record instead
    case FaultPoint::AudioRecord: limit = complete.recordOffset(1) + 100; break;
    case FaultPoint::LastAudioRecord: limit = complete.recordOffset(2) + 100; break;
    case FaultPoint::ListRewrite: limit = FailingFile::kUnlimited; break;
  }
  FailingFile failing(limit, GetParam().buffered);
  if (GetParam().point == FaultPoint::ListRewrite) {
    engine.onEvent = [&failing](test::RecordingEncoder&, const test::RecordedEvent& event) {
      if (event.event == 1 && event.value == 1) failing.failRewrites();
    };
  }
  engine.encodeSoundOnly(failing.get(), "Sound");
  expectWriteError();
  const std::vector<std::uint8_t>& stored = failing.contents();
  for (std::size_t i = kDatabaseHeaderSize; i < kDatabaseHeaderSize + 24 && i < stored.size(); ++i) {
    ASSERT_EQ(stored[i], 0) << "record list byte " << i - kDatabaseHeaderSize;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryStage, EncodeWriteFaultTest,
    ::testing::Values(FaultCase{FaultPoint::DatabaseHeader, false},
                      FaultCase{FaultPoint::DatabaseHeader, true},
                      FaultCase{FaultPoint::RecordList, false},
                      FaultCase{FaultPoint::HeaderRecord, false},
                      FaultCase{FaultPoint::HeaderRecord, true},
                      FaultCase{FaultPoint::FrameRecord, false},
                      FaultCase{FaultPoint::FrameRecord, true},
                      FaultCase{FaultPoint::AudioRecord, false},
                      FaultCase{FaultPoint::AudioRecord, true},
                      FaultCase{FaultPoint::LastAudioRecord, false},
                      FaultCase{FaultPoint::LastAudioRecord, true},
                      FaultCase{FaultPoint::ListRewrite, false},
                      FaultCase{FaultPoint::ListRewrite, true}),
    caseName);

// The same failure from the operating system: a real file opened with fopen
// (buffered) in a process whose file size limit stops the movie in its third
// frame record. The encode runs in a child process so the limit stays there.
class EncodeFileSizeLimitTest : public test::VideoEncodeFixture {};

TEST_F(EncodeFileSizeLimitTest, FileSizeLimitInAFrameRecordIsAWriteError) {
  useVideo(kFrames + 1, 2);
  useAudio(5.0);
  FailingFile unlimited;
  encode(unlimited.get());
  DatabaseReader complete;
  ASSERT_TRUE(complete.parse(unlimited.contents()));
  const rlim_t limit = complete.recordOffset(3) + 5;
  engine.events.clear();

  test::ScratchDirectory scratch;
  const std::string path = scratch.file("limited.pdb");
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Child: 0 when exactly one write error and no summary were reported.
    signal(SIGXFSZ, SIG_IGN);
    const rlimit fileSize{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0) _exit(3);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) _exit(4);
    encode(file);
    std::fclose(file);
    const bool reported = engine.count(ProgressEvent::Error) == 1 &&
                          engine.count(ProgressEvent::Summary) == 0 &&
                          engine.events.back().text == "Unable to write to the output file.";
    _exit(reported ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::FILE* written = std::fopen(path.c_str(), "rb");
  ASSERT_NE(written, nullptr);
  std::vector<std::uint8_t> stored;
  for (int c = std::fgetc(written); c != EOF; c = std::fgetc(written)) {
    stored.push_back(static_cast<std::uint8_t>(c));
  }
  std::fclose(written);
  EXPECT_EQ(stored.size(), std::size_t(limit));
  ASSERT_GT(stored.size(), kDatabaseHeaderSize + std::size_t(kRecords) * kRecordEntrySize);
  for (std::size_t i = kDatabaseHeaderSize; i < kDatabaseHeaderSize + kRecords * kRecordEntrySize; ++i) {
    ASSERT_EQ(stored[i], 0) << "record list byte " << i - kDatabaseHeaderSize;
  }
}

}  // namespace
}  // namespace vantrel
