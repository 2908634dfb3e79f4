#include "image/ColourHistogram.h"

#include <cstdint>

#include "image/ColourGrid.h"
#include "image/OctreePalette.h"

namespace vantrel {

void addFrameToHistogram(const FrameImage& work, bool fineGrid, std::uint32_t* histogram,
                         std::int16_t* pixelKeys, bool firstFrame) {
  if (work.pixels == nullptr || work.imageWidth <= 0 || work.imageHeight <= 0) return;
  const std::int64_t count = static_cast<std::int64_t>(work.imageWidth) * work.imageHeight;
  for (std::int64_t i = 0; i < count; ++i) {
    const int cell = cellIndex(work.pixels[i], fineGrid);
    ++histogram[cell];
    if (firstFrame) {
      pixelKeys[i] = static_cast<std::int16_t>(cell);
    } else if (pixelKeys[i] != cell) {
      pixelKeys[i] = -1;
    }
  }
}

void discountStaticPixels(std::uint32_t* histogram, const std::int16_t* pixelKeys,
                          int pixelCount, int frameCount) {
  if (frameCount <= 1) return;  // one frame: every pixel already counts once
  // Each static pixel was counted once per frame; the counters are modular, so
  // subtracting frameCount - 1 is the same as adding 1 - frameCount.
  const auto extra = static_cast<std::uint32_t>(frameCount - 1);
  for (int i = 0; i < pixelCount; ++i) {
    const int key = pixelKeys[i];
    if (key >= 0) histogram[key] -= extra;
  }
}

void feedPalette(const std::uint32_t* histogram, bool fineGrid, OctreePalette& quantiser) {
  const int cells = gridCellCount(fineGrid);
  for (int cell = 0; cell < cells; ++cell) {
    if (histogram[cell] == 0) continue;
    int red;
    int green;
    int blue;
    if (fineGrid) {
      const auto expand = [](int c5) { return (c5 << 3) | (c5 >> 2); };
      red = expand((cell >> 10) & 0x1f);
      green = expand((cell >> 5) & 0x1f);
      blue = expand(cell & 0x1f);
    } else {
      red = ((cell >> 8) & 0xf) * 16 + 8;
      green = ((cell >> 4) & 0xf) * 16 + 8;
      blue = (cell & 0xf) * 16 + 8;
    }
    quantiser.addColour(red, green, blue, histogram[cell]);
  }
}

}  // namespace vantrel
