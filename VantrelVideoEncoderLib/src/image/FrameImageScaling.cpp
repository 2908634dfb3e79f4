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

// The footprints of one axis of an area scale: for each target column (or
// row), the source indices it reads and their weights.
struct Footprints {
  struct Span {
    int begin;
    int end;
    int fallback;             // the index taken when a footprint weighs nothing
    std::size_t firstWeight;  // where index begin's weight is in weights
  };
  std::vector<Span> spans;
  std::vector<long double> weights;
  // The weights as whole numbers, weight x 2^shift, when such numbers exist.
  std::vector<std::int64_t> whole;
  int shift = 0;
};

// The footprints of count target cells over size source cells, the window
// starting at origin and spanning extent, with the weights exactly as the
// area scaler has always computed them.
Footprints footprints(int count, double extent, double origin, int size) {
  Footprints f;
  f.spans.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const auto lo = static_cast<float>(static_cast<double>(i) * extent / count);
    const auto hi = static_cast<float>(static_cast<double>(i + 1) * extent / count);
    Footprints::Span& span = f.spans[static_cast<std::size_t>(i)];
    // Rounding hi to single precision can reach past the last cell; such cells
    // do not exist and are left out.
    span.begin = static_cast<int>(std::max(0.0, std::floor(lo + origin)));
    span.end = static_cast<int>(std::min<double>(size, std::ceil(hi + origin)));
    span.fallback = clampIndex(static_cast<std::int64_t>(std::floor(lo + origin)), size);
    span.firstWeight = f.weights.size();
    for (int k = span.begin; k < span.end; ++k)
      f.weights.push_back(footprintWeight(k, lo, hi));
  }
  return f;
}

// Whole-number weights, weight x 2^shift from 0 to 2^31 - 1, for the smallest
// shift up to 40 that makes every weight whole; false when there is none.
// Scaling by a power of two is exact, so the test for a fraction is too.
bool makeWholeWeights(Footprints& f) {
  constexpr int kMaxShift = 40;
  constexpr long double kLimit = 2147483648.0L;
  f.shift = 0;
  long double scale = 1.0L;  // 2^shift
  for (const long double weight : f.weights) {
    if (!(weight >= 0.0L)) return false;
    for (;;) {
      const long double scaled = weight * scale;
      if (!(scaled < kLimit)) return false;
      if (scaled == static_cast<long double>(static_cast<std::int64_t>(scaled))) break;
      if (++f.shift > kMaxShift) return false;
      scale *= 2.0L;
    }
  }
  f.whole.clear();
  for (const long double weight : f.weights) {
    const long double scaled = weight * scale;
    if (!(scaled < kLimit)) return false;
    f.whole.push_back(static_cast<std::int64_t>(scaled));
  }
  return true;
}

// The largest sum of whole weights over one footprint.
std::int64_t largestWholeSum(const Footprints& f) {
  std::int64_t largest = 0;
  for (const Footprints::Span& span : f.spans) {
    std::int64_t sum = 0;
    for (int k = span.begin; k < span.end; ++k)
      sum += f.whole[span.firstWeight + (k - span.begin)];
    largest = std::max(largest, sum);
  }
  return largest;
}

