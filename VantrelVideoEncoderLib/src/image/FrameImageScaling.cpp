// The two resamplers of FrameImage: nearest neighbour in 32.32 fixed point and the
// area-weighted scaler that the encode driver uses.
#include "image/FrameImage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vantrel {

namespace {

// Sources this large would overflow the 32.32 positions.
constexpr int kMaxScaleSource = 1 << 30;

struct ScaleWindow {
  int dstX;
  int dstY;
  int dstW;
  int dstH;
  double srcX;
  double srcY;
  double srcW;
  double srcH;
};

// The argument checks shared by both scalers, in their fixed order. A negative
// destination width or height turns into a mirrored source window.
bool acceptWindow(ScaleWindow& a, const FrameImage& target, const FrameImage& source) {
  if (target.pixels == nullptr || source.pixels == nullptr) return false;
  if (source.imageWidth <= 0 || source.imageHeight <= 0) return false;
  if (source.imageWidth >= kMaxScaleSource || source.imageHeight >= kMaxScaleSource) return false;
  if (!std::isfinite(a.srcX) || !std::isfinite(a.srcY) || !std::isfinite(a.srcW) ||
      !std::isfinite(a.srcH)) {
    return false;
  }
  if (a.dstW == 0 || a.dstH == 0) return false;
  if (a.dstW < 0) {
    a.dstX += a.dstW;
    a.dstW = -a.dstW;
    a.srcX += a.srcW;
    a.srcW = -a.srcW;
  }
  if (a.dstH < 0) {
    a.dstY += a.dstH;
    a.dstH = -a.dstH;
    a.srcY += a.srcH;
    a.srcH = -a.srcH;
  }
  if (a.dstX < 0 || a.dstY < 0 ||
      static_cast<std::int64_t>(a.dstX) + a.dstW > target.imageWidth ||
      static_cast<std::int64_t>(a.dstY) + a.dstH > target.imageHeight) {
    return false;
  }
  if (a.srcX < 0 || a.srcY < 0 || a.srcX + a.srcW < 0 || a.srcY + a.srcH < 0) return false;
  if (a.srcX > source.imageWidth || a.srcY > source.imageHeight ||
      a.srcX + a.srcW > source.imageWidth || a.srcY + a.srcH > source.imageHeight) {
    return false;
  }
  return true;
}

// a x 2^32 rounded half away from zero, then moved one unit against the direction
// of travel b, so that a window walked backwards starts inside its last pixel.
std::int64_t toFixed(double a, double b) {
  std::int64_t v = std::llround(a * 4294967296.0);
  if (v != 0) {
    if (b < 0) {
      v += 1;
    } else if (b > 0) {
      v -= 1;
    }
  }
  return v;
}

int clampIndex(std::int64_t value, int size) {
  return static_cast<int>(std::clamp<std::int64_t>(value, 0, size - 1));
}

// Footprint weight of source index i against the window-relative edges lo, hi.
long double footprintWeight(int i, float lo, float hi) {
  const auto index = static_cast<long double>(i);
  if (index < lo) return lo - index;
  if (index > hi) return index - hi;
  return 1.0L;
}

}  // namespace

bool FrameImage::scaleNearest(int dstX, int dstY, int dstW, int dstH, const FrameImage& source,
                              double srcX, double srcY, double srcW, double srcH) {
  ScaleWindow a{dstX, dstY, dstW, dstH, srcX, srcY, srcW, srcH};
  if (!acceptWindow(a, *this, source)) return false;
  const auto stepX = static_cast<std::int64_t>(a.srcW * 4294967296.0 / a.dstW);
  const auto stepY = static_cast<std::int64_t>(a.srcH * 4294967296.0 / a.dstH);
  const std::int64_t startX = toFixed(a.srcX, -a.srcW) + stepX / 2;
  const std::int64_t startY = toFixed(a.srcY, -a.srcH) + stepY / 2;
  for (int j = 0; j < a.dstH; ++j) {
    // The clamps only matter for windows that end exactly on the source's edge.
    const int row = clampIndex((startY + j * stepY) >> 32, source.imageHeight);
    const std::uint32_t* sourceRow =
        source.pixels + static_cast<std::int64_t>(row) * source.imageWidth;
    std::uint32_t* targetRow = pixels + static_cast<std::int64_t>(a.dstY + j) * imageWidth;
    std::int64_t posX = startX;
    for (int i = 0; i < a.dstW; ++i, posX += stepX) {
      targetRow[a.dstX + i] = sourceRow[clampIndex(posX >> 32, source.imageWidth)];
    }
  }
  return true;
}

