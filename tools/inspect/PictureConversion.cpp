#include "PictureConversion.h"

#include "image/TruecolorShown.h"

namespace vantrel::inspect {

namespace {

constexpr int kTruecolorMode = 4;
constexpr int kTruecolorPlusMode = 5;

RgbPicture truecolorPicture(const std::uint8_t* samples, int width, int storedHeight,
                            bool plus) {
  RgbPicture picture;
  picture.width = width;
  picture.height = storedHeight * 2 / 3;
  picture.rgb.assign(std::size_t(width) * picture.height * 3, 0);
  const int halfWidth = width / 2;
  const int depthCode = plus ? 25 : 24;
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* chromaRow =
        samples + std::size_t(picture.height + y / 2) * width;
    for (int x = 0; x < width; ++x) {
      const int stored = samples[std::size_t(y) * width + x];
      const int u = chromaRow[x / 2];
      const int v = chromaRow[halfWidth + x / 2];
      picture.setPixel(x, y, shownColour(shownLuma(stored, depthCode),
                                         shownBlueDifference(u, depthCode),
                                         shownRedDifference(v, depthCode)));
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
  layout.gray = colourMode == kGrayscaleMode;
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
