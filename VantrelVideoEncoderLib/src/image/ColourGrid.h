#pragma once

#include <cstdint>

namespace vantrel {

// The colour grids that turn a 0x00RRGGBB pixel into a small cell index, and the
// colour distance that every nearest-colour decision of the encoder uses.
//
// Fine grid: 5 bits per channel, index red5 << 10 | green5 << 5 | blue5, 32768
// cells, cell (i, j, k) centred at 4 + 8i, 4 + 8j, 4 + 8k.
// Coarse grid: 4 bits per channel, index red4 << 8 | green4 << 4 | blue4, 4096
// cells, centred at 8 + 16i, 8 + 16j, 8 + 16k.
// The fine grid serves the enhanced 8-bit mode and both truecolor modes, the
// coarse grid the standard 8-bit mode.

constexpr int kFineGridCells = 32768;
constexpr int kCoarseGridCells = 4096;

// Number of cells of the grid in use.
constexpr int gridCellCount(bool fineGrid) {
  return fineGrid ? kFineGridCells : kCoarseGridCells;
}

// Cell index of a pixel on the fine grid (only the low 24 bits are read).
constexpr int fineCellIndex(std::uint32_t pixel) {
  return static_cast<int>(((pixel >> 19) & 0x1f) << 10 | ((pixel >> 11) & 0x1f) << 5 |
                          ((pixel >> 3) & 0x1f));
}

// Cell index of a pixel on the coarse grid (only the low 24 bits are read).
constexpr int coarseCellIndex(std::uint32_t pixel) {
  return static_cast<int>(((pixel >> 20) & 0xf) << 8 | ((pixel >> 12) & 0xf) << 4 |
                          ((pixel >> 4) & 0xf));
}

// Cell index on the grid in use.
constexpr int cellIndex(std::uint32_t pixel, bool fineGrid) {
  return fineGrid ? fineCellIndex(pixel) : coarseCellIndex(pixel);
}

// Cell index of separate 8-bit channel values on the grid in use.
constexpr int cellIndexOf(int red, int green, int blue, bool fineGrid) {
  return cellIndex(static_cast<std::uint32_t>((red & 0xff) << 16 | (green & 0xff) << 8 |
                                              (blue & 0xff)),
                   fineGrid);
}

// Centre colour of a cell as 0x00RRGGBB. cell must lie in 0 .. gridCellCount - 1.
constexpr std::uint32_t cellCentre(int cell, bool fineGrid) {
  if (fineGrid) {
    const std::uint32_t red = 4 + 8 * ((cell >> 10) & 0x1f);
    const std::uint32_t green = 4 + 8 * ((cell >> 5) & 0x1f);
    const std::uint32_t blue = 4 + 8 * (cell & 0x1f);
    return red << 16 | green << 8 | blue;
  }
  const std::uint32_t red = 8 + 16 * ((cell >> 8) & 0xf);
  const std::uint32_t green = 8 + 16 * ((cell >> 4) & 0xf);
  const std::uint32_t blue = 8 + 16 * (cell & 0xf);
  return red << 16 | green << 8 | blue;
}

// Weighted squared distance between two colours 0x00RRGGBB (low 24 bits read):
// (77 dR^2 + 150 dG^2 + 29 dB^2 + 128) >> 8. Symmetric, 0 for equal colours,
// at most 65025.
constexpr int colourDistance(std::uint32_t a, std::uint32_t b) {
  const int dRed = static_cast<int>((a >> 16) & 0xff) - static_cast<int>((b >> 16) & 0xff);
  const int dGreen = static_cast<int>((a >> 8) & 0xff) - static_cast<int>((b >> 8) & 0xff);
  const int dBlue = static_cast<int>(a & 0xff) - static_cast<int>(b & 0xff);
  return (77 * dRed * dRed + 150 * dGreen * dGreen + 29 * dBlue * dBlue + 128) >> 8;
}

// The squared RGB difference of two pixels, the channels weighed alike: the
// measure of picture quality (PSNR) that the best encode aims at.
constexpr int rgbSquaredDifference(std::uint32_t a, std::uint32_t b) {
  const int dRed = static_cast<int>((a >> 16) & 0xff) - static_cast<int>((b >> 16) & 0xff);
  const int dGreen = static_cast<int>((a >> 8) & 0xff) - static_cast<int>((b >> 8) & 0xff);
  const int dBlue = static_cast<int>(a & 0xff) - static_cast<int>(b & 0xff);
  return dRed * dRed + dGreen * dGreen + dBlue * dBlue;
}

}  // namespace vantrel
