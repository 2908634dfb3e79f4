// The two resamplers of FrameImage: nearest neighbour in 32.32 fixed point and the
// area-weighted scaler that the encode driver uses.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "image/FrameImage.h"
#include "numeric/ExtendedFloat.h"

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

// Footprint weight of source index i against the window-relative edges lo, hi,
// in extended precision (a tiny edge can leave more than 64 bits to round).
ExtendedFloat footprintWeight(int i, float lo, float hi) {
  const auto index = static_cast<double>(i);
  if (index < lo) {
    return add(ExtendedFloat::fromDouble(lo), ExtendedFloat::fromDouble(-index));
  }
  if (index > hi) {
    return add(ExtendedFloat::fromDouble(index),
               ExtendedFloat::fromDouble(-static_cast<double>(hi)));
  }
  return ExtendedFloat::fromDouble(1.0);
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
  std::vector<ExtendedFloat> weights;
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

// Whole-number weights, weight x 2^shift below 2^62, for the smallest shift up
// to 50 that makes every weight whole; false when there is none.
bool makeWholeWeights(Footprints& f) {
  constexpr int kMaxShift = 50;
  constexpr int kLimitBits = 62;
  f.shift = 0;
  for (const ExtendedFloat& weight : f.weights) {
    if (weight.negative && !weight.isZero()) return false;
    if (weight.isZero()) continue;
    // The shift that makes the weight's lowest set bit the units bit.
    const int needed = -(weight.exponent + std::countr_zero(weight.significand));
    if (needed > kMaxShift) return false;
    f.shift = std::max(f.shift, needed);
  }
  f.whole.clear();
  for (const ExtendedFloat& weight : f.weights) {
    const int bits = weight.isZero() ? 0 : 64 - std::countl_zero(weight.significand);
    if (weight.isZero()) {
      f.whole.push_back(0);
      continue;
    }
    if (bits + weight.exponent + f.shift > kLimitBits) return false;
    const int shift = weight.exponent + f.shift;
    f.whole.push_back(static_cast<std::int64_t>(
        shift >= 0 ? weight.significand << shift : weight.significand >> -shift));
  }
  return true;
}

// The weights as whole numbers below 2^64, weight x 2^shift, for the smallest
// shift that makes every weight whole; false when there is none.
bool makeWideWeights(const Footprints& f, std::vector<std::uint64_t>& whole, int& shift) {
  shift = 0;
  for (const ExtendedFloat& weight : f.weights) {
    if (weight.negative && !weight.isZero()) return false;
    if (!weight.isZero())
      shift = std::max(shift, -(weight.exponent + std::countr_zero(weight.significand)));
  }
  whole.clear();
  for (const ExtendedFloat& weight : f.weights) {
    if (weight.isZero()) {
      whole.push_back(0);
      continue;
    }
    const int bits = 64 - std::countl_zero(weight.significand);
    const int move = weight.exponent + shift;
    if (bits + move > 64) return false;
    whole.push_back(move >= 0 ? weight.significand << move : weight.significand >> -move);
  }
  return true;
}

// Each footprint's sum of wide weights, as a double (nearly exact: the bounds
// it is held against leave room).
std::vector<double> wideSums(const Footprints& f,
                             const std::vector<std::uint64_t>& whole) {
  std::vector<double> sums;
  for (const Footprints::Span& span : f.spans) {
    double sum = 0.0;
    for (int k = span.begin; k < span.end; ++k)
      sum += static_cast<double>(whole[span.firstWeight + (k - span.begin)]);
    sums.push_back(sum);
  }
  return sums;
}

// value rounded to 64 significant bits, to nearest, ties to even; value stays
// below 2^127 wherever this is used, so rounding up cannot overflow.
[[gnu::always_inline]] inline UInt128 roundTo64Bits(UInt128 value) {
  const auto high = static_cast<std::uint64_t>(value >> 64);
  if (high == 0) return value;
  const int excess = 64 - std::countl_zero(high);
  // The excess low bits, moved to the top of a word: 2^63 is exactly half.
  const std::uint64_t rest = static_cast<std::uint64_t>(value) << (64 - excess);
  if (rest == 0) return value;
  UInt128 kept = value >> excess;
  constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
  if (rest > kHalf || (rest == kHalf && (kept & 1) != 0)) ++kept;
  return kept << excess;
}

// The largest sum of whole weights over one footprint, as a double (which
// may round it: the callers' bounds leave room for that).
double largestWholeSum(const Footprints& f) {
  double largest = 0.0;
  for (const Footprints::Span& span : f.spans) {
    double sum = 0.0;
    for (int k = span.begin; k < span.end; ++k)
      sum += static_cast<double>(f.whole[span.firstWeight + (k - span.begin)]);
    largest = std::max(largest, sum);
  }
  return largest;
}

// The weighted average of a footprint as the area scaler has always rounded it:
// the inverse and the green and blue sums rounded to float, each channel the
// truncated extended-precision product.
std::uint32_t averagePixel(const ExtendedFloat& weightSum, const ExtendedFloat& redSum,
                           const ExtendedFloat& greenSum, const ExtendedFloat& blueSum) {
  const ExtendedFloat inverse =
      ExtendedFloat::fromDouble(roundToFloat(reciprocal(weightSum)));
  const auto channel = [&inverse](const ExtendedFloat& sum) {
    return truncateToInteger(multiply(inverse, sum)) & 0xff;
  };
  const auto rounded = [](const ExtendedFloat& sum) {
    return ExtendedFloat::fromDouble(roundToFloat(sum));
  };
  const std::int64_t red = channel(redSum);
  const std::int64_t green = channel(rounded(greenSum));
  const std::int64_t blue = channel(rounded(blueSum));
  return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
}

// A whole-number sum in units of 2^-shift.
ExtendedFloat wholeSum(std::int64_t sum, int shift) {
  return {false, static_cast<std::uint64_t>(sum), -shift};
}

// averagePixel for whole-number sums in units of 2^-shift (shift up to 100),
// with the same result, mostly in doubles: their roundings are exact or
// cannot change the outcome where they are taken.
std::uint32_t averageWholePixel(const std::int64_t* sum, int shift, float scale,
                                float unit) {
  // The inverse 2^shift / sum[0]: 1 / sum[0] rounded to double and then to
  // float gives the float of the extended quotient unless it lies within two
  // units of the double of a float's halfway point.
  float inverse = 0.0f;
  bool inverseFound = false;
  if (sum[0] < (std::int64_t{1} << 53)) {
    const double quotient = 1.0 / static_cast<double>(sum[0]);
    const auto tail = static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(quotient) &
                                                ((std::uint64_t{1} << 29) - 1));
    if (std::llabs(tail - (std::int64_t{1} << 28)) >= 2) {
      inverse = static_cast<float>(quotient) * scale;
      inverseFound = true;
    }
  }
  if (!inverseFound) inverse = roundToFloat(reciprocal(wholeSum(sum[0], shift)));
  // Red: the inverse times the exact sum, exact in a double below 2^29.
  std::int64_t red = 0;
  if (sum[1] < (std::int64_t{1} << 29)) {
    red = static_cast<std::int64_t>(static_cast<double>(inverse) *
                                    static_cast<double>(sum[1]) *
                                    static_cast<double>(unit));
  } else {
    red = truncateToInteger(
        multiply(ExtendedFloat::fromDouble(inverse), wholeSum(sum[1], shift)));
  }
  // Green and blue: the sums rounded to float; a product of two floats is exact.
  const auto channel = [inverse, unit](std::int64_t whole) {
    const float rounded = static_cast<float>(whole) * unit;
    return static_cast<std::int64_t>(static_cast<double>(inverse) * rounded) & 0xff;
  };
  return static_cast<std::uint32_t>((red & 0xff) << 16 | channel(sum[2]) << 8 |
                                    channel(sum[3]));
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
  AreaSums used = AreaSums::wholeNumbers;
  return scaleAreaWith(dstX, dstY, dstW, dstH, source, srcX, srcY, srcW, srcH, false,
                       used);
}

