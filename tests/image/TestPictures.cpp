#include "TestPictures.h"

namespace vantrel::testing {

Picture distinctPicture(int width, int height) {
  Picture picture{width, height, {}};
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; ++x) picture.pixels.push_back(rgb(8 * x + 4, 8 * row + 4, 100));
  }
  return picture;
}

Picture rotatedClockwise(const Picture& picture) {
  // Row r of the result is column r of the picture read from the bottom up.
  Picture turned{picture.height, picture.width, {}};
  for (int row = 0; row < turned.height; ++row) {
    for (int x = 0; x < turned.width; ++x) {
      turned.pixels.push_back(picture.at(row, picture.height - 1 - x));
    }
  }
  return turned;
}

void storeBottomUp(const Picture& picture, std::vector<std::uint32_t>& storage) {
  storage.assign(static_cast<std::size_t>(picture.width) * picture.height, 0);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      storage[y * picture.width + x] = picture.at(x, picture.height - 1 - y);
    }
  }
}

}  // namespace vantrel::testing
