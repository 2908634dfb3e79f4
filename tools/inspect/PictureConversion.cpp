#include "PictureConversion.h"

#include <algorithm>
#include <cmath>

namespace vantrel::inspect {

namespace {

constexpr int kTruecolorMode = 4;
constexpr int kTruecolorPlusMode = 5;

// Scale of the chroma steps: 4 pixels x 964 / 65536 per unit of Cb or Cr (the
// encoder's sums of a 2 x 2 group).
constexpr double kLinearChromaScale = 4.0 * 964.0 / 65536.0;
// The non-linear chroma of the "plus" layout works on t = 4 x 962 x Cb.
constexpr double kPlusChromaFactor = 4.0 * 962.0;

std::uint8_t clampByte(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

std::uint32_t rgbFromYCbCr(double luma, double cb, double cr) {
  const std::uint32_t red = clampByte(luma + 1.402 * cr);
  const std::uint32_t green = clampByte(luma - 0.344136 * cb - 0.714136 * cr);
  const std::uint32_t blue = clampByte(luma + 1.772 * cb);
  return (red << 16) | (green << 8) | blue;
}

// Colour difference from a linear 4-bit step u (0 to 14), centred on 7.5.
double linearChroma(int u) { return (u + 0.5 - 7.5) / kLinearChromaScale; }

// Colour difference from a non-linear step u (0 to 14): undoes
// f(t) = 786432 t / (262144 + |t|), u = (f + 490620) >> 16.
double plusChroma(int u) {
  const double f = (u + 0.5) * 65536.0 - 490620.0;
  const double magnitude = std::min(std::fabs(f), 786000.0);
  const double t = 262144.0 * magnitude / (786432.0 - magnitude);
  return (f < 0 ? -t : t) / kPlusChromaFactor;
}

RgbPicture truecolorPicture(const std::uint8_t* samples, int width, int storedHeight,
                            bool plus) {
  RgbPicture picture;
  picture.width = width;
  picture.height = storedHeight * 2 / 3;
  picture.rgb.assign(std::size_t(width) * picture.height * 3, 0);
  const int halfWidth = width / 2;
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* chromaRow =
        samples + std::size_t(picture.height + y / 2) * width;
    for (int x = 0; x < width; ++x) {
      const int stored = samples[std::size_t(y) * width + x];
      const int u = chromaRow[x / 2];
      const int v = chromaRow[halfWidth + x / 2];
      double luma;
      double cb;
      double cr;
      if (plus) {
        luma = (stored - 17) * 65536.0 / 32896.0;
        cb = plusChroma(u - 1);
        cr = plusChroma((v - 16) / 15);
      } else {
        luma = (stored - 16) * 65536.0 / 24930.0;
        // Steps just below zero were stored as their low 8 bits.
        cb = linearChroma(u > 127 ? u - 256 : u);
        cr = linearChroma((v > 232 ? v - 256 : v) / 15);
      }
      picture.setPixel(x, y, rgbFromYCbCr(luma, cb, cr));
    }
  }
  return picture;
}

}  // namespace

std::uint32_t RgbPicture::pixel(int x, int y) const {
  const std::uint8_t* p = rgb.data() + (std::size_t(y) * width + x) * 3;
  return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
}

void RgbPicture::setPixel(int x, int y, std::uint32_t colour) {
  std::uint8_t* p = rgb.data() + (std::size_t(y) * width + x) * 3;
  p[0] = std::uint8_t(colour >> 16);
  p[1] = std::uint8_t(colour >> 8);
  p[2] = std::uint8_t(colour);
}

RgbPicture framePicture(const std::uint8_t* samples, int frameWidth, int storedHeight,
                        int colourMode, const std::array<std::uint32_t, 256>& palette) {
  if (colourMode == kTruecolorMode || colourMode == kTruecolorPlusMode) {
    return truecolorPicture(samples, frameWidth, storedHeight,
                            colourMode == kTruecolorPlusMode);
  }
  RgbPicture picture;
  picture.width = frameWidth;
  picture.height = storedHeight;
  picture.rgb.assign(std::size_t(frameWidth) * storedHeight * 3, 0);
  for (int y = 0; y < storedHeight; ++y) {
    for (int x = 0; x < frameWidth; ++x) {
      picture.setPixel(x, y, palette[samples[std::size_t(y) * frameWidth + x]]);
    }
  }
  return picture;
}

SampleLayout sampleLayoutFor(int colourMode, int bitsPerPixel, int frameWidth,
                             int storedHeight, const std::array<std::uint32_t, 256>& palette) {
  constexpr int kGrayscaleMode = 1;
  constexpr int kStandardMode = 0;
  constexpr int kTableBMarkEntry = 227;
  constexpr int kFineRampEntry = 17;
  SampleLayout layout;
  layout.frameWidth = frameWidth;
  layout.storedHeight = storedHeight;
  if (bitsPerPixel == 16) {
    bool plus = colourMode == kTruecolorPlusMode;
    if (colourMode != kTruecolorMode && colourMode != kTruecolorPlusMode) {
      plus = (palette[kTableBMarkEntry] & 0xFFFFFF) != 0;
    }
    layout.pictureMode = plus ? kTruecolorPlusMode : kTruecolorMode;
    layout.depthCode = plus ? 25 : 24;
    layout.fineGrid = true;
    layout.screenHeight = storedHeight * 2 / 3;
    return layout;
  }
  layout.pictureMode = colourMode;
  layout.screenHeight = storedHeight;
  if (colourMode == kStandardMode) {
    layout.fineGrid = false;
  } else if (colourMode == kGrayscaleMode) {
    layout.fineGrid = (palette[kFineRampEntry] & 0xFFFFFF) != 0;
  }
  layout.depthCode = layout.fineGrid ? 16 : 12;
  return layout;
}

}  // namespace vantrel::inspect