bool FrameImage::scaleArea(int dstX, int dstY, int dstW, int dstH, const FrameImage& source,
                           double srcX, double srcY, double srcW, double srcH) {
  ScaleWindow a{dstX, dstY, dstW, dstH, srcX, srcY, srcW, srcH};
  if (!acceptWindow(a, *this, source)) return false;
  // A window walked backwards is resampled forwards and written mirrored, so that
  // a mirrored copy is exactly the mirror image of the plain copy.
  const bool mirrorX = a.srcW < 0;
  const bool mirrorY = a.srcH < 0;
  if (mirrorX) {
    a.srcX += a.srcW;
    a.srcW = -a.srcW;
  }
  if (mirrorY) {
    a.srcY += a.srcH;
    a.srcH = -a.srcH;
  }
  const float sw = static_cast<float>(a.srcW);
  const float dw = static_cast<float>(a.dstW);
  const int sourceWidth = source.imageWidth;
  const int sourceHeight = source.imageHeight;
  // The column footprints are the same on every row: worked out once, with
  // their weights exactly as the inner loop would compute them.
  struct Columns {
    int begin;
    int end;
    int fallback;            // the column taken when a footprint weighs nothing
    std::size_t firstWeight;  // where column begin's weight is in columnWeights
  };
  std::vector<Columns> columns(static_cast<std::size_t>(a.dstW));
  std::vector<long double> columnWeights;
  for (int x = 0; x < a.dstW; ++x) {
    const auto x0 = static_cast<float>(static_cast<double>(x) * sw / dw);
    const auto x1 = static_cast<float>(static_cast<double>(x + 1) * sw / dw);
    Columns& c = columns[static_cast<std::size_t>(x)];
    c.begin = static_cast<int>(std::max(0.0, std::floor(x0 + a.srcX)));
    c.end = static_cast<int>(std::min<double>(sourceWidth, std::ceil(x1 + a.srcX)));
    c.fallback =
        clampIndex(static_cast<std::int64_t>(std::floor(x0 + a.srcX)), sourceWidth);
    c.firstWeight = columnWeights.size();
    for (int l = c.begin; l < c.end; ++l) columnWeights.push_back(footprintWeight(l, x0, x1));
  }
  for (int y = 0; y < a.dstH; ++y) {
    const auto y0 = static_cast<float>(static_cast<double>(y) * a.srcH / a.dstH);
    const auto y1 = static_cast<float>(static_cast<double>(y + 1) * a.srcH / a.dstH);
    // Rounding y1 to single precision can reach past the last row; such rows
    // do not exist and are left out.
    const int rowBegin = static_cast<int>(std::max(0.0, std::floor(y0 + a.srcY)));
    const int rowEnd = static_cast<int>(std::min<double>(sourceHeight, std::ceil(y1 + a.srcY)));
    const int fallbackRow =
        clampIndex(static_cast<std::int64_t>(std::floor(y0 + a.srcY)), sourceHeight);
    const int targetY = a.dstY + (mirrorY ? a.dstH - 1 - y : y);
    std::uint32_t* targetRow = pixels + static_cast<std::int64_t>(targetY) * imageWidth;
    for (int x = 0; x < a.dstW; ++x) {
      const Columns& c = columns[static_cast<std::size_t>(x)];
      const long double* weightX = columnWeights.data() + c.firstWeight;
      long double weightSum = 0.0L;
      long double redSum = 0.0L;
      long double greenSum = 0.0L;
      long double blueSum = 0.0L;
      for (int k = rowBegin; k < rowEnd; ++k) {
        const long double weightY = footprintWeight(k, y0, y1);
        const std::uint32_t* sourceRow =
            source.pixels + static_cast<std::int64_t>(k) * sourceWidth;
        for (int l = c.begin; l < c.end; ++l) {
          const long double weight = weightX[l - c.begin] * weightY;
          const std::uint32_t pixel = sourceRow[l];
          weightSum += weight;
          redSum += weight * ((pixel >> 16) & 0xff);
          greenSum += weight * ((pixel >> 8) & 0xff);
          blueSum += weight * (pixel & 0xff);
        }
      }
      std::uint32_t result;
      if (weightSum == 0.0L) {
        result = source.pixels[static_cast<std::int64_t>(fallbackRow) * sourceWidth +
                               c.fallback];
      } else {
        const auto inverse = static_cast<float>(1.0L / weightSum);
        const auto greenRounded = static_cast<float>(greenSum);
        const auto blueRounded = static_cast<float>(blueSum);
        const auto red = static_cast<std::int64_t>(inverse * redSum) & 0xff;
        const auto green =
            static_cast<std::int64_t>(static_cast<long double>(inverse) * greenRounded) & 0xff;
        const auto blue =
            static_cast<std::int64_t>(static_cast<long double>(inverse) * blueRounded) & 0xff;
        result = static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
      }
      targetRow[a.dstX + (mirrorX ? a.dstW - 1 - x : x)] = result;
    }
  }
  return true;
}

}  // namespace vantrel
