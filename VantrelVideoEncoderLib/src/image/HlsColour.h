#pragma once

namespace vantrel {

// Integer conversions between red, green, blue and hue, lightness, saturation, all
// on a 0 to 255 scale (hue 0 to 254), used by the lightness and saturation changes
// of FrameImage. A gray colour has hue 0 and saturation 0.

struct HlsColour {
  int hue = 0;
  int lightness = 0;
  int saturation = 0;
};

// Channels 0 to 255 in; all divisions truncate.
HlsColour rgbToHls(int red, int green, int blue);

// Back to 0x00RRGGBB; each channel is capped at 255. Lightness and saturation are
// expected in 0 to 255.
unsigned hlsToRgb(int hue, int lightness, int saturation);

}  // namespace vantrel
