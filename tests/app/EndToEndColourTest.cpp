// HDR clips as phones record them (HLG and PQ, BT.2020, 10 bits), made from an
// SDR BT.709 original by FFmpeg's own conversion, through the whole program
// into uncompressed truecolor movies: what the player shows must look like the
// SDR original, not like a flat grey copy of it.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "EndToEndHarness.h"
#include "PictureConversion.h"
#include "support/HdrClipWriter.h"

namespace vantrel::test {
namespace {

// Mean colour of one bar of the shown picture, channels 0 to 255.
struct MeanColour {
  double red = 0.0;
  double green = 0.0;
  double blue = 0.0;

  double luma() const { return 0.299 * red + 0.587 * green + 0.114 * blue; }
  double cb() const { return -0.168736 * red - 0.331264 * green + 0.5 * blue; }
  double cr() const { return 0.5 * red - 0.418688 * green - 0.081312 * blue; }
};

std::string describe(const MeanColour& colour) {
  char text[64];
  std::snprintf(text, sizeof text, "(%.1f, %.1f, %.1f)", colour.red, colour.green,
                colour.blue);
  return text;
}

// How close a bar must come to the SDR original's, compared as BT.601 luma
// and colour differences (the truecolor layout's own terms). A truecolor
// frame stores luma in steps of 2.6 levels but each colour difference of a
// 2 x 2 group in only 15 steps of 17 levels, so a bar whose colour lies a
// little off the original's can land one whole step away: one step (17.5)
// is allowed there. Luma may be 6 levels off: two stored steps, for the 10-bit
// picture and the tone curve, which leaves colours at full strength about 1 %
// short of their SDR light. Read without conversion, every bar misses by
// more: up to 107 levels of luma and 90 of colour difference.
constexpr double kLumaTolerance = 6.0;
constexpr double kChromaTolerance = 17.5;

class EndToEndColourTest : public ::testing::Test {
 protected:
  // Converts the clip of shape (-colordepth=24 -uncompressed, 160 x 160) and
  // returns the mean colour of every bar in frame 0 as the player shows it.
  // The 256 x 128 clip lies letterboxed in rows 40 to 119, each bar 20
  // columns wide; the edges of each bar, where scaling and the 2 x 2 colour
  // samples mix neighbours, are left out.
  std::array<MeanColour, kClipBarCount> shownBars(const HdrClip& shape) {
    std::array<MeanColour, kClipBarCount> bars{};
    const std::string clip = harness.file("clip.mkv");
    EXPECT_EQ(writeHdrClip(clip, shape), "");
    EXPECT_EQ(harness.run(movieArguments(clip, harness.file("movie.pdb"),
                                         {"-colordepth=24", "-uncompressed"})),
              kExitSuccess)
        << harness.errors();
    const std::vector<DecodedFrame> frames = harness.decodeMovie();
    if (frames.empty()) return bars;
    const inspect::RgbPicture shown = inspect::framePicture(
        frames[0].picture.data(), 160, 240, 4, std::array<std::uint32_t, 256>{});
    for (int bar = 0; bar < kClipBarCount; ++bar) {
      int count = 0;
      for (int y = 50; y < 110; ++y) {
        for (int x = bar * 20 + 4; x < bar * 20 + 16; ++x, ++count) {
          const std::uint32_t pixel = shown.pixel(x, y);
          bars[std::size_t(bar)].red += pixel >> 16 & 0xFF;
          bars[std::size_t(bar)].green += pixel >> 8 & 0xFF;
          bars[std::size_t(bar)].blue += pixel & 0xFF;
        }
      }
      bars[std::size_t(bar)].red /= count;
      bars[std::size_t(bar)].green /= count;
      bars[std::size_t(bar)].blue /= count;
    }
    return bars;
  }

  EndToEndHarness harness;
};

TEST_F(EndToEndColourTest, HdrWhiteFieldComesOutWhite) {
  for (ClipTransfer transfer : {ClipTransfer::Hlg, ClipTransfer::Pq}) {
    SCOPED_TRACE(transfer == ClipTransfer::Hlg ? "HLG" : "PQ");
    for (const MeanColour& shown : shownBars({transfer, ClipScene::WhiteField})) {
      EXPECT_GE(shown.red, 235.0) << describe(shown);
      EXPECT_GE(shown.green, 235.0) << describe(shown);
      EXPECT_GE(shown.blue, 235.0) << describe(shown);
    }
  }
}

TEST_F(EndToEndColourTest, HdrColourBarsLookLikeTheSdrOriginal) {
  const auto original = shownBars({ClipTransfer::Sdr, ClipScene::ColourBars});
  for (ClipTransfer transfer : {ClipTransfer::Hlg, ClipTransfer::Pq}) {
    SCOPED_TRACE(transfer == ClipTransfer::Hlg ? "HLG" : "PQ");
    const auto shown = shownBars({transfer, ClipScene::ColourBars});
    for (int bar = 0; bar < kClipBarCount; ++bar) {
      const MeanColour& a = shown[std::size_t(bar)];
      const MeanColour& b = original[std::size_t(bar)];
      const std::string trace = "bar " + std::to_string(bar) + ": " + describe(a) +
                                " against the SDR original's " + describe(b);
      EXPECT_NEAR(a.luma(), b.luma(), kLumaTolerance) << trace;
      EXPECT_NEAR(a.cb(), b.cb(), kChromaTolerance) << trace;
      EXPECT_NEAR(a.cr(), b.cr(), kChromaTolerance) << trace;
    }
  }
}

}  // namespace
}  // namespace vantrel::test
