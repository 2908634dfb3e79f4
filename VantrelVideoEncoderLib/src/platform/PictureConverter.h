#pragma once

// Internal to the platform layer: decoded pictures into packed bitmaps. Keeps
// its scaler (and the filters of SdrConversion) from one picture to the next,
// renewing them only when the pictures change.

#include <cstdint>
#include <vector>

#include "platform/FfmpegHandles.h"
#include "platform/MediaStatus.h"
#include "platform/SdrConversion.h"

namespace vantrel::ffmpeg {

class PictureConverter {
 public:
  PictureConverter() = default;
  PictureConverter(const PictureConverter&) = delete;
  PictureConverter& operator=(const PictureConverter&) = delete;

  // Converts picture, scaled to width x height, into bits as a bottom-up
  // bitmap (first row in bits is the bottom row): 32 bits per pixel as bytes
  // blue, green, red, 255, or 24 bits as blue, green, red with rows padded to a
  // multiple of 4 bytes (padding zero). bits is resized to stride * height. A
  // picture with an HDR transfer or wide-gamut primaries is first turned into
  // SDR BT.709 (streamPeak: the stream's stated peak in cd/m^2, 0 when none);
  // SDR pictures are converted from their own samples with the YUV matrix
  // they are tagged with (untagged: BT.709 from 720 rows up, BT.601 below).
  // ConverterFailed when no conversion exists.
  MediaStatus convert(AVFrame* picture, int width, int height, int bitsPerPixel,
                      double streamPeak, std::vector<std::uint8_t>& bits);

 private:
  ScalerPtr scaler;
  // What the scaler was made for, and the colour details it was last given,
  // so that both are renewed only when the pictures change.
  int scalerWidth = 0;
  int scalerHeight = 0;
  int scalerFormat = -1;
  int scalerBits = 0;
  bool scalerPlanar = false;  // the scaler writes planar RGB into planarRgb
  const int* detailsMatrix = nullptr;
  bool detailsFullRange = false;
  std::vector<std::uint8_t> planarRgb;
  SdrConversion toSdr;
};

}  // namespace vantrel::ffmpeg
