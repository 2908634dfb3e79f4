#pragma once

#include "image/Placement.h"

namespace vantrel {

// Geometry of the frame pipeline: where the scaled source lies on the working
// image, in-place flips of raw pixel buffers, and which flips the output pass needs.

// A handheld screen size in pixels.
struct ScreenSize {
  int width;
  int height;
};

// The four handheld screens, indexed by the resolution code 0 to 3.
constexpr ScreenSize kTargetScreens[] = {{160, 160}, {320, 240}, {320, 320}, {216, 384}};
static_assert(sizeof(kTargetScreens) / sizeof(kTargetScreens[0]) == 4);

// Places a sourceWidth x sourceHeight picture on a workWidth x workHeight working
// image. cropFraction 1.0 shows the whole picture with black borders (rounded to
// multiples of 8 pixels); 0.0 fills the working image and crops the picture; values
// between mix the two scales. The source window is measured in source pixels and its
// width and height are whole multiples of 4; destTop counts from the top. Sizes must
// be positive; otherwise an all-zero placement is returned.
Placement computePlacement(int sourceWidth, int sourceHeight, double cropFraction,
                           int workWidth, int workHeight);

// Turns a raw pixel buffer upside down in place: rows i and height - 1 - i exchange
// their width x bytes-per-pixel leading bytes. bitsPerPixel 8, 15, 16, 24 or 32;
// any other value (or a non-positive size) leaves the buffer unchanged.
void flipRows(void* buffer, int width, int height, int stride, int bitsPerPixel);

// Mirrors every row of a raw pixel buffer in place (pixel i exchanges with pixel
// width - 1 - i). Same parameters and limits as flipRows.
void mirrorRows(void* buffer, int width, int height, int stride, int bitsPerPixel);

// Whether the output pass turns the working image upside down before converting it:
// the user's vertical flip, toggled when a truecolor code (24 or more) is rotated.
constexpr bool outputNeedsRowFlip(int depthCode, bool flipVertical, bool rotate) {
  return flipVertical != (depthCode >= 24 && rotate);
}

// Whether the output pass mirrors the working image before converting it: the user's
// horizontal flip, toggled when an 8-bit code (below 24) is rotated.
constexpr bool outputNeedsMirror(int depthCode, bool flipHorizontal, bool rotate) {
  return (flipHorizontal != rotate) != (depthCode >= 24 && rotate);
}

}  // namespace vantrel
