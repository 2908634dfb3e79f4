#pragma once

#include <cstdint>

#include "image/FrameImage.h"

namespace vantrel {
class ClosestSamples;
}

namespace vantrel {

// Reduction of the 32-bit working image to the handheld pixel formats.
//
// Colour-depth codes: 12 standard 8-bit (coarse grid), 16 enhanced 8-bit (fine
// grid), 24 truecolor and 25 truecolor plus (fine grid). A palette is 256 words
// 0x00RRGGBB; entry 0 is white (set by the encode driver), entries 1 to 254 carry
// the colours, entry 255 is never sent.

constexpr int kStandardDepth = 12;
constexpr int kEnhancedDepth = 16;
constexpr int kTruecolorDepth = 24;
constexpr int kTruecolorPlusDepth = 25;
constexpr int kPaletteEntries = 256;

// Fills colourMap (gridCellCount(fineGrid) bytes: 32768 fine, 4096 coarse) with, for
// every grid cell, the palette entry 1 to 254 nearest to the cell's centre by
// colourDistance; ties go to the lower entry. Never yields 0 or 255.
void buildColourMap(const std::uint32_t* palette, bool fineGrid, std::uint8_t* colourMap);

// Gray ramp palettes: entries 1 to 254 are cleared, then the coarse grid gets 16
// levels i x 17 (entries 1 to 16), the fine grid 32 levels i x 8 + i / 4 (entries 1
// to 32). Entries 0 and 255 are left as they were.
void grayPalette(std::uint32_t* palette, bool fineGrid);

// Turns every pixel of the image gray: each channel becomes the pixel's luma
// (77 R + 150 G + 29 B + 128) >> 8. Grayscale movies in the truecolor layouts
// carry such pictures, so their frames show no colour.
void makeGray(FrameImage& image);

// The fixed truecolor tables: code 24 (table A) or code 25 (table B). Entries 1 to
// 254 are cleared first; the tables then set single channel bytes of the entries
// (table B also of entries 0 and 255; table A also of entry 0). Other codes leave
// the palette with entries 1 to 254 cleared.
void truecolorPalette(std::uint32_t* palette, int depthCode);

// Stored height of a handheld frame: targetHeight for the 8-bit codes, targetHeight
// x 3 / 2 (luma rows, then colour-difference rows) for the truecolor codes.
constexpr int storedFrameHeight(int depthCode, int targetHeight) {
  return depthCode >= kTruecolorDepth ? targetHeight + targetHeight / 2 : targetHeight;
}

// Luma sample of one pixel in code 24 (16 to 113, never a multiple of 15) or code
// 25 (17 to 144, never 16 plus a multiple of 15).
std::uint8_t truecolorLuma(std::uint32_t pixel, int depthCode);

// Writes the handheld frame, top row first, frameWidth bytes per row,
// storedFrameHeight(depthCode, targetHeight) rows, from the (already flipped)
// working image. The working image is targetWidth x targetHeight, or targetHeight
// x targetWidth when rotate is on; rotation turns the picture a quarter turn
// clockwise together with the flips of outputNeedsRowFlip / outputNeedsMirror.
// Codes below 24: one palette index per pixel through colourMap on the grid given
// by fineGrid. Codes 24 and 25: luma per pixel, then U and V per 2 x 2 group
// (colourMap and fineGrid are not used). A working image whose size does not fit
// the frame writes nothing outside the frame: only the pixels that fit are written.
// With closest (the best encode), the samples are those it chooses instead,
// and for codes 24 and 25 leans (null: not wanted), frameWidth per row like the
// frame, gets each sample's lean toward the picture (ClosestSamples::groupLeans).
void convertFrame(const FrameImage& workImage, std::uint8_t* frame, int depthCode,
                  bool rotate, int frameWidth, int targetHeight,
                  const std::uint8_t* colourMap, bool fineGrid,
                  const ClosestSamples* closest = nullptr, std::int32_t* leans = nullptr);

}  // namespace vantrel
