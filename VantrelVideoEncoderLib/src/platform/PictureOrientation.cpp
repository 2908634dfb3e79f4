#include "platform/PictureOrientation.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace vantrel {

namespace {

// The sign of a 16.16 coefficient: values within half a unit of 0 count as 0.
int unitSign(std::int32_t value) {
  constexpr std::int32_t kHalf = 1 << 15;
  if (value > kHalf) return 1;
  if (value < -kHalf) return -1;
  return 0;
}

}  // namespace

PictureOrientation orientationFromDisplayMatrix(const std::int32_t* matrix) {
  if (matrix == nullptr) return {};
  const int a = unitSign(matrix[0]);
  const int b = unitSign(matrix[1]);
  const int c = unitSign(matrix[3]);
  const int d = unitSign(matrix[4]);
  const bool straight = a != 0 && d != 0 && b == 0 && c == 0;
  const bool quarterTurn = a == 0 && d == 0 && b != 0 && c != 0;
  if (!straight && !quarterTurn) return {};
  // x' = a x + c y, y' = b x + d y.
  return PictureOrientation{a, c, b, d};
}

void orientBitmap(const std::uint8_t* src, int width, int height, int srcStride,
                  int bytesPerPixel, const PictureOrientation& orientation, std::uint8_t* dst,
                  int dstStride) {
  const PictureOrientation& o = orientation;
  const int outHeight = o.swapsSides() ? width : height;
  // The displaced corner that lands furthest up and left moves to (0, 0).
  const int originX = -(std::min(o.xx * (width - 1), 0) + std::min(o.xy * (height - 1), 0));
  const int originY = -(std::min(o.yx * (width - 1), 0) + std::min(o.yy * (height - 1), 0));
  // One stored pixel to the right moves the displayed one by a fixed number of
  // bytes; bitmap rows run bottom-up, so a displayed row down is -dstStride.
  const std::ptrdiff_t stepRight =
      std::ptrdiff_t(o.xx) * bytesPerPixel - std::ptrdiff_t(o.yx) * dstStride;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = src + std::size_t(height - 1 - y) * srcStride;
    const int startX = o.xy * y + originX;
    const int startY = o.yy * y + originY;
    std::uint8_t* out = dst + std::ptrdiff_t(outHeight - 1 - startY) * dstStride +
                        std::ptrdiff_t(startX) * bytesPerPixel;
    for (int x = 0; x < width; ++x, in += bytesPerPixel, out += stepRight) {
      std::memcpy(out, in, std::size_t(bytesPerPixel));
    }
  }
}

}  // namespace vantrel
