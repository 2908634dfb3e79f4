#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vantrel::inspect {

// A picture in 8-bit red, green, blue triples, top row first.
struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // width x height x 3 bytes

  std::uint32_t pixel(int x, int y) const;  // 0x00RRGGBB
  void setPixel(int x, int y, std::uint32_t colour);
};

// Turns a decoded handheld frame into a picture for people to look at.
//   8-bit colour modes (0 standard, 1 grayscale, 3 enhanced): each sample is an
//   index into palette (0x00RRGGBB words); the picture is frameWidth x
//   storedHeight.
//   Truecolor modes (4, 5): storedHeight is 1.5 x the picture height; the luma
//   rows come first, then one row of U (frameWidth / 2 bytes) and V (frameWidth
//   / 2 bytes) per pair of picture rows. The colour is an approximation of the
//   handheld's own conversion (the encoder's YCbCr weights inverted), good for
//   looking at, not for measuring.
RgbPicture framePicture(const std::uint8_t* samples, int frameWidth, int storedHeight,
                        int colourMode, const std::array<std::uint32_t, 256>& palette);

}  // namespace vantrel::inspect