bool FrameImage::scaleAreaWith(int dstX, int dstY, int dstW, int dstH,
                               const FrameImage& source, double srcX, double srcY,
                               double srcW, double srcH, bool forceExtended,
                               AreaSums& used) {
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
  // the extended-precision loops below is exact (it has at most 64 significant
  // bits): the sums are whole numbers of 2^-shift in any order, and 64-bit
  // integers give the same pixels much faster.
  const bool exact = !forceExtended && makeWholeWeights(columns) &&
                     makeWholeWeights(rows) &&
                     largestWholeSum(columns) * largestWholeSum(rows) * 255.0 < 0x1p62;
  used = exact ? AreaSums::wholeNumbers : AreaSums::extended;
  if (exact) {
    const int shift = columns.shift + rows.shift;
    const float scale = std::ldexp(1.0f, shift);
    const float unit = std::ldexp(1.0f, -shift);
    std::vector<std::int64_t> sums(static_cast<std::size_t>(a.dstW) * 4);
    // When no footprint's column sums can reach 2^16, red and blue are summed
    // in the 16-bit fields of one word, where blue never carries into red:
    // the same whole numbers in fewer steps.
    const bool packChannels = largestWholeSum(columns) * 255.0 < 0x1p16;
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
          if (packChannels) {
            std::int64_t redBlue = 0;
            for (int l = column.begin; l < column.end; ++l) {
              const std::int64_t w = weightX[l - column.begin];
              const std::uint32_t pixel = sourceRow[l];
              weight += w;
              redBlue += w * (pixel & 0xff00ffu);
              green += w * (pixel & 0xff00u);
            }
            red = redBlue >> 16;
            blue = redBlue & 0xffff;
            green >>= 8;
          } else {
            for (int l = column.begin; l < column.end; ++l) {
              const std::int64_t w = weightX[l - column.begin];
              const std::uint32_t pixel = sourceRow[l];
              weight += w;
              red += w * ((pixel >> 16) & 0xff);
              green += w * ((pixel >> 8) & 0xff);
              blue += w * (pixel & 0xff);
            }
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
            sum[0] == 0 ? fallbackPixel(row, columns.spans[static_cast<std::size_t>(x)])
                        : averageWholePixel(sum, shift, scale, unit);
      }
    }
    return true;
  }

  // Extended sums. All values are positive; with the weights whole numbers
  // below 2^64 (of 2^-shift) and every footprint's weighted sums below 2^125
  // units, 128-bit integers hold each exact product and sum, rounded to 64
  // significant bits as it is formed: the same values, far faster than general
  // extended arithmetic, which serves the remaining windows.
  std::vector<std::uint64_t> wideX;
  std::vector<std::uint64_t> wideY;
  int shiftX = 0;
  int shiftY = 0;
  std::vector<double> columnSums;
  std::vector<double> rowSums;
  if (makeWideWeights(columns, wideX, shiftX) && makeWideWeights(rows, wideY, shiftY)) {
    columnSums = wideSums(columns, wideX);
    rowSums = wideSums(rows, wideY);
  }
  if (!columnSums.empty() && !rowSums.empty() &&
      *std::max_element(columnSums.begin(), columnSums.end()) *
              *std::max_element(rowSums.begin(), rowSums.end()) * 256.0 <
          0x1p125) {
    for (int y = 0; y < a.dstH; ++y) {
      const Footprints::Span& row = rows.spans[static_cast<std::size_t>(y)];
      std::uint32_t* target = targetRow(y);
      for (int x = 0; x < a.dstW; ++x) {
        const Footprints::Span& column = columns.spans[static_cast<std::size_t>(x)];
        const std::uint64_t* weightX = wideX.data() + column.firstWeight;
        UInt128 sum[4] = {};
        // A footprint whose sums stay below 2^63 units rounds nothing.
        const bool exactFootprint =
            columnSums[std::size_t(x)] * rowSums[std::size_t(y)] * 256.0 < 0x1p63;
        if (exactFootprint) {
          std::uint64_t small[4] = {};
          for (int k = row.begin; k < row.end; ++k) {
            const std::uint64_t weightY = wideY[row.firstWeight + (k - row.begin)];
            const std::uint32_t* sourceRow =
                source.pixels + static_cast<std::int64_t>(k) * sourceWidth;
            for (int l = column.begin; l < column.end; ++l) {
              const std::uint64_t weight = weightX[l - column.begin] * weightY;
              const std::uint32_t pixel = sourceRow[l];
              small[0] += weight;
              small[1] += weight * ((pixel >> 16) & 0xff);
              small[2] += weight * ((pixel >> 8) & 0xff);
              small[3] += weight * (pixel & 0xff);
            }
          }
          for (int c = 0; c < 4; ++c) sum[c] = small[c];
        }
        for (int k = row.begin; k < row.end && !exactFootprint; ++k) {
          const UInt128 weightY = wideY[row.firstWeight + (k - row.begin)];
          const std::uint32_t* sourceRow =
              source.pixels + static_cast<std::int64_t>(k) * sourceWidth;
          for (int l = column.begin; l < column.end; ++l) {
            const UInt128 weight = roundTo64Bits(weightX[l - column.begin] * weightY);
            const std::uint32_t pixel = sourceRow[l];
            sum[0] = roundTo64Bits(sum[0] + weight);
            sum[1] =
                roundTo64Bits(sum[1] + roundTo64Bits(weight * ((pixel >> 16) & 0xff)));
            sum[2] =
                roundTo64Bits(sum[2] + roundTo64Bits(weight * ((pixel >> 8) & 0xff)));
            sum[3] = roundTo64Bits(sum[3] + roundTo64Bits(weight * (pixel & 0xff)));
          }
        }
        const auto extended = [shift = shiftX + shiftY](UInt128 value) {
          return ExtendedFloat::rounded(false, value, -shift);
        };
        target[targetColumn(x)] = sum[0] == 0
                                      ? fallbackPixel(row, column)
                                      : averagePixel(extended(sum[0]), extended(sum[1]),
                                                     extended(sum[2]), extended(sum[3]));
      }
    }
    return true;
  }

  for (int y = 0; y < a.dstH; ++y) {
    const Footprints::Span& row = rows.spans[static_cast<std::size_t>(y)];
    std::uint32_t* target = targetRow(y);
    for (int x = 0; x < a.dstW; ++x) {
      const Footprints::Span& column = columns.spans[static_cast<std::size_t>(x)];
      const ExtendedFloat* weightX = columns.weights.data() + column.firstWeight;
      ExtendedFloat weightSum;
      ExtendedFloat redSum;
      ExtendedFloat greenSum;
      ExtendedFloat blueSum;
      for (int k = row.begin; k < row.end; ++k) {
        const ExtendedFloat& weightY = rows.weights[row.firstWeight + (k - row.begin)];
        const std::uint32_t* sourceRow =
            source.pixels + static_cast<std::int64_t>(k) * sourceWidth;
        for (int l = column.begin; l < column.end; ++l) {
          const ExtendedFloat weight = multiply(weightX[l - column.begin], weightY);
          const std::uint32_t pixel = sourceRow[l];
          const auto times = [&weight](std::uint32_t level) {
            return multiply(weight, ExtendedFloat::fromDouble(level & 0xff));
          };
          weightSum = add(weightSum, weight);
          redSum = add(redSum, times(pixel >> 16));
          greenSum = add(greenSum, times(pixel >> 8));
          blueSum = add(blueSum, times(pixel));
        }
      }
      target[targetColumn(x)] = weightSum.isZero()
                                    ? fallbackPixel(row, column)
                                    : averagePixel(weightSum, redSum, greenSum, blueSum);
    }
  }
  return true;
}

}  // namespace vantrel
