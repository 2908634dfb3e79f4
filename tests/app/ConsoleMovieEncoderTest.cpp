#include "ConsoleMovieEncoder.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ProgressText.h"
#include "ScriptedConsole.h"
#include "engine/ProgressEvent.h"
#include "support/FakeAudioSource.h"

namespace vantrel {
namespace {

class ConsoleMovieEncoderTest : public ::testing::Test {
 protected:
  ConsoleMovieEncoderTest() {
    settings.outStream = out.output;
    settings.errStream = err.output;
    engine.progressStyle = ProgressStyle::Counters;
  }

  int report(ProgressEvent event, int value, std::intptr_t data) {
    return engine.reportProgress(eventCode(event), value, data);
  }

  ScriptedConsole out{""};
  ScriptedConsole err{""};
  EncoderSettings settings;
  ConsoleMovieEncoder engine{settings};
};

TEST_F(ConsoleMovieEncoderTest, ErrorGoesToErrorStreamWithProgramPrefix) {
  settings.programName = "vantrel";
  const char* text = "The video file doesn't exist";
  EXPECT_EQ(report(ProgressEvent::Error, 0, reinterpret_cast<std::intptr_t>(text)), 0);
  EXPECT_EQ(err.text(), "vantrel: \nEncode error occurred: The video file doesn't exist\n");
  EXPECT_EQ(out.text(), "");
}

TEST_F(ConsoleMovieEncoderTest, CountersArePrintedWithoutPrefix) {
  settings.programName = "vantrel";
  report(ProgressEvent::FrameEncoded, 0, packPair(0, 3));
  report(ProgressEvent::FrameEncoded, static_cast<int>(packPair(1234, 8532)), packPair(1, 3));
  EXPECT_EQ(out.text(),
            "\rEncoded frame 0 of 3,    0 bytes, quality = 0.1%  "
            "\rEncoded frame 1 of 3, 1234 bytes, quality = 85.4%  ");
}

TEST_F(ConsoleMovieEncoderTest, RunOfEventsPrintsInOrder) {
  EncodeSummary summary;
  std::strcpy(summary.databaseName, "Clip");
  summary.frameRate = 15.0;
  summary.averageQuality = 0.5;
  summary.frameCount = 2;
  summary.fileSize = 999;
  report(ProgressEvent::Analysis, 0, packPair(2, 2));
  report(ProgressEvent::Analysis, 0, 0);
  report(ProgressEvent::PhaseComplete, 0, 0);
  report(ProgressEvent::AudioBlock, 0, 1);
  report(ProgressEvent::AudioBlock, 1, 1);
  report(ProgressEvent::PhaseComplete, 1, 0);
  report(ProgressEvent::Summary, 0, reinterpret_cast<std::intptr_t>(&summary));
  EXPECT_EQ(out.text(), "\rAnalyzing frame 2 of 2 for color optimization"
                        "\nTranslating colors...\n"
                        "\nVideo encoding complete.\n"
                        "\rAudio block 0 of 1 encoded"
                        "\rAudio block 1 of 1 encoded"
                        "\nAudio encoding complete.\n" +
                            summaryText(summary));
}

TEST_F(ConsoleMovieEncoderTest, TerminalLinesAddTheShareDoneAndTheTimeLeft) {
  double now = 100.0;
  engine.clock = [&now] { return now; };
  engine.progressStyle = ProgressStyle::Terminal;
  report(ProgressEvent::FrameEncoded, 0, packPair(0, 8999));
  now += 0.5;
  report(ProgressEvent::FrameEncoded, static_cast<int>(packPair(1533, 8304)), packPair(3, 8999));
  now += 5.8;
  report(ProgressEvent::FrameEncoded, static_cast<int>(packPair(1533, 8304)),
         packPair(1200, 8999));
  EXPECT_EQ(out.text(),
            "\rEncoded frame 0 of 8999,    0 bytes, quality = 0.1%  0% done, --:-- left  "
            "\rEncoded frame 3 of 8999, 1533 bytes, quality = 83.1%  0% done, --:-- left  "
            "\rEncoded frame 1200 of 8999, 1533 bytes, quality = 83.1%  13% done, 0:41 left  ");
}

TEST_F(ConsoleMovieEncoderTest, TimeLeftOfTheFramesCountsTheSoundStillToCome) {
  FakeAudioSource sound(FakeAudioSource::pcmInfo(10000, 16, 1),
                        std::vector<std::uint8_t>(2000, 0));
  ASSERT_EQ(sound.open("tune"), 0);
  engine.selectedAudio = &sound;
  engine.summary.frameRate = 15.0;  // 9000 frames: 600 s of sound, 3 s of work
  double now = 100.0;
  engine.clock = [&now] { return now; };
  engine.progressStyle = ProgressStyle::Terminal;
  report(ProgressEvent::FrameEncoded, 0, packPair(0, 9000));
  now += 10.0;
  report(ProgressEvent::FrameEncoded, static_cast<int>(packPair(900, 9000)),
         packPair(4500, 9000));
  now += 10.0;
  report(ProgressEvent::FrameEncoded, static_cast<int>(packPair(900, 9000)),
         packPair(9000, 9000));
  engine.selectedAudio = nullptr;
  const std::string text = out.text();
  EXPECT_NE(text.find("4500 of 9000,  900 bytes, quality = 90.1%  50% done, 0:13 left  "),
            std::string::npos)
      << text;
  EXPECT_NE(
      text.find("9000 of 9000,  900 bytes, quality = 90.1%  100% done, 0:03 left  "),
      std::string::npos)
      << text;
}

TEST_F(ConsoleMovieEncoderTest, LinesForLogsComeEveryFiveSecondsAndForTheLastCount) {
  double now = 100.0;
  engine.clock = [&now] { return now; };
  engine.progressStyle = ProgressStyle::Lines;
  report(ProgressEvent::FrameEncoded, 0, packPair(0, 30));
  for (int frame = 1; frame <= 30; ++frame) {
    now += 1.0;
    report(ProgressEvent::FrameEncoded, static_cast<int>(packPair(900, 9000)),
           packPair(frame, 30));
  }
  report(ProgressEvent::PhaseComplete, 0, 0);
  EXPECT_EQ(out.text(),
            "Encoded frame 5 of 30,  900 bytes, quality = 90.1%  16% done, 0:25 left\n"
            "Encoded frame 10 of 30,  900 bytes, quality = 90.1%  33% done, 0:20 left\n"
            "Encoded frame 15 of 30,  900 bytes, quality = 90.1%  50% done, 0:15 left\n"
            "Encoded frame 20 of 30,  900 bytes, quality = 90.1%  66% done, 0:10 left\n"
            "Encoded frame 25 of 30,  900 bytes, quality = 90.1%  83% done, 0:05 left\n"
            "Encoded frame 30 of 30,  900 bytes, quality = 90.1%  100% done, 0:00 left\n"
            "Video encoding complete.\n");
}

TEST_F(ConsoleMovieEncoderTest, UnknownEventPrintsNothing) {
  EXPECT_EQ(engine.reportProgress(42, 1, 2), 0);
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(err.text(), "");
}

TEST_F(ConsoleMovieEncoderTest, AbortIsAPlainLine) {
  settings.programName = "vantrel";
  report(ProgressEvent::Aborted, 0, 0);
  EXPECT_EQ(out.text(), "\nEncode aborted.\n");
}

}  // namespace
}  // namespace vantrel
