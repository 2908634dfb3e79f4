#pragma once

// The shared ground of the inspector's end-to-end tests: a generated clip
// (64 x 48, 12 frames at 10 fps, a 1000 Hz tone) converted through the
// converter's own source kinds and engine, and the inspector run on the movie.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/TestClips.h"

namespace vantrel::inspect {

// Runs the inspector on args (the movie path included) into out and err,
// emptied first. Returns its exit status.
int runInspector(const std::vector<std::string>& args, std::ostringstream& out,
                 std::ostringstream& err);

// How the clip is converted: at the converter's defaults (160 x 160,
// letterbox, 15 fps asked for, so the source's 10 fps) in colour code depth,
// every frame a key frame when uncompressed, with the clip's sound as 8-bit
// PCM at 10000/s when withSound.
struct ClipConversion {
  int depth = 16;
  bool uncompressed = false;
  bool rotate = false;
  bool hflip = false;
  bool grayscale = false;
  bool withSound = false;
  int firstFrame = 0;  // the source frame the movie starts at (-start)
};

class ClipMovieTest : public ::testing::Test {
 protected:
  void SetUp() override;
  std::string clipPath() const { return scratch.file("clip.avi"); }
  std::string moviePath() const { return scratch.file("movie.pdb"); }

  void convert(const ClipConversion& how);
  // Converts the clip's sound alone into a sound-only database.
  void convertSoundOnly();

  // The inspector with args and the movie's path.
  int inspect(std::vector<std::string> args);

  test::ScratchDirectory scratch;
  std::ostringstream out;
  std::ostringstream err;
};

}  // namespace vantrel::inspect
