#pragma once

#include <cstdint>

#include "image/FrameImage.h"

namespace vantrel {

class OctreePalette;

// The colour statistics of the analysis pass: a count per grid cell over every
// pixel of every analysed working image, with pixels that never change over the
// whole movie counted once.
//
// histogram has gridCellCount(fineGrid) counters, zeroed by the caller before the
// first frame. pixelKeys has one entry per working pixel (row y from the bottom,
// column x at y x width + x): the pixel's cell in the first frame, or -1 once the
// pixel's cell has changed.

// Counts every pixel of work (borders included) in histogram. With firstFrame the
// keys take every pixel's cell; otherwise a pixel whose cell differs from its key
// gets the key -1. An image without pixels counts nothing.
void addFrameToHistogram(const FrameImage& work, bool fineGrid, std::uint32_t* histogram,
                         std::int16_t* pixelKeys, bool firstFrame);

// After the pass over frameCount frames: every pixel whose key is not -1 takes
// frameCount - 1 counts back from its cell, so that it counts once.
void discountStaticPixels(std::uint32_t* histogram, const std::int16_t* pixelKeys,
                          int pixelCount, int frameCount);

// One quantiser addColour per non-empty cell, in ascending cell order, with the
// cell's colour: fine channels c5 become (c5 << 3) | (c5 >> 2), coarse channels c4
// become c4 x 16 + 8.
void feedPalette(const std::uint32_t* histogram, bool fineGrid, OctreePalette& quantiser);

}  // namespace vantrel
