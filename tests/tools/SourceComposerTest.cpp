#include "SourceComposer.h"

#include <gtest/gtest.h>

#include "image/ColourReduction.h"
#include "support/HdrClipWriter.h"
#include "support/TestClips.h"

namespace vantrel::inspect {
namespace {

class SourceComposerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::RawAviClip clip;
    clip.width = 64;
    clip.height = 48;
    clip.frames = 30;
    clip.rate = 30;
    ASSERT_TRUE(test::writeRawAvi(clipPath(), clip));
  }
  std::string clipPath() const { return scratch.file("clip.avi"); }

  static SampleLayout truecolorPlus() {
    SampleLayout layout;
    layout.pictureMode = 5;
    layout.depthCode = 25;
    layout.frameWidth = 160;
    layout.storedHeight = 240;
    layout.screenHeight = 160;
    return layout;
  }

  test::ScratchDirectory scratch;
  SourceComposer composer;
  std::array<std::uint32_t, 256> palette{};
};

TEST_F(SourceComposerTest, PlanMapsMovieFramesToSourceFramesAsTheConverterDoes) {
  ShapingSettings settings;  // 15 fps from a 30 fps source: every second frame
  ASSERT_EQ(composer.open(clipPath(), settings), "");
  EXPECT_DOUBLE_EQ(composer.plannedFps(), 15.0);
  EXPECT_EQ(composer.plannedFrameCount(), 14);  // 15 output frames, less the last
  EXPECT_EQ(composer.sourceFrameFor(0), 0);
  EXPECT_EQ(composer.sourceFrameFor(5), 10);
  settings.frameRate = 0;  // derived: 30 / ceil(30 / 12 + 0.5) = 10 fps
  ASSERT_EQ(composer.open(clipPath(), settings), "");
  EXPECT_DOUBLE_EQ(composer.plannedFps(), 10.0);
  EXPECT_EQ(composer.sourceFrameFor(4), 12);
}

TEST_F(SourceComposerTest, LetterboxedFrameHasBlackBordersAndThePictureBetween) {
  ASSERT_EQ(composer.open(clipPath(), ShapingSettings{}), "");
  std::vector<std::uint8_t> samples;
  ASSERT_EQ(composer.composeFrame(3, truecolorPlus(), palette, samples), "");
  ASSERT_EQ(samples.size(), 160u * 240u);
  // 64 x 48 letterboxed on 160 x 160: rows 24 to 143 hold the picture. Black
  // is luma 17 in code 25; the bottom picture row shows the bars (red first).
  EXPECT_EQ(samples[10 * 160 + 80], 17);
  EXPECT_EQ(samples[150 * 160 + 80], 17);
  EXPECT_NE(samples[140 * 160 + 10], 17);
}

// The source is read as the converter reads it: an HLG white field is white
// (read as stored it would be a grey of 189), so -source compares a movie
// with the picture people see.
TEST_F(SourceComposerTest, HdrSourceIsPlacedAsTheSdrPictureTheConverterMakes) {
  const std::string hlgClip = scratch.file("hlg.mkv");
  ASSERT_EQ(test::writeHdrClip(hlgClip, {test::ClipTransfer::Hlg, test::ClipScene::WhiteField}),
            "");
  ASSERT_EQ(composer.open(hlgClip, ShapingSettings{}), "");
  std::vector<std::uint8_t> samples;
  ASSERT_EQ(composer.composeFrame(0, truecolorPlus(), palette, samples), "");
  const RgbPicture placed = composer.placedPicture(truecolorPlus());
  // The 256 x 128 clip letterboxed on 160 x 160: rows 40 to 119.
  EXPECT_EQ(placed.pixel(80, 20), 0x000000u);
  const std::uint32_t white = placed.pixel(80, 80);
  EXPECT_GE(white >> 16 & 0xFF, 245u) << std::hex << white;
  EXPECT_GE(white >> 8 & 0xFF, 245u) << std::hex << white;
  EXPECT_GE(white & 0xFF, 245u) << std::hex << white;
}

TEST_F(SourceComposerTest, EightBitFramesUseThePalettesNearestColours) {
  ASSERT_EQ(composer.open(clipPath(), ShapingSettings{}), "");
  SampleLayout layout;
  layout.pictureMode = 3;
  layout.depthCode = 16;
  layout.fineGrid = true;
  layout.frameWidth = 160;
  layout.storedHeight = 160;
  layout.screenHeight = 160;
  palette[1] = 0x000000;  // black
  palette[2] = 0xFF0000;  // red
  palette[3] = 0xFFFFFF;  // white
  for (int i = 4; i < 255; ++i) palette[i] = 0x00FF00;
  std::vector<std::uint8_t> samples;
  ASSERT_EQ(composer.composeFrame(0, layout, palette, samples), "");
  EXPECT_EQ(samples[10 * 160 + 80], 1);    // the black border
  EXPECT_EQ(samples[140 * 160 + 10], 2);   // the red bar at the bottom left
}

TEST_F(SourceComposerTest, MissingSourceAndFramesPastItsEndAreReported) {
  EXPECT_EQ(composer.open(scratch.file("none.avi"), ShapingSettings{}),
            "The specified video file doesn't exist");
  ASSERT_EQ(composer.open(clipPath(), ShapingSettings{}), "");
  std::vector<std::uint8_t> samples;
  EXPECT_EQ(composer.composeFrame(100, truecolorPlus(), palette, samples),
            "An error occurred while reading from the video file");
}

}  // namespace
}  // namespace vantrel::inspect
