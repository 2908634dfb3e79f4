#include "image/ColourReduction.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "image/ClosestSamples.h"
#include "image/ColourGrid.h"

namespace vantrel {

namespace {

constexpr int kFirstColour = 1;
constexpr int kLastColour = 254;

void clearColours(std::uint32_t* palette) {
  std::fill(palette + kFirstColour, palette + kLastColour + 1, 0u);
}

// The truecolor tables set single channel bytes and keep the others.
void setRed(std::uint32_t& entry, int value) {
  entry = (entry & 0xff00ffffu) | static_cast<std::uint32_t>(value & 0xff) << 16;
}
void setGreen(std::uint32_t& entry, int value) {
  entry = (entry & 0xffff00ffu) | static_cast<std::uint32_t>(value & 0xff) << 8;
}
void setBlue(std::uint32_t& entry, int value) {
  entry = (entry & 0xffffff00u) | static_cast<std::uint32_t>(value & 0xff);
}

// Constants of the two truecolor layouts. Luma values whose distance from
// skipOrigin is a multiple of 15 are reserved in the handheld's sample code and
// are moved up by one.
struct LumaCode {
  int blueWeight;
  int greenWeight;
  int redWeight;
  int base;
  int skipOrigin;
};
constexpr LumaCode kLuma24 = {2842, 14634, 7454, 16, 0};
constexpr LumaCode kLuma25 = {3750, 19310, 9836, 17, 16};

int lumaOf(std::uint32_t pixel, const LumaCode& code) {
  const int blue = pixel & 0xff;
  const int green = (pixel >> 8) & 0xff;
  const int red = (pixel >> 16) & 0xff;
  int luma = code.base +
             ((code.blueWeight * blue + code.greenWeight * green + code.redWeight * red) >> 16);
  if ((luma - code.skipOrigin) % 15 == 0) ++luma;
  return luma;
}

// The code 25 colour-difference curve: t x 786432 / (262144 + |t|), truncated.
int softCurve(int t) {
  return static_cast<int>(static_cast<double>(t) * 786432.0 / (262144.0 + std::abs(t)));
}

int softLevel(int t) { return std::clamp((softCurve(t) + 490620) >> 16, 0, 14); }

void convertPaletted(const FrameImage& work, std::uint8_t* frame, bool rotate, int frameWidth,
                     int targetHeight, const std::uint8_t* colourMap, bool fineGrid,
                     const ClosestSamples* closest) {
  const int workWidth = work.imageWidth;
  const int workHeight = work.imageHeight;
  for (int y = 0; y < workHeight; ++y) {
    const std::uint32_t* row = work.pixels + static_cast<std::int64_t>(y) * workWidth;
    for (int x = 0; x < workWidth; ++x) {
      // Row 0 of the working image is its bottom; the frame is stored top first.
      const int frameRow = rotate ? targetHeight - 1 - x : targetHeight - 1 - y;
      const int frameColumn = rotate ? y : x;
      if (frameRow < 0 || frameRow >= targetHeight || frameColumn >= frameWidth) continue;
      frame[frameRow * frameWidth + frameColumn] = closest != nullptr
                                                       ? closest->nearestEntry(row[x])
                                                       : colourMap[cellIndex(row[x], fineGrid)];
    }
  }
}

void convertTruecolor(const FrameImage& work, std::uint8_t* frame, int depthCode,
                      bool rotate, int frameWidth, int targetHeight,
                      const ClosestSamples* closest, std::int32_t* leans) {
  const bool plus = depthCode == kTruecolorPlusDepth;
  const LumaCode& code = plus ? kLuma25 : kLuma24;
  const int workWidth = work.imageWidth;
  const int workHeight = work.imageHeight;
  const int lumaBytes = frameWidth * targetHeight;
  const int frameBytes = frameWidth * storedFrameHeight(depthCode, targetHeight);
  std::int32_t lumaLeans[4] = {};
  std::int32_t uLean = 0;
  std::int32_t vLean = 0;
  int put = 0;
  const auto putLuma = [&](int row, int column, int luma) {
    const int p = put++;
    if (row < 0 || row >= targetHeight || column < 0 || column >= frameWidth) return;
    frame[row * frameWidth + column] = static_cast<std::uint8_t>(luma);
    if (leans != nullptr) leans[row * frameWidth + column] = lumaLeans[p];
  };
  for (int j = 0; j + 1 < workHeight; j += 2) {
    const std::uint32_t* lower = work.pixels + static_cast<std::int64_t>(j) * workWidth;
    const std::uint32_t* upper = lower + workWidth;
    const int topRow = workHeight - 1 - j;  // frame row of picture row j
    for (int x = 0; x + 1 < workWidth; x += 2) {
      const std::uint32_t group[4] = {lower[x], lower[x + 1], upper[x], upper[x + 1]};
      int lumas[4];
      for (int p = 0; p < 4; ++p) lumas[p] = lumaOf(group[p], code);
      int sumBlue = 0;
      int sumGreen = 0;
      int sumRed = 0;
      for (std::uint32_t pixel : group) {
        sumBlue += pixel & 0xff;
        sumGreen += (pixel >> 8) & 0xff;
        sumRed += (pixel >> 16) & 0xff;
      }
      int u;
      int v;
      if (plus) {
        u = softLevel(481 * sumBlue - 318 * sumGreen - 163 * sumRed) + 1;
        v = 16 + 15 * softLevel(481 * sumRed - 403 * sumGreen - 78 * sumBlue);
      } else {
        // Only the low 8 bits are kept, so pure yellow's U of -1 is stored as 255.
        u = (482 * sumBlue - 319 * sumGreen - 163 * sumRed + 491520) >> 16;
        v = 15 * ((482 * sumRed - 404 * sumGreen - 78 * sumBlue + 491520) >> 16);
      }
      if (closest != nullptr) closest->refineGroup(group, lumas, u, v);
      if (leans != nullptr)
        closest->groupLeans(group, lumas, u, v, lumaLeans, uLean, vLean);
      put = 0;
      int chromaIndex;
      if (rotate) {
        putLuma(x, topRow, lumas[0]);
        putLuma(x + 1, topRow, lumas[1]);
        putLuma(x, topRow - 1, lumas[2]);
        putLuma(x + 1, topRow - 1, lumas[3]);
        chromaIndex = lumaBytes + (x * frameWidth + topRow - 1) / 2;
      } else {
        putLuma(topRow, x, lumas[0]);
        putLuma(topRow, x + 1, lumas[1]);
        putLuma(topRow - 1, x, lumas[2]);
        putLuma(topRow - 1, x + 1, lumas[3]);
        chromaIndex = lumaBytes + ((topRow - 1) * frameWidth + x) / 2;
      }
      const int vIndex = chromaIndex + frameWidth / 2;
      if (chromaIndex >= lumaBytes && chromaIndex < frameBytes) {
        frame[chromaIndex] = static_cast<std::uint8_t>(u & 0xff);
        if (leans != nullptr) leans[chromaIndex] = uLean;
      }
      if (vIndex >= lumaBytes && vIndex < frameBytes) {
        frame[vIndex] = static_cast<std::uint8_t>(v & 0xff);
        if (leans != nullptr) leans[vIndex] = vLean;
      }
    }
  }
}

}  // namespace

void buildColourMap(const std::uint32_t* palette, bool fineGrid, std::uint8_t* colourMap) {
  const int cells = gridCellCount(fineGrid);
  for (int cell = 0; cell < cells; ++cell) {
    const std::uint32_t centre = cellCentre(cell, fineGrid);
    int best = kFirstColour;
    int bestDistance = colourDistance(centre, palette[kFirstColour]);
    for (int entry = kFirstColour + 1; entry <= kLastColour && bestDistance > 0; ++entry) {
      const int distance = colourDistance(centre, palette[entry]);
      if (distance < bestDistance) {  // strictly: ties keep the lower entry
        best = entry;
        bestDistance = distance;
      }
    }
    colourMap[cell] = static_cast<std::uint8_t>(best);
  }
}

void grayPalette(std::uint32_t* palette, bool fineGrid) {
  clearColours(palette);
  const int levels = fineGrid ? 32 : 16;
  for (int i = 0; i < levels; ++i) {
    const auto gray = static_cast<std::uint32_t>(fineGrid ? i * 8 + i / 4 : i * 17);
    palette[kFirstColour + i] = gray << 16 | gray << 8 | gray;
  }
}

void makeGray(FrameImage& image) {
  if (image.pixels == nullptr || image.width() <= 0 || image.height() <= 0) return;
  const std::size_t count = std::size_t(image.width()) * std::size_t(image.height());
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t pixel = image.pixels[i];
    const std::uint32_t luma =
        (77 * ((pixel >> 16) & 0xff) + 150 * ((pixel >> 8) & 0xff) + 29 * (pixel & 0xff) + 128) >>
        8;
    image.pixels[i] = luma << 16 | luma << 8 | luma;
  }
}

