#include "engine/SoundOnlyDriver.h"

#include <string>

#include <gtest/gtest.h>

#include "RecordingEncoder.h"
#include "database/BigEndian.h"
#include "database/DatabaseFormat.h"
#include "database/DatabaseReader.h"
#include "support/FakeAudioSource.h"

namespace vantrel {
namespace {

class SoundOnlyDriverTest : public ::testing::Test {
 protected:
  // Selects a mono 16-bit sound of sampleFrames frames at 10000 per second.
  void useSound(int sampleFrames) {
    std::vector<std::int16_t> samples(std::size_t(sampleFrames), 0);
    for (int i = 0; i < sampleFrames; ++i) samples[std::size_t(i)] = std::int16_t((i % 50) * 200);
    audio = std::make_unique<FakeAudioSource>(FakeAudioSource::pcmInfo(10000, 16, 1),
                                              FakeAudioSource::packInt16(samples));
    engine.selectedAudio = audio.get();
  }
  DatabaseReader encode() {
    engine.encodeSoundOnly(output.get(), "Sound");
    DatabaseReader reader;
    EXPECT_TRUE(reader.parse(output.bytes())) << reader.error();
    return reader;
  }

  // Sources first: the engine closes its selections when it goes.
  std::unique_ptr<FakeAudioSource> audio;
  test::RecordingEncoder engine;
  test::OutputFile output;
};

TEST_F(SoundOnlyDriverTest, TenSecondsOfPcmTakeFourRecords) {
  useSound(100000);
  const DatabaseReader reader = encode();
  EXPECT_EQ(reader.type, kTypeSound);
  EXPECT_EQ(reader.creator, kCreatorCode);
  ASSERT_EQ(reader.recordCount, 5);
  EXPECT_TRUE(reader.structureProblems().empty());
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.frameCount, 100);
  EXPECT_EQ(header.firstAudioRecord, 1);
  EXPECT_EQ(header.colourMode, kColourModeSoundOnly);
  EXPECT_EQ(header.frameWidth, 0);
  EXPECT_EQ(header.storedHeight, 0);
  EXPECT_EQ(header.bitsPerPixel, 0);
  EXPECT_EQ(header.keyInterval, 0);
  EXPECT_EQ(header.framesPerSecond, 10);
  EXPECT_EQ(header.framePeriodMs, 100);
  EXPECT_EQ(header.finePeriod, 65536000u);
  EXPECT_EQ(header.flags, kFlagAlways | kFlagHasSound);
  // Record 0 is followed directly by the audio records.
  EXPECT_EQ(reader.recordOffset(1), reader.recordOffset(0) + 47);
  for (int r = 1; r <= 4; ++r) EXPECT_EQ(reader.record(r).size(), 32768u) << r;
}

TEST_F(SoundOnlyDriverTest, SummaryShowsTenthsOfASecondAtTenFpsAndFullQuality) {
  useSound(100000);
  encode();
  ASSERT_EQ(engine.events.back().event, 0);
  EXPECT_STREQ(engine.summary.databaseName, "Sound");
  EXPECT_EQ(engine.summary.frameCount, 100);
  EXPECT_DOUBLE_EQ(engine.summary.frameRate, 10.0);
  EXPECT_DOUBLE_EQ(engine.summary.averageQuality, 1.0);
  EXPECT_EQ(engine.summary.fileSize, static_cast<std::int32_t>(output.bytes().size()));
  EXPECT_EQ(engine.count(ProgressEvent::AudioBlock), 5);
}

TEST_F(SoundOnlyDriverTest, TenSecondsOfAdpcmTakeTwoLongerRecords) {
  useSound(100000);
  engine.adpcmAudio = true;
  const DatabaseReader reader = encode();
  ASSERT_EQ(reader.recordCount, 3);
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.audioFormat, kAudioFormatAdpcm);
  EXPECT_EQ(reader.record(1).size(), 32772u);
  EXPECT_EQ(reader.record(2).size(), 32772u);
}

