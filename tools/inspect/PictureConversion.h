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

// How the samples of a movie's frames were made, worked out from its header and
// the palette of its first key frame.
struct SampleLayout {
  int pictureMode = 3;   // colour mode to hand framePicture (4 or 5 for truecolor)
  int depthCode = 16;    // the converter's colour code: 12, 16, 24 or 25
  bool fineGrid = true;  // the colour grid of the conversion (all but code 12)
  int frameWidth = 0;    // samples per row = screen width
  int storedHeight = 0;  // rows of samples
  int screenHeight = 0;  // picture rows: storedHeight, or 2/3 of it for truecolor
  bool gray = false;     // colour mode 1: a grayscale movie (a truecolor layout's
                         // header keeps its own mode, so gray is not seen there)
};

// A 16-bit frame is truecolor whatever the colour mode says: a grayscale
// conversion in a truecolor code keeps colour mode 1, and then the palette tells
// table B (code 25, entries 227 on red and blue 10) from table A (code 24). An
// 8-bit grayscale movie is on the fine grid when its ramp has 32 levels (entry
// 17 not black). Colour modes 0 and 3 are codes 12 and 16.
SampleLayout sampleLayoutFor(int colourMode, int bitsPerPixel, int frameWidth,
                             int storedHeight, const std::array<std::uint32_t, 256>& palette);

}  // namespace vantrel::inspect
