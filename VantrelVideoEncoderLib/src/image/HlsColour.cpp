#include "image/HlsColour.h"

#include <algorithm>

namespace vantrel {

namespace {

// One channel of the hue wheel, scaled by 255 (m1 and m2 are 255 x the
// channel's lower and upper bound).
int huePart(int m1, int m2, int hue) {
  if (hue >= 256) hue -= 255;
  if (hue < 0) hue += 255;
  if (hue <= 41) return m1 + (m2 - m1) * hue * 6 / 255;
  if (hue < 127) return m2;
  if (hue >= 170) return m1;
  return m1 + (m2 - m1) * (170 - hue) * 6 / 255;
}

}  // namespace

HlsColour rgbToHls(int red, int green, int blue) {
  HlsColour result;
  const int high = std::max({red, green, blue});
  const int low = std::min({red, green, blue});
  result.lightness = (high + low) / 2;
  if (high == low) return result;  // gray: no hue, no saturation
  const int diff = high - low;
  result.saturation = result.lightness < 128 ? diff * 255 / (high + low)
                                             : diff * 255 / (510 - high - low);
  const int redDistance = (high - red) * 255 / diff;
  const int greenDistance = (high - green) * 255 / diff;
  const int blueDistance = (high - blue) * 255 / diff;
  int hue;
  if (red == high) {
    hue = blueDistance - greenDistance;
  } else if (green == high) {
    hue = redDistance - blueDistance + 510;
  } else {
    hue = greenDistance - redDistance + 1020;
  }
  hue /= 6;
  if (hue < 0) hue += 255;
  result.hue = hue;
  return result;
}

unsigned hlsToRgb(int hue, int lightness, int saturation) {
  if (saturation == 0) {
    const auto gray = static_cast<unsigned>(std::clamp(lightness, 0, 255));
    return gray << 16 | gray << 8 | gray;
  }
  const int m2 = lightness < 128 ? lightness * (255 + saturation)
                                 : lightness * (255 - saturation) + 255 * saturation;
  const int m1 = 510 * lightness - m2;
  const auto channel = [&](int h) {
    return static_cast<unsigned>(std::clamp(huePart(m1, m2, h) / 255, 0, 255));
  };
  return channel(hue + 85) << 16 | channel(hue) << 8 | channel(hue - 85);
}

}  // namespace vantrel
