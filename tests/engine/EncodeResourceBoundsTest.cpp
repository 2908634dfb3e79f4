// The sizes an encode accepts: source pictures from 1 x 1 to 4096 x 4096 and
// beyond convert; pictures over the size limit and streams that claim more
// frames than a movie can hold are refused or cut with a message, never met
// with an allocation of their claimed size.

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "VideoEncodeFixture.h"
#include "codec/FrameDecoder.h"

namespace vantrel {
namespace {

using test::RecordedEvent;

class EncodeResourceBoundsTest : public test::VideoEncodeFixture {
 protected:
  // The encode completed, and every frame record decodes.
  void expectCompleteMovie(int frames) {
    ASSERT_EQ(engine.count(ProgressEvent::Error), 0)
        << engine.first(ProgressEvent::Error)->text;
    ASSERT_EQ(engine.count(ProgressEvent::Summary), 1);
    EXPECT_EQ(engine.summary.frameCount, frames);
    const DatabaseReader reader = readBack();
    EXPECT_TRUE(reader.structureProblems().empty());
    MovieHeaderView header;
    ASSERT_TRUE(reader.movieHeader(header));
    FrameDecoder decoder(header.frameWidth, header.storedHeight);
    for (int k = 1; k <= frames; ++k) {
      const auto record = reader.record(k);
      EXPECT_EQ(decoder.decodeNextFrame(record.data(), record.size()), DecodeStatus::Ok)
          << "frame record " << k;
    }
  }
};

TEST_F(EncodeResourceBoundsTest, SourcePictureOf4096By4096Converts) {
  useVideo(3, 15, 4096, 4096);
  engine.screenWidth = 320;
  engine.screenHeight = 240;
  encode();
  expectCompleteMovie(2);
}

TEST_F(EncodeResourceBoundsTest, SourcePictureOfOnePixelConverts) {
  useVideo(4, 15, 1, 1);
  encode();
  expectCompleteMovie(3);
}

TEST_F(EncodeResourceBoundsTest, OnePixelSourceConvertsInEveryColourMode) {
  for (int depth : {12, 16, 24, 25}) {
    SCOPED_TRACE(depth);
    engine.events.clear();
    engine.colorDepth = depth;
    useVideo(2, 15, 1, 1);
    test::OutputFile file;
    encode(file.get());
    EXPECT_EQ(engine.count(ProgressEvent::Summary), 1);
    EXPECT_EQ(engine.count(ProgressEvent::Error), 0);
  }
}

TEST_F(EncodeResourceBoundsTest, PictureWiderThanTheLimitIsRefusedWithItsSize) {
  useVideo(3, 15, 9000, 1);
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.first(ProgressEvent::Error)->text,
            "The video's pictures of 9000 x 1 pixels are too large to convert.");
  EXPECT_EQ(engine.count(ProgressEvent::Summary), 0);
  EXPECT_TRUE(readBack().recordListIsZero());
}

TEST_F(EncodeResourceBoundsTest, PictureOverThePixelLimitIsRefused) {
  // Each side within the limit, the area over it.
  useVideo(2, 15, 8192, 4097);
  encode();
  ASSERT_EQ(engine.count(ProgressEvent::Error), 1);
  EXPECT_EQ(engine.first(ProgressEvent::Error)->text,
            "The video's pictures of 8192 x 4097 pixels are too large to convert.");
}

TEST_F(EncodeResourceBoundsTest, StreamClaimingTwoBillionFramesIsCutToWhatAMovieHolds) {
  useVideo(INT_MAX);
  engine.onEvent = [](test::RecordingEncoder& e, const RecordedEvent& event) {
    if (event.event == 3) e.requestAbort();  // the cut is all this test needs
  };
  encode();
  ASSERT_FALSE(engine.events.empty());
  EXPECT_EQ(engine.events.front().event, 3);
  EXPECT_NE(engine.events.front().text.find("65534 of"), std::string::npos)
      << engine.events.front().text;
  EXPECT_EQ(engine.count(ProgressEvent::Aborted), 1);
  // The record list was written for the cut movie, not for the claim.
  EXPECT_EQ(readBack().recordCount, 65535);
}

}  // namespace
}  // namespace vantrel
