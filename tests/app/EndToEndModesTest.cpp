// Whole conversions onto every screen size in every colour mode (by the
// default and by the best encode), and turned and flipped: each movie decoded
// with the player's decoder shows exactly the encoder's pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "EndToEndVideoFixture.h"

namespace vantrel::test {
namespace {

// --- Every screen size in every colour mode ------------------------------------

struct ModeCase {
  int resolution;  // -resolution code
  int width;
  int height;
  int colorDepth;
  bool grayscale;
};

std::string modeCaseName(const ::testing::TestParamInfo<ModeCase>& info) {
  const ModeCase& c = info.param;
  return std::to_string(c.width) + "x" + std::to_string(c.height) + "Depth" +
         std::to_string(c.colorDepth) + (c.grayscale ? "Gray" : "");
}

std::vector<ModeCase> allModes() {
  const int sizes[4][3] = {{0, 160, 160}, {1, 320, 240}, {2, 320, 320}, {3, 216, 384}};
  std::vector<ModeCase> cases;
  for (const auto& size : sizes) {
    for (int depth : {12, 16, 24, 25})
      cases.push_back({size[0], size[1], size[2], depth, false});
    for (int depth : {12, 16, 24, 25}) cases.push_back({size[0], size[1], size[2], depth, true});
  }
  return cases;
}

class EndToEndModeTest : public EndToEndVideoTest,
                         public ::testing::WithParamInterface<ModeCase> {};

TEST_P(EndToEndModeTest, MovieOfEveryModeDecodesToTheEncodersPictures) {
  const ModeCase& c = GetParam();
  const std::string clip = writeClip("clip.avi", 4);
  std::vector<std::string> flags{"-resolution=" + std::to_string(c.resolution),
                                 "-colordepth=" + std::to_string(c.colorDepth)};
  if (c.grayscale) flags.push_back("-grayscale");
  ASSERT_EQ(convert(clip, flags), kExitSuccess) << harness.errors();
  EXPECT_EQ(harness.errors(), "");
  // Four source frames at the movie's own rate make three movie frames.
  const auto checkModeMovie = [&] {
    checkMovie({c.width, c.height, c.colorDepth, c.grayscale, 15.0, 3, 0});
    if (c.grayscale && c.colorDepth >= 24) {
      // Gray pictures: every U sample has the one neutral U value, every V
      // sample the neutral V value.
      for (const EncodedFrame& frame : harness.encodedFrames()) {
        const std::set<std::uint8_t> chroma(
            frame.handheld.begin() + std::ptrdiff_t(c.width) * c.height, frame.handheld.end());
        EXPECT_EQ(chroma.size(), 2u);
      }
    }
  };
  checkModeMovie();
  // The best encode chooses other samples and codes, all of them the player's.
  flags.push_back("-bestencode");
  ASSERT_EQ(convert(clip, flags), kExitSuccess) << harness.errors();
  checkModeMovie();
}

INSTANTIATE_TEST_SUITE_P(Modes, EndToEndModeTest, ::testing::ValuesIn(allModes()),
                         modeCaseName);

TEST_F(EndToEndVideoTest, ColourDepthEightIsTheStandardPalette) {
  const std::string clip = writeClip("clip.avi", 4);
  ASSERT_EQ(convert(clip, {"-colordepth=8"}), kExitSuccess) << harness.errors();
  checkMovie({160, 160, 12, false, 15.0, 3, 0});  // colour mode 0, one byte a pixel
}

// --- Rotation and flips on every screen size ----------------------------------

struct OrientationCase {
  int resolution;
  int width;
  int height;
  int colorDepth;
  const char* flags;  // the orientation flags, blank separated
};

std::string orientationCaseName(const ::testing::TestParamInfo<OrientationCase>& info) {
  std::string name = std::to_string(info.param.width) + "x" +
                     std::to_string(info.param.height) + "Depth" +
                     std::to_string(info.param.colorDepth);
  for (const char* c = info.param.flags; *c != '\0'; ++c) {
    if (*c != '-' && *c != ' ') name += *c;
  }
  return name;
}

std::vector<OrientationCase> allOrientations() {
  const int sizes[4][3] = {{0, 160, 160}, {1, 320, 240}, {2, 320, 320}, {3, 216, 384}};
  std::vector<OrientationCase> cases;
  for (const auto& size : sizes) {
    for (int depth : {16, 25}) {
      for (const char* flags : {"-rotate", "-vflip", "-hflip", "-rotate -vflip -hflip"}) {
        cases.push_back({size[0], size[1], size[2], depth, flags});
      }
    }
  }
  return cases;
}

class EndToEndOrientationTest : public EndToEndVideoTest,
                                public ::testing::WithParamInterface<OrientationCase> {};

TEST_P(EndToEndOrientationTest, TurnedAndFlippedMovieDecodesToTheEncodersPictures) {
  const OrientationCase& c = GetParam();
  const std::string clip = writeClip("clip.avi", 4);
  std::vector<std::string> flags{"-resolution=" + std::to_string(c.resolution),
                                 "-colordepth=" + std::to_string(c.colorDepth)};
  std::string orientation = c.flags;
  for (std::size_t start = 0; start < orientation.size();) {
    std::size_t end = orientation.find(' ', start);
    if (end == std::string::npos) end = orientation.size();
    flags.push_back(orientation.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_EQ(convert(clip, flags), kExitSuccess) << harness.errors();
  checkMovie({c.width, c.height, c.colorDepth, false, 15.0, 3, 0});
}

INSTANTIATE_TEST_SUITE_P(Orientations, EndToEndOrientationTest,
                         ::testing::ValuesIn(allOrientations()), orientationCaseName);

// The orientation itself, on the exact first key frame of a 160 x 160 movie:
// the picture's samples (luma for truecolor) against those of the upright movie.
class EndToEndPictureOrientationTest : public EndToEndVideoTest,
                                       public ::testing::WithParamInterface<const char*> {
 protected:
  using Picture = std::vector<std::uint8_t>;

  Picture firstPicture(const std::string& clip, std::vector<std::string> flags) {
    flags.push_back(GetParam());
    EXPECT_EQ(convert(clip, flags), kExitSuccess);
    EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
    const std::vector<DecodedFrame> frames = harness.decodeMovie();
    if (frames.empty()) return {};
    return Picture(frames[0].picture.begin(), frames[0].picture.begin() + 160 * 160);
  }
};

TEST_P(EndToEndPictureOrientationTest, FlipsMirrorAndRotationTurnsClockwise) {
  const std::string clip = writeClip("clip.avi", 3);
  const Picture upright = firstPicture(clip, {});
  const Picture flipped = firstPicture(clip, {"-vflip"});
  const Picture mirrored = firstPicture(clip, {"-hflip"});
  const Picture turned = firstPicture(clip, {"-rotate"});
  ASSERT_EQ(upright.size(), 160u * 160u);
  ASSERT_EQ(flipped.size(), upright.size());
  ASSERT_EQ(mirrored.size(), upright.size());
  ASSERT_EQ(turned.size(), upright.size());
  const auto at = [](const Picture& picture, int row, int column) {
    return picture[std::size_t(row) * 160 + std::size_t(column)];
  };
  int flipErrors = 0;
  int mirrorErrors = 0;
  int turnErrors = 0;
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 160; ++x) {
      flipErrors += at(flipped, 159 - y, x) != at(upright, y, x);
      mirrorErrors += at(mirrored, y, 159 - x) != at(upright, y, x);
      // A quarter turn clockwise: the left edge becomes the top edge, the
      // bottom-left corner the top-left corner.
      turnErrors += at(turned, x, 159 - y) != at(upright, y, x);
    }
  }
  EXPECT_EQ(flipErrors, 0);
  EXPECT_EQ(mirrorErrors, 0);
  EXPECT_EQ(turnErrors, 0);
  EXPECT_NE(upright, flipped);  // the picture is not symmetric
  EXPECT_NE(upright, mirrored);
}

std::string fixedPaletteName(const ::testing::TestParamInfo<const char*>& info) {
  const std::string flag = info.param;
  return flag == "-grayscale" ? "Gray" : "Truecolor" + flag.substr(flag.find('=') + 1);
}

// A fixed palette makes the samples depend on the colour alone.
INSTANTIATE_TEST_SUITE_P(FixedPalettes, EndToEndPictureOrientationTest,
                         ::testing::Values("-grayscale", "-colordepth=24",
                                           "-colordepth=25"),
                         fixedPaletteName);

}  // namespace
}  // namespace vantrel::test
