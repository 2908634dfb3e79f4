#include "image/FrameGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vantrel {

namespace {

int bytesPerPixel(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 8:
      return 1;
    case 15:
    case 16:
      return 2;
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 0;
  }
}

// Start of a centred span of scaled length on an axis of size, rounded to a
// multiple of 8 when it leaves borders.
int centredStart(int size, double scaled) {
  int start = static_cast<int>(std::floor((size - scaled) / 2));
  if (scaled < size) start = (start + 4) & ~7;
  return start;
}

// One axis of the placement: clamps [start, end) to [0, size) and returns the
// fractions of the scaled picture that remain, measured before the clamp.
void clipAxis(int& start, int& end, int size, double& keepFrom, double& keepTo) {
  keepFrom = 0.0;
  keepTo = 1.0;
  const double span = static_cast<double>(end) - start;
  if (start < 0) keepFrom = -start / span;
  if (end > size) keepTo = 1.0 - (end - size) / span;
  start = std::max(start, 0);
  end = std::min(end, size);
}

}  // namespace

Placement computePlacement(int sourceWidth, int sourceHeight, double cropFraction,
                           int workWidth, int workHeight) {
  Placement placement;
  if (sourceWidth <= 0 || sourceHeight <= 0 || workWidth <= 0 || workHeight <= 0) {
    return placement;
  }
  const double scaleX = static_cast<double>(workWidth) / sourceWidth;
  const double scaleY = static_cast<double>(workHeight) / sourceHeight;
  const double fit = std::min(scaleX, scaleY);
  const double fill = std::max(scaleX, scaleY);
  double scale = fill + cropFraction * (fit - fill);
  // A crop fraction far below zero (or not a number) would give a picture of no
  // size or negative size; such a request shows the whole picture instead.
  if (!(scale > 0.0)) scale = fit;
  const double scaledWidth = sourceWidth * scale;
  const double scaledHeight = sourceHeight * scale;
  int left = centredStart(workWidth, scaledWidth);
  int top = centredStart(workHeight, scaledHeight);
  int right = static_cast<int>(left + scaledWidth);
  int bottom = static_cast<int>(top + scaledHeight);
  double fx0;
  double fx1;
  double fy0;
  double fy1;
  clipAxis(left, right, workWidth, fx0, fx1);
  clipAxis(top, bottom, workHeight, fy0, fy1);
  placement.srcX = sourceWidth * fx0;
  placement.srcY = sourceHeight * fy0;
  placement.srcWidth = static_cast<int>(sourceWidth * fx1 - placement.srcX) & ~3;
  placement.srcHeight = static_cast<int>(sourceHeight * fy1 - placement.srcY) & ~3;
  placement.destLeft = left;
  placement.destTop = top;
  placement.destWidth = right - left;
  placement.destHeight = bottom - top;
  return placement;
}

void flipRows(void* buffer, int width, int height, int stride, int bitsPerPixel) {
  const int pixelBytes = bytesPerPixel(bitsPerPixel);
  if (buffer == nullptr || pixelBytes == 0 || width <= 0 || height <= 1) return;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * pixelBytes;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  for (int i = 0; i < height / 2; ++i) {
    std::uint8_t* lower = bytes + static_cast<std::ptrdiff_t>(i) * stride;
    std::uint8_t* upper = bytes + static_cast<std::ptrdiff_t>(height - 1 - i) * stride;
    std::swap_ranges(lower, lower + rowBytes, upper);
  }
}

void mirrorRows(void* buffer, int width, int height, int stride, int bitsPerPixel) {
  const int pixelBytes = bytesPerPixel(bitsPerPixel);
  if (buffer == nullptr || pixelBytes == 0 || width <= 1 || height <= 0) return;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  for (int row = 0; row < height; ++row) {
    std::uint8_t* line = bytes + static_cast<std::ptrdiff_t>(row) * stride;
    for (int i = 0; i < width / 2; ++i) {
      std::swap_ranges(line + i * pixelBytes, line + (i + 1) * pixelBytes,
                       line + (width - 1 - i) * pixelBytes);
    }
  }
}

}  // namespace vantrel
