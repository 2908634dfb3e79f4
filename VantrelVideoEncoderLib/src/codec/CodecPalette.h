#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vantrel {

// The colour side of the codec: the movie's palette with its channels split
// out, the inverse colour map of the colour grid in use and the table of colour
// distances between every two palette entries. Every error the codec measures
// is a sum of paletteDistance lookups. For the truecolor codes the "palette" is
// the fixed sample table, and samples are treated exactly like indices.
class CodecPalette {
 public:
  // Copies the 256 palette words (top byte cleared), builds the colour map for
  // the fine (5 bits per channel) or coarse (4 bits) grid and the distance table.
  void build(const std::uint32_t* palette, bool fineGrid);

  bool fineGrid() const { return fine; }
  const std::uint32_t* words() const { return paletteWords.data(); }
  int red(int index) const { return reds[index]; }
  int green(int index) const { return greens[index]; }
  int blue(int index) const { return blues[index]; }

  // Colour distance between entries a and b (symmetric, 0 on the diagonal).
  int distance(int a, int b) const { return distances[a * 256 + b]; }
  // The 256 distances from entry a, for summing over a block.
  const std::int32_t* distanceRow(int a) const { return &distances[a * 256]; }

  // The colour map (32768 or 4096 bytes, palette indices 1 to 254).
  const std::uint8_t* colourMap() const { return map.data(); }

  // The palette index for a colour given as grid cell coordinates per channel
  // (0 to 31 on the fine grid, 0 to 15 on the coarse grid).
  int nearestInCell(int redCell, int greenCell, int blueCell) const {
    const int shift = fine ? 5 : 4;
    return map[(redCell << (2 * shift)) | (greenCell << shift) | blueCell];
  }
  // The grid cell coordinate of an 8-bit channel value.
  int cellOf(int channel) const { return channel >> (fine ? 3 : 4); }

 private:
  bool fine = true;
  std::array<std::uint32_t, 256> paletteWords{};
  std::array<std::uint8_t, 256> reds{};
  std::array<std::uint8_t, 256> greens{};
  std::array<std::uint8_t, 256> blues{};
  std::vector<std::int32_t> distances;
  std::vector<std::uint8_t> map;
};

}  // namespace vantrel