void truecolorPalette(std::uint32_t* palette, int depthCode) {
  clearColours(palette);
  if (depthCode == kTruecolorDepth) {
    // Table A: luma as green, U as red, V (multiples of 15) as blue.
    for (int j = 16; j <= 194; ++j) {
      if (j % 15 != 0) setGreen(palette[j], (j - 16) * 255 / 178);
    }
    for (int j = 0; j <= 14; ++j) setRed(palette[j], j * 16);
    for (int j = 0; j <= 210; j += 15) setBlue(palette[j], j * 255 / 210);
  } else if (depthCode == kTruecolorPlusDepth) {
    // Table B: luma as green, U (1 to 15) as red, V (16 + multiples of 15) as blue.
    for (int j = 17; j <= 144; ++j) {
      if ((j - 1) % 15 != 0) setGreen(palette[j], (j - 17) * 255 / 127);
    }
    for (int j = 1; j <= 15; ++j) setRed(palette[j], j * 240 / 15);
    for (int j = 16; j <= 226; j += 15) setBlue(palette[j], j * 240 / 226);
    for (int j = 227; j <= 255; ++j) {
      setRed(palette[j], 10);
      setBlue(palette[j], 10);
    }
  }
}

std::uint8_t truecolorLuma(std::uint32_t pixel, int depthCode) {
  return static_cast<std::uint8_t>(
      lumaOf(pixel, depthCode == kTruecolorPlusDepth ? kLuma25 : kLuma24));
}

void convertFrame(const FrameImage& workImage, std::uint8_t* frame, int depthCode,
                  bool rotate, int frameWidth, int targetHeight,
                  const std::uint8_t* colourMap, bool fineGrid,
                  const ClosestSamples* closest, std::int32_t* leans) {
  if (workImage.pixels == nullptr || frame == nullptr || frameWidth <= 0 || targetHeight <= 0) {
    return;
  }
  if (depthCode >= kTruecolorDepth) {
    convertTruecolor(workImage, frame, depthCode, rotate, frameWidth, targetHeight,
                     closest, closest != nullptr ? leans : nullptr);
  } else if (colourMap != nullptr || closest != nullptr) {
    convertPaletted(workImage, frame, rotate, frameWidth, targetHeight, colourMap, fineGrid,
                    closest);
  }
}

}  // namespace vantrel
