#include "codec/CodecTestData.h"

#include "image/ColourReduction.h"

namespace vantrel::testing {

std::array<std::uint32_t, 256> cubePalette() {
  std::array<std::uint32_t, 256> palette{};
  palette[0] = 0xFFFFFF;
  int entry = 1;
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 6; ++g) {
      for (int b = 0; b < 6; ++b) {
        palette[entry++] = static_cast<std::uint32_t>(r * 51) << 16 |
                           static_cast<std::uint32_t>(g * 51) << 8 |
                           static_cast<std::uint32_t>(b * 51);
      }
    }
  }
  for (int i = 0; entry <= 254; ++i, ++entry) {
    const std::uint32_t level = static_cast<std::uint32_t>(6 + i * 6);
    palette[entry] = level << 16 | level << 8 | level;
  }
  palette[255] = 0;
  return palette;
}

std::array<std::uint32_t, 256> truecolorTable() {
  std::array<std::uint32_t, 256> palette{};
  truecolorPalette(palette.data(), kTruecolorDepth);
  palette[0] = 0xFFFFFF;
  return palette;
}

std::vector<std::uint8_t> noiseFrame(int width, int height, std::uint32_t seed) {
  TestRandom random(seed);
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height);
  for (auto& sample : frame) sample = static_cast<std::uint8_t>(1 + random.below(254));
  return frame;
}

namespace {

int texture(int x, int y) {
  // Smooth bands with some detail: colours from the cube, all entries 1 to 216.
  const int r = ((x / 6) + (y / 11)) % 6;
  const int g = ((x * 3 + y) / 17) % 6;
  const int b = ((x ^ y) / 5) % 6;
  return 1 + r * 36 + g * 6 + b;
}

}  // namespace

std::vector<std::uint8_t> texturedFrame(int width, int height, int dx, int dy) {
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int sx = ((x - dx) % width + width) % width;
      const int sy = ((y - dy) % height + height) % height;
      frame[static_cast<std::size_t>(y) * width + x] =
          static_cast<std::uint8_t>(texture(sx, sy));
    }
  }
  return frame;
}

std::vector<std::uint8_t> movingFrame(int width, int height, int t) {
  std::vector<std::uint8_t> frame = texturedFrame(width, height, 2 * t, 0);
  const int side = width / 5;
  const int span = width - side;
  const int left = (span - (3 * t) % span) % span;
  const int top = ((5 * t) % (height - side) + (height - side)) % (height - side);
  for (int y = top; y < top + side; ++y) {
    for (int x = left; x < left + side; ++x) {
      frame[static_cast<std::size_t>(y) * width + x] =
          static_cast<std::uint8_t>(217 + (x + y + t) % 38);
    }
  }
  return frame;
}

std::vector<std::uint8_t> truecolorFrame(int width, int pictureHeight, int t) {
  const int storedHeight = pictureHeight + pictureHeight / 2;
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * storedHeight);
  for (int y = 0; y < pictureHeight; ++y) {
    for (int x = 0; x < width; ++x) {
      int luma = 16 + ((x + 2 * t) * 97 / width + y / 3) % 98;
      if (luma % 15 == 0) ++luma;
      frame[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(luma);
    }
  }
  for (int y = pictureHeight; y < storedHeight; ++y) {
    std::uint8_t* row = frame.data() + static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width / 2; ++x) {
      row[x] = static_cast<std::uint8_t>(((x + t) / 7) % 15);                     // U
      row[width / 2 + x] = static_cast<std::uint8_t>(15 * (((y + t) / 5) % 15));  // V
    }
  }
  return frame;
}

}  // namespace vantrel::testing
