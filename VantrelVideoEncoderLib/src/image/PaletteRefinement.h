#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "image/FrameImage.h"

namespace vantrel {

// The best encode's palette: the colour analysis's palette moved, a few rounds
// at a time, to the means of the pixels nearest to each entry (k-means), so
// that the movie's pixels lie closer to their entries by the squared RGB
// difference. The pixels are counted per fine grid cell with their sums, so
// each cell takes part at the exact mean of its pixels.
class PaletteRefinement {
 public:
  PaletteRefinement();

  // Counts every pixel of a working picture.
  void addPicture(const FrameImage& picture);

  // Moves entries 1 to 254 of palette; entries no pixel is nearest to stay.
  // Every round lowers (or keeps) the summed squared difference of the cells'
  // means from their nearest entries.
  void refine(std::uint32_t* palette, int rounds) const;

 private:
  struct CellSum {
    std::uint64_t count = 0;
    std::uint64_t red = 0;
    std::uint64_t green = 0;
    std::uint64_t blue = 0;
  };
  std::vector<CellSum> cells;
};

}  // namespace vantrel
