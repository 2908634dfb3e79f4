#include "codec/CodecPalette.h"

#include "image/ColourGrid.h"
#include "image/ColourReduction.h"

namespace vantrel {

void CodecPalette::build(const std::uint32_t* palette, bool fineGrid) {
  fine = fineGrid;
  for (int i = 0; i < 256; ++i) {
    const std::uint32_t word = palette[i] & 0x00FFFFFFu;
    paletteWords[i] = word;
    reds[i] = static_cast<std::uint8_t>(word >> 16);
    greens[i] = static_cast<std::uint8_t>(word >> 8);
    blues[i] = static_cast<std::uint8_t>(word);
  }
  map.assign(static_cast<std::size_t>(gridCellCount(fineGrid)), 0);
  buildColourMap(paletteWords.data(), fineGrid, map.data());

  // Every entry, 0 and 255 included, can occur as a truecolor sample, so the
  // table covers all 256 x 256 pairs.
  distances.assign(256 * 256, 0);
  for (int i = 0; i < 256; ++i) {
    for (int j = i + 1; j < 256; ++j) {
      const int d = colourDistance(paletteWords[i], paletteWords[j]);
      distances[i * 256 + j] = d;
      distances[j * 256 + i] = d;
    }
  }
}

}  // namespace vantrel
