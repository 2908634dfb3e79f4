// vantrel-inspect -source: movies converted from a generated clip through the
// converter's own source kinds and engine are compared with that clip.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ClipMovieTest.h"

namespace vantrel::inspect {
namespace {

class SourceComparisonTest : public ClipMovieTest {
 protected:
  // The figure of the "total PSNR:" or "codec PSNR:" line: its decibels,
  // infinity for "identical", -1 when there is no such line.
  double figure(const std::string& which) const {
    const std::string text = out.str();
    const std::size_t at = text.find(which + " PSNR:    ");
    if (at == std::string::npos) return -1.0;
    if (text.compare(at + 15, 9, "identical") == 0) return HUGE_VAL;
    return std::strtod(text.c_str() + at + 15, nullptr);
  }
};

TEST_F(SourceComparisonTest, UncompressedTruecolorMovieLosesNothingInTheCodec) {
  convert({.depth = 25, .uncompressed = true});
  EXPECT_EQ(inspect({"-source=" + clipPath(), "-verbose"}), 0) << out.str() << err.str();
  EXPECT_NE(out.str().find("codec PSNR:    identical over 11 frames"), std::string::npos)
      << out.str();
  // The truecolor layouts keep 4-bit colour differences per 2 x 2 pixels: the
  // colour reduction costs something, however good the codec.
  EXPECT_GT(figure("total"), 15.0) << out.str();
  EXPECT_LT(figure("total"), 60.0) << out.str();
  // Every frame gets its own line with its kind, size and both figures.
  // Key frame 0: 16-byte header, the palette (254 x 3 bytes), 160 x 240 samples.
  EXPECT_NE(out.str().find("frame     0:  key         39178 bytes, palette  total "),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find(" dB, codec identical\nframe     1:  key         38416 bytes  total "),
            std::string::npos)
      << out.str();
}

TEST_F(SourceComparisonTest, UncompressedEightBitMovieLosesOnlyItsColourReduction) {
  convert({.depth = 16, .uncompressed = true});
  EXPECT_EQ(inspect({"-source=" + clipPath(), "-quiet"}), 0) << err.str();
  EXPECT_TRUE(std::isinf(figure("codec"))) << out.str();
  EXPECT_TRUE(std::isfinite(figure("total")) && figure("total") > 20.0) << out.str();
  EXPECT_NE(out.str().find("), worst "), std::string::npos) << out.str();
}

TEST_F(SourceComparisonTest, CompressedMovieStaysCloseToItsSource) {
  convert({.depth = 25});
  EXPECT_EQ(inspect({"-source=" + clipPath()}), 0) << err.str();
  EXPECT_GT(figure("codec"), 30.0) << out.str();
  EXPECT_LE(figure("total"), figure("codec")) << out.str();
}

TEST_F(SourceComparisonTest, SettingsMustMatchTheConversion) {
  convert({.depth = 16, .uncompressed = true, .rotate = true, .hflip = true});
  EXPECT_EQ(inspect({"-source=" + clipPath(), "-rotate", "-hflip", "-quiet"}), 0);
  EXPECT_TRUE(std::isinf(figure("codec"))) << out.str();
  const double placedRight = figure("total");
  // Compared as if the picture had not been turned, the frames differ widely.
  EXPECT_EQ(inspect({"-source=" + clipPath(), "-quiet"}), 0);
  EXPECT_LT(figure("codec"), 30.0) << out.str();
  EXPECT_LT(figure("total"), placedRight - 5.0) << out.str();
}

TEST_F(SourceComparisonTest, GrayMoviesAreComparedWithTheGrayOfTheirSource) {
  // The 8-bit gray ramp: the header tells. The truecolor layouts: the first
  // frame tells, with or without -grayscale.
  const std::vector<std::vector<std::string>> flagSets = {{}, {}, {"-grayscale"}};
  const int depths[] = {16, 25, 25};
  for (int i = 0; i < 3; ++i) {
    convert({.depth = depths[i], .uncompressed = true, .grayscale = true});
    std::vector<std::string> args = flagSets[i];
    args.push_back("-source=" + clipPath());
    EXPECT_EQ(inspect(args), 0) << err.str();
    EXPECT_TRUE(std::isinf(figure("codec"))) << depths[i] << out.str();
    EXPECT_GT(figure("total"), 25.0) << depths[i] << out.str();
    EXPECT_NE(out.str().find("(against the placed source in gray)"), std::string::npos);
  }
  // A colour movie stays compared in colour.
  convert({.depth = 25, .uncompressed = true});
  EXPECT_EQ(inspect({"-source=" + clipPath()}), 0) << err.str();
  EXPECT_TRUE(std::isinf(figure("codec"))) << out.str();
  EXPECT_NE(out.str().find("(against the placed source in full colour)"),
            std::string::npos);
}

TEST_F(SourceComparisonTest, MovieMadeFromALaterStartIsComparedFromThere) {
  convert({.depth = 16, .uncompressed = true, .firstFrame = 5});
  for (const char* start : {"-start=0.5", "-start=00:00.500"}) {
    EXPECT_EQ(inspect({"-source=" + clipPath(), start, "-quiet"}), 0) << err.str();
    EXPECT_TRUE(std::isinf(figure("codec"))) << start << out.str();
  }
  // From the beginning the frames are other pictures.
  EXPECT_EQ(inspect({"-source=" + clipPath(), "-quiet"}), 0) << err.str();
  EXPECT_LT(figure("codec"), 40.0) << out.str();
  EXPECT_EQ(inspect({"-source=" + clipPath(), "-start=2"}), 1);
  EXPECT_NE(err.str().find("is at or past the end of the source"), std::string::npos)
      << err.str();
}

TEST_F(SourceComparisonTest, OtherFrameRateIsNotedAndComparesFewerFrames) {
  convert({.depth = 25, .uncompressed = true});
  // At 5 fps the source gives 6 frames (every second one) instead of 11.
  EXPECT_EQ(inspect({"-source=" + clipPath(), "-framerate=5"}), 0);
  EXPECT_NE(out.str().find("the source gives 5 frames, the movie holds 11"), std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("over 5 frames"), std::string::npos) << out.str();
}

TEST_F(SourceComparisonTest, MissingSourceFailsTheRunButNotTheMovie) {
  convert({.depth = 25});
  EXPECT_EQ(inspect({"-source=" + scratch.file("gone.avi")}), 1);
  EXPECT_NE(err.str().find("gone.avi: The specified video file doesn't exist"),
            std::string::npos)
      << err.str();
  EXPECT_NE(out.str().find("movie OK"), std::string::npos);
  EXPECT_EQ(figure("total"), -1.0);
  EXPECT_EQ(figure("codec"), -1.0);
}

TEST_F(SourceComparisonTest, VerboseListsEveryFrameWithoutASource) {
  convert({.depth = 25});
  EXPECT_EQ(inspect({"-verbose"}), 0);
  EXPECT_NE(out.str().find("frame     0:  key"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("frame    10:  difference"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find("PSNR"), std::string::npos);
  EXPECT_NE(out.str().find("frame bytes:"), std::string::npos);
}

}  // namespace
}  // namespace vantrel::inspect