// The weighted average of a footprint as the area scaler has always rounded it.
std::uint32_t averagePixel(long double weightSum, long double redSum,
                           long double greenSum, long double blueSum) {
  const auto inverse = static_cast<float>(1.0L / weightSum);
  const auto greenRounded = static_cast<float>(greenSum);
  const auto blueRounded = static_cast<float>(blueSum);
  const auto red = static_cast<std::int64_t>(inverse * redSum) & 0xff;
  const auto green =
      static_cast<std::int64_t>(static_cast<long double>(inverse) * greenRounded) & 0xff;
  const auto blue =
      static_cast<std::int64_t>(static_cast<long double>(inverse) * blueRounded) & 0xff;
  return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
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
    std::uint32_t* targetRow =
        pixels + static_cast<std::int64_t>(a.dstY + j) * imageWidth;
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
  const int sourceWidth = source.imageWidth;
  // Columns step by the single-precision window width, rows by the double one.
  Footprints columns =
      footprints(a.dstW, static_cast<float>(a.srcW), a.srcX, sourceWidth);
  Footprints rows = footprints(a.dstH, a.srcH, a.srcY, source.imageHeight);
  auto targetRow = [&](int y) {
    const int targetY = a.dstY + (mirrorY ? a.dstH - 1 - y : y);
    return pixels + static_cast<std::int64_t>(targetY) * imageWidth;
  };
  auto targetColumn = [&](int x) { return a.dstX + (mirrorX ? a.dstW - 1 - x : x); };
  auto fallbackPixel = [&](const Footprints::Span& row, const Footprints::Span& column) {
    return source
        .pixels[static_cast<std::int64_t>(row.fallback) * sourceWidth + column.fallback];
  };

  // The weights are differences of single-precision edges, so they are
  // usually whole multiples of a small power of two. When they are, and no
  // footprint's weighted sum can reach 2^62, every product and partial sum of
  // the long-double loop below is exact: its sums are whole numbers of
  // 2^-shift in any order, and integers give the same pixels much faster.
  bool exact = makeWholeWeights(columns) && makeWholeWeights(rows);
  if (exact) {
    const std::int64_t columnSum = largestWholeSum(columns);
    const std::int64_t rowSum = largestWholeSum(rows);
    exact = columnSum == 0 || rowSum <= (std::int64_t{1} << 62) / 255 / columnSum;
  }
  if (exact) {
    // 2^-shift: the whole sums times it are the long-double sums, exactly.
    long double unit = 1.0L;
    for (int i = 0; i < columns.shift + rows.shift; ++i) unit /= 2.0L;
    std::vector<std::int64_t> sums(static_cast<std::size_t>(a.dstW) * 4);
    for (int y = 0; y < a.dstH; ++y) {
      const Footprints::Span& row = rows.spans[static_cast<std::size_t>(y)];
      std::fill(sums.begin(), sums.end(), 0);
      for (int k = row.begin; k < row.end; ++k) {
        const std::int64_t weightY = rows.whole[row.firstWeight + (k - row.begin)];
        const std::uint32_t* sourceRow =
            source.pixels + static_cast<std::int64_t>(k) * sourceWidth;
        std::int64_t* sum = sums.data();
        for (const Footprints::Span& column : columns.spans) {
          const std::int64_t* weightX = columns.whole.data() + column.firstWeight;
          std::int64_t weight = 0;
          std::int64_t red = 0;
          std::int64_t green = 0;
          std::int64_t blue = 0;
          for (int l = column.begin; l < column.end; ++l) {
            const std::int64_t w = weightX[l - column.begin];
            const std::uint32_t pixel = sourceRow[l];
            weight += w;
            red += w * ((pixel >> 16) & 0xff);
            green += w * ((pixel >> 8) & 0xff);
            blue += w * (pixel & 0xff);
          }
          sum[0] += weightY * weight;
          sum[1] += weightY * red;
          sum[2] += weightY * green;
          sum[3] += weightY * blue;
          sum += 4;
        }
      }
      std::uint32_t* target = targetRow(y);
      for (int x = 0; x < a.dstW; ++x) {
        const std::int64_t* sum = sums.data() + std::size_t(x) * 4;
        target[targetColumn(x)] =
            sum[0] == 0
                ? fallbackPixel(row, columns.spans[static_cast<std::size_t>(x)])
                : averagePixel(static_cast<long double>(sum[0]) * unit,
                               static_cast<long double>(sum[1]) * unit,
                               static_cast<long double>(sum[2]) * unit,
                               static_cast<long double>(sum[3]) * unit);
      }
    }
    return true;
  }

  for (int y = 0; y < a.dstH; ++y) {
    const Footprints::Span& row = rows.spans[static_cast<std::size_t>(y)];
    std::uint32_t* target = targetRow(y);
    for (int x = 0; x < a.dstW; ++x) {
      const Footprints::Span& column = columns.spans[static_cast<std::size_t>(x)];
      const long double* weightX = columns.weights.data() + column.firstWeight;
      long double weightSum = 0.0L;
      long double redSum = 0.0L;
      long double greenSum = 0.0L;
      long double blueSum = 0.0L;
      for (int k = row.begin; k < row.end; ++k) {
        const long double weightY = rows.weights[row.firstWeight + (k - row.begin)];
        const std::uint32_t* sourceRow =
            source.pixels + static_cast<std::int64_t>(k) * sourceWidth;
        for (int l = column.begin; l < column.end; ++l) {
          const long double weight = weightX[l - column.begin] * weightY;
          const std::uint32_t pixel = sourceRow[l];
          weightSum += weight;
          redSum += weight * ((pixel >> 16) & 0xff);
          greenSum += weight * ((pixel >> 8) & 0xff);
          blueSum += weight * (pixel & 0xff);
        }
      }
      target[targetColumn(x)] = weightSum == 0.0L
                                    ? fallbackPixel(row, column)
                                    : averagePixel(weightSum, redSum, greenSum, blueSum);
    }
  }
  return true;
}

}  // namespace vantrel