TEST_F(SoundOnlyDriverTest, TenSecondsOfHifiTakeSevenRecords) {
  useSound(100000);
  engine.hifiAudio = true;
  const DatabaseReader reader = encode();
  ASSERT_EQ(reader.recordCount, 8);
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.audioFormat, kAudioFormatHifiPcm);
}

TEST_F(SoundOnlyDriverTest, SoundShorterThanATenthHasOnlyTheHeaderRecord) {
  useSound(999);
  const DatabaseReader reader = encode();
  ASSERT_EQ(reader.recordCount, 1);
  // The single list entry is big-endian even without audio records.
  EXPECT_EQ(getBigEndian32(reader.bytes().data() + 78), 86u);
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.frameCount, 0);
  EXPECT_EQ(header.firstAudioRecord, 1);
  EXPECT_EQ(reader.bytes().size(), 86u + 47u);
  EXPECT_EQ(engine.events.back().event, 0);
}

TEST_F(SoundOnlyDriverTest, AbortLeavesTheRecordListZero) {
  useSound(100000);
  engine.onEvent = [](test::RecordingEncoder& e, const test::RecordedEvent& event) {
    if (event.event == 5 && event.value == 2) e.requestAbort();
  };
  const DatabaseReader reader = encode();
  EXPECT_EQ(engine.count(ProgressEvent::Aborted), 1);
  EXPECT_EQ(engine.count(ProgressEvent::Summary), 0);
  EXPECT_TRUE(reader.recordListIsZero());
  // Header, list, header record and the two records written before the abort.
  EXPECT_EQ(reader.bytes().size(), 78u + 5u * 8u + 47u + 2u * 32768u);
}

TEST_F(SoundOnlyDriverTest, ReadFailureIsReportedAsAbort) {
  useSound(100000);
  audio->failReadAt(50000);
  const DatabaseReader reader = encode();
  EXPECT_EQ(engine.count(ProgressEvent::Aborted), 1);
  EXPECT_TRUE(reader.recordListIsZero());
}

TEST_F(SoundOnlyDriverTest, UnreadableStreamInformationIsAnError) {
  useSound(1000);
  audio->failStreamInfo(kAudioReadFailed);
  engine.encodeSoundOnly(output.get(), "Sound");
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.first(ProgressEvent::Error)->text,
            "An error occurred while reading from the audio file");
  EXPECT_TRUE(output.bytes().empty());
}

TEST_F(SoundOnlyDriverTest, NoAudioSourceIsAnError) {
  engine.encodeSoundOnly(output.get(), "Sound");
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.first(ProgressEvent::Error)->text, "The audio stream isn't open");
}

TEST_F(SoundOnlyDriverTest, HoldAndLoopSetTheirFlags) {
  useSound(500);
  engine.holdLastFrame = true;
  engine.loopPlayback = true;
  const DatabaseReader reader = encode();
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.flags, kFlagAlways | kFlagHasSound | kFlagHoldLastFrame | kFlagLoop);
}

TEST_F(SoundOnlyDriverTest, SoundLongerThanTheFrameCountFieldIsCutWithAWarning) {
  // 7000 seconds at 10 samples per second: 70000 tenths, beyond 16 bits.
  audio = std::make_unique<FakeAudioSource>(FakeAudioSource::pcmInfo(10, 16, 1),
                                            std::vector<std::uint8_t>(140000, 0));
  engine.selectedAudio = audio.get();
  engine.onEvent = [](test::RecordingEncoder& e, const test::RecordedEvent& event) {
    if (event.event == 3) e.requestAbort();
  };
  const DatabaseReader reader = encode();
  ASSERT_FALSE(engine.events.empty());
  EXPECT_EQ(engine.events.front().event, 3);
  EXPECT_NE(engine.events.front().text.find("6553.5 of 7000.0 seconds"), std::string::npos);
  // The abort leaves the list zero: read the header record's frame count in place.
  EXPECT_EQ(reader.recordCount, 1 + 2000);  // ceil(65535 x 0.030517578125)
  ASSERT_GE(reader.bytes().size(), reader.listEnd() + 44);
  EXPECT_EQ(getBigEndian16(reader.bytes().data() + reader.listEnd() + 36), 65535);
}

}  // namespace
}  // namespace vantrel
