#include "ProgressText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/MovieEncoder.h"

namespace vantrel {
namespace {

// Two 16-bit numbers in one argument: first in the low half.
constexpr std::intptr_t pack(int first, int second) {
  return static_cast<std::intptr_t>(first) + 65536 * static_cast<std::intptr_t>(second);
}

class ProgressTextTest : public ::testing::Test {
 protected:
  static EncodeSummary summaryNamed(const char* name) {
    EncodeSummary summary;
    std::strncpy(summary.databaseName, name, sizeof summary.databaseName - 1);
    return summary;
  }
};

TEST_F(ProgressTextTest, FrameLineShowsQualityRoundedToOneDecimal) {
  // Quality 0.8532 on a 1234-byte frame 17 of 300.
  const int value = static_cast<int>(pack(1234, 8532));
  EXPECT_EQ(frameEncodedText(value, pack(17, 300)),
            "\rEncoded frame 17 of 300, 1234 bytes, quality = 85.4%  ");
}

TEST_F(ProgressTextTest, FullQualityIsCappedAtOneHundred) {
  const int value = static_cast<int>(pack(800, 10000));
  EXPECT_FLOAT_EQ(displayedQuality(value), 100.0f);
  EXPECT_EQ(frameEncodedText(value, pack(1, 2)),
            "\rEncoded frame 1 of 2,  800 bytes, quality = 100.0%  ");
}

TEST_F(ProgressTextTest, FirstFrameLineShowsZeroBytesAndTenthOfPercent) {
  EXPECT_EQ(frameEncodedText(0, pack(0, 300)),
            "\rEncoded frame 0 of 300,    0 bytes, quality = 0.1%  ");
}

TEST_F(ProgressTextTest, DisplayedQualityAddsHalfOfLastDigitInSinglePrecision) {
  EXPECT_FLOAT_EQ(displayedQuality(static_cast<int>(pack(0, 8532))), 85.32f + 0.05f);
  EXPECT_FLOAT_EQ(displayedQuality(static_cast<int>(pack(0, 9996))), 100.0f);
  EXPECT_FLOAT_EQ(displayedQuality(static_cast<int>(pack(0, 9994))), 99.99f);
}

TEST_F(ProgressTextTest, FrameCountsUseFullSixteenBits) {
  EXPECT_EQ(frameEncodedText(static_cast<int>(pack(65535, 5000)), pack(65535, 65535)),
            "\rEncoded frame 65535 of 65535, 65535 bytes, quality = 50.0%  ");
}

TEST_F(ProgressTextTest, SoundOnlySummary) {
  EncodeSummary summary = summaryNamed("clip");
  summary.frameRate = 10.0;
  summary.averageQuality = 1.0;
  summary.frameCount = 0;
  summary.fileSize = 4321;
  EXPECT_EQ(summaryText(summary),
            "\nEncode complete.  Summary:\n"
            "\tDatabase name:     clip\n"
            "\tFrame Rate:        10 fps\n"
            "\tAverage Quality:   100.0%\n"
            "\tTotal frame Count: 0\n"
            "\tOutput file size:  4321 bytes\n\n");
}

TEST_F(ProgressTextTest, SummaryShowsFractionalRateAndRoundedQuality) {
  EncodeSummary summary = summaryNamed("Movie");
  summary.frameRate = 25.0 / 3.0;
  summary.averageQuality = 0.8532;
  summary.frameCount = 99;
  summary.fileSize = 160000;
  const std::string text = summaryText(summary);
  EXPECT_NE(text.find("\tFrame Rate:        8.33333 fps\n"), std::string::npos);
  EXPECT_NE(text.find("\tAverage Quality:   85.4%\n"), std::string::npos);
  EXPECT_NE(text.find("\tTotal frame Count: 99\n"), std::string::npos);
}

TEST_F(ProgressTextTest, SummaryNameWithoutTerminatorStopsAtFieldEnd) {
  EncodeSummary summary;
  std::memset(summary.databaseName, 'n', sizeof summary.databaseName);
  const std::string text = summaryText(summary);
  EXPECT_NE(text.find("\tDatabase name:     " + std::string(128, 'n') + "\n"),
            std::string::npos);
}

TEST_F(ProgressTextTest, PhaseEnds) {
  EXPECT_EQ(phaseCompleteText(0), "\nVideo encoding complete.\n");
  EXPECT_EQ(phaseCompleteText(1), "\nAudio encoding complete.\n");
  EXPECT_EQ(phaseCompleteText(2), "\nEncoding complete.\n");
  EXPECT_EQ(phaseCompleteText(-1), "\nEncoding complete.\n");
}

TEST_F(ProgressTextTest, CounterLines) {
  EXPECT_EQ(audioBlockText(0, 10), "\rAudio block 0 of 10 encoded");
  EXPECT_EQ(audioBlockText(3, 10), "\rAudio block 3 of 10 encoded");
  EXPECT_EQ(analysisText(pack(5, 120)), "\rAnalyzing frame 5 of 120 for color optimization");
  EXPECT_EQ(analysisText(0), "\nTranslating colors...\n");
}

TEST_F(ProgressTextTest, TimeLeftAddsTheWorkStillToCome) {
  EXPECT_EQ(progressShareText(50, 100, 10.0, 12.0), "50% done, 0:22 left");
  EXPECT_EQ(progressShareText(100, 100, 20.0, 12.0), "100% done, 0:12 left");
  EXPECT_EQ(progressShareText(1, 100, 0.5, 12.0), "1% done, --:-- left");
  // 600 s of sound after the frames; after an analysis at 0.01 s a frame, the
  // frame pass of its 1000 frames too.
  EXPECT_DOUBLE_EQ(workAfterCount(7, 9000, 0.02, 600.0), 600.0 * kSoundWorkPerSecond);
  EXPECT_DOUBLE_EQ(workAfterCount(6, 1000, 0.01, 600.0),
                   10.0 * kFramePassPerAnalysedFrame + 600.0 * kSoundWorkPerSecond);
  EXPECT_DOUBLE_EQ(workAfterCount(5, 10, 1.0, 600.0), 0.0);
}

TEST_F(ProgressTextTest, EventsChooseTextAndChannel) {
  EncodeSummary summary = summaryNamed("x");
  const ProgressMessage summaryMessage =
      progressMessage(0, 0, reinterpret_cast<std::intptr_t>(&summary));
  EXPECT_EQ(summaryMessage.channel, ProgressChannel::Plain);
  EXPECT_EQ(summaryMessage.text, summaryText(summary));

  EXPECT_EQ(progressMessage(1, 1, 0).text, "\nAudio encoding complete.\n");
  const ProgressMessage aborted = progressMessage(2, 0, 0);
  EXPECT_EQ(aborted.channel, ProgressChannel::Plain);
  EXPECT_EQ(aborted.text, "\nEncode aborted.\n");

  const char* warning = "low memory";
  const ProgressMessage warningMessage =
      progressMessage(3, 0, reinterpret_cast<std::intptr_t>(warning));
  EXPECT_EQ(warningMessage.channel, ProgressChannel::Info);
  EXPECT_EQ(warningMessage.text, "\nEncode warning: low memory\n");

  const char* error = "The video file doesn't exist";
  const ProgressMessage errorMessage =
      progressMessage(4, 0, reinterpret_cast<std::intptr_t>(error));
  EXPECT_EQ(errorMessage.channel, ProgressChannel::Error);
  EXPECT_EQ(errorMessage.text, "\nEncode error occurred: The video file doesn't exist\n");

  EXPECT_EQ(progressMessage(5, 2, 4).text, "\rAudio block 2 of 4 encoded");
  EXPECT_EQ(progressMessage(6, 0, 0).text, "\nTranslating colors...\n");
  EXPECT_EQ(progressMessage(7, 0, pack(0, 9)).text,
            "\rEncoded frame 0 of 9,    0 bytes, quality = 0.1%  ");
}

TEST_F(ProgressTextTest, MissingTextOrSummaryShowsNothingHarmful) {
  EXPECT_EQ(progressMessage(4, 0, 0).text, "\nEncode error occurred: \n");
  EXPECT_EQ(progressMessage(0, 0, 0).channel, ProgressChannel::None);
}

TEST_F(ProgressTextTest, UnknownEventsShowNothing) {
  for (int event : {-1, 8, 100}) {
    const ProgressMessage message = progressMessage(event, 1, 1);
    EXPECT_EQ(message.channel, ProgressChannel::None);
    EXPECT_EQ(message.text, "");
  }
}

}  // namespace
}  // namespace vantrel
