#pragma once

#include <cstdint>

namespace vantrel {

// How a stored picture is turned for display: a quarter-turn rotation and/or a
// mirror. A stored pixel at (x, y), counted from the top-left corner, shows at
// (xx x + xy y, yx x + yy y), moved back into the picture; every coefficient is
// -1, 0 or 1. The default shows the picture as stored.
struct PictureOrientation {
  int xx = 1;
  int xy = 0;
  int yx = 0;
  int yy = 1;

  bool isIdentity() const { return xx == 1 && xy == 0 && yx == 0 && yy == 1; }
  // True for a quarter turn: the displayed picture is as wide as the stored one is tall.
  bool swapsSides() const { return xx == 0; }
};

// The orientation of a display matrix as containers store it (ISO BMFF "tkhd"
// layout: nine 32-bit values, a b u / c d v / x y w, with a b c d in 16.16 fixed
// point; a point (p, q) displays at (a p + c q + x, b p + d q + y)). Rotations by
// 90, 180 and 270 degrees, with or without a mirror, give their orientation; a
// null matrix, or one that turns by another angle, gives the identity.
PictureOrientation orientationFromDisplayMatrix(const std::int32_t* matrix);

// Writes the stored bottom-up bitmap src (width x height pixels, srcStride bytes
// a row, bytesPerPixel 3 or 4) into dst as displayed: a bottom-up bitmap of the
// displayed size with dstStride bytes a row. Padding bytes of dst are left as
// they are.
void orientBitmap(const std::uint8_t* src, int width, int height, int srcStride,
                  int bytesPerPixel, const PictureOrientation& orientation, std::uint8_t* dst,
                  int dstStride);

}  // namespace vantrel
