// Lightness and saturation changes of FrameImage, done per pixel through the
// hue/lightness/saturation form so that hue is kept.
#include "image/FrameImage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image/HlsColour.h"

namespace vantrel {

namespace {

// Truncation toward zero that saturates instead of overflowing, for factors the
// caller may pass out of any sensible range.
std::int64_t truncClamped(double value, double limit) {
  if (std::isnan(value)) return 0;
  return static_cast<std::int64_t>(std::clamp(std::trunc(value), -limit, limit));
}

// Applies change(hls) to every pixel of the clipped rectangle.
template <typename Change>
void changeEachPixel(FrameImage& image, int x, int y, int w, int h, Change change) {
  if (image.pixels == nullptr) return;
  if (w == -1) w = image.imageWidth;
  if (h == -1) h = image.imageHeight;
  if (x < 0) {
    w += x;
    x = 0;
  }
  if (y < 0) {
    h += y;
    y = 0;
  }
  w = std::min(w, image.imageWidth - x);
  h = std::min(h, image.imageHeight - y);
  if (w < 1 || h < 1) return;
  for (int row = y; row < y + h; ++row) {
    std::uint32_t* pixel = image.pixels + static_cast<std::int64_t>(row) * image.imageWidth + x;
    for (int column = 0; column < w; ++column, ++pixel) {
      HlsColour hls = rgbToHls((*pixel >> 16) & 0xff, (*pixel >> 8) & 0xff, *pixel & 0xff);
      change(hls);
      *pixel = hlsToRgb(hls.hue, hls.lightness, hls.saturation);
    }
  }
}

}  // namespace

void FrameImage::adjustLightness(int x, int y, int w, int h, float brightness, float contrast) {
  // Both factors are taken in single precision; 0 and 0 keep every lightness.
  const std::int64_t offset = truncClamped((brightness + 1.0f) * 128.0f, 1e9);
  const std::int64_t gain = truncClamped((contrast + 1.0f) * 65536.0f, 1e12);
  changeEachPixel(*this, x, y, w, h, [&](HlsColour& hls) {
    const std::int64_t lightness = offset + ((gain * (hls.lightness - 128)) >> 16);
    hls.lightness = static_cast<int>(std::clamp<std::int64_t>(lightness, 0, 255));
  });
}

void FrameImage::adjustSaturation(int x, int y, int w, int h, float amount) {
  // amount 1 keeps saturation (k grows without bound), 0 removes it, 2 raises it.
  if (amount == 1.0f) return;
  const std::int64_t k = truncClamped(255.0 / (static_cast<double>(amount) - 1.0), 1e9);
  changeEachPixel(*this, x, y, w, h, [&](HlsColour& hls) {
    const std::int64_t numerator = hls.saturation * (k + 255);
    const std::int64_t denominator = k + hls.saturation;
    // A zero denominator is the limit of an unbounded change: full saturation,
    // or none when the numerator vanishes too.
    const std::int64_t saturation =
        denominator == 0 ? (numerator == 0 ? 0 : 255) : numerator / denominator;
    hls.saturation = static_cast<int>(std::clamp<std::int64_t>(saturation, 0, 255));
  });
}

}  // namespace vantrel
