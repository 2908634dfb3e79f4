#pragma once

#include <cstdint>
#include <vector>

#include "image/FrameImage.h"

namespace vantrel {

// Hands a decoded bottom-up bitmap (24 or 32 bits per pixel, rows padded to 4
// bytes) to a FrameImage with the flip flag: a new image when *image is null
// (the caller owns it), otherwise *image is reloaded. Returns 0; 2 when storage
// cannot be obtained; 9 when the image refuses the bitmap. Never throws.
int deliverFrame(int width, int height, int bitsPerPixel,
                 const std::vector<std::uint8_t>& bits, bool flip, FrameImage** image);

}  // namespace vantrel
