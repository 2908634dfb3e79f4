#pragma once

#include <cstdint>
#include <vector>

#include "image/FrameImage.h"

namespace vantrel::testing {

// Small pictures for the image tests. A picture is given top row first, as one
// reads it; a FrameImage stores row 0 at the bottom.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // top row first

  std::uint32_t at(int x, int rowFromTop) const { return pixels[rowFromTop * width + x]; }
};

// Picture whose every pixel is different: 0x00RRGGBB with red = 8 x column + 4,
// green = 8 x row + 4, blue = 100.
Picture distinctPicture(int width, int height);

// The picture turned a quarter turn clockwise.
Picture rotatedClockwise(const Picture& picture);

// Fills storage (width x height words, bottom row first) with the picture, ready
// for a FrameImage to borrow.
void storeBottomUp(const Picture& picture, std::vector<std::uint32_t>& storage);

inline std::uint32_t rgb(int red, int green, int blue) {
  return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
}

}  // namespace vantrel::testing
