#include "platform/PictureConverter.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace vantrel::ffmpeg {

namespace {

bool isFullRangeFormat(int format) {
  return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
         format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P ||
         format == AV_PIX_FMT_YUVJ411P;
}

// Pictures in a YUV layout (any subsampling and depth, planar or packed, with
// or without alpha) convert to planar RGB with exactly the samples the packed
// 32- and 24-bit conversion gives, in about half its time: with the accurate
// full-chroma conversion the packed output has no fast path. Other layouts
// (RGB, palette, gray) keep the direct conversion.
bool convertsThroughPlanarRgb(int format) {
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(AVPixelFormat(format));
  if (descriptor == nullptr || descriptor->nb_components < 3) return false;
  constexpr std::uint64_t kOtherLayouts = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL |
                                          AV_PIX_FMT_FLAG_BAYER | AV_PIX_FMT_FLAG_HWACCEL |
                                          AV_PIX_FMT_FLAG_FLOAT;
  return (descriptor->flags & kOtherLayouts) == 0 && format != AV_PIX_FMT_XYZ12LE &&
         format != AV_PIX_FMT_XYZ12BE;
}

// One row of 32-bit pixels blue, green, red, 255 from three planes. Built as
// whole words into memory no plane shares, the loop becomes vector code:
// stored a byte at a time, a 1080p movie spent a tenth of its time here.
void interleaveRow32(const std::uint8_t* __restrict green,
                     const std::uint8_t* __restrict blue,
                     const std::uint8_t* __restrict red, int width,
                     std::uint8_t* __restrict out) {
  for (int x = 0; x < width; ++x) {
    const std::uint32_t word = std::uint32_t(blue[x]) | std::uint32_t(green[x]) << 8 |
                               std::uint32_t(red[x]) << 16 | 0xFF000000u;
    std::memcpy(out + 4 * std::size_t(x), &word, sizeof word);
  }
}

// Interleaves planar RGB rows (planes green, blue, red) into bottom-up bitmap
// rows of stride bytes: blue, green, red, and for 32 bits a fourth byte of 255,
// as the packed conversion writes it.
void interleaveBottomUp(const std::uint8_t* const planes[3], int planeStride, int width,
                        int height, int bytesPerPixel, std::uint8_t* bits, int stride) {
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* green = planes[0] + std::size_t(y) * planeStride;
    const std::uint8_t* blue = planes[1] + std::size_t(y) * planeStride;
    const std::uint8_t* red = planes[2] + std::size_t(y) * planeStride;
    std::uint8_t* out = bits + std::size_t(height - 1 - y) * stride;
    if (bytesPerPixel == 4 && std::endian::native == std::endian::little) {
      interleaveRow32(green, blue, red, width, out);
    } else if (bytesPerPixel == 4) {
      for (int x = 0; x < width; ++x, out += 4) {
        out[0] = blue[x];
        out[1] = green[x];
        out[2] = red[x];
        out[3] = 0xFF;
      }
    } else {
      for (int x = 0; x < width; ++x, out += 3) {
        out[0] = blue[x];
        out[1] = green[x];
        out[2] = red[x];
      }
    }
  }
}

// The YUV-to-RGB matrix of a picture: its own when tagged, otherwise the
// customary one for its size (BT.709 from 720 rows up, BT.601 below).
const int* matrixFor(const AVFrame* picture) {
  int space = picture->colorspace;
  if (space == AVCOL_SPC_UNSPECIFIED || space == AVCOL_SPC_RESERVED) {
    space = picture->height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
  return sws_getCoefficients(space);
}


}  // namespace

MediaStatus PictureConverter::convert(AVFrame* decoded, int width, int height,
                                      int bitsPerPixel, double streamPeak,
                                      std::vector<std::uint8_t>& bits) {
  // Pictures SDR players can show as they are keep their own samples, so their
  // bitmaps stay exactly as they were before HDR sources were converted.
  const AVFrame* picture = decoded;
  if (needsSdrConversion(decoded)) {
    if (const AVFrame* sdr = toSdr.convert(decoded, streamPeak); sdr != nullptr) picture = sdr;
  }
  const bool planar = convertsThroughPlanarRgb(picture->format);
  const AVPixelFormat target = planar               ? AV_PIX_FMT_GBRP
                               : bitsPerPixel == 32 ? AV_PIX_FMT_BGR0
                                                    : AV_PIX_FMT_BGR24;
  if (!scaler || scalerWidth != picture->width || scalerHeight != picture->height ||
      scalerFormat != picture->format || scalerBits != bitsPerPixel ||
      scalerPlanar != planar) {
    // Pictures keep the stream's size even if one arrives at another size.
    scaler.reset(sws_getContext(picture->width, picture->height,
                                  AVPixelFormat(picture->format), width, height, target,
                                  SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                  nullptr, nullptr, nullptr));
    if (!scaler) return MediaStatus::ConverterFailed;
    scalerWidth = picture->width;
    scalerHeight = picture->height;
    scalerFormat = picture->format;
    scalerBits = bitsPerPixel;
    scalerPlanar = planar;
    detailsMatrix = nullptr;
  }
  SwsContext* context = scaler.get();
  const bool fullRange =
      picture->color_range == AVCOL_RANGE_JPEG || isFullRangeFormat(picture->format);
  const int* matrix = matrixFor(picture);
  if (detailsMatrix != matrix || detailsFullRange != fullRange) {
    // Fails harmlessly for pictures that are RGB already.
    sws_setColorspaceDetails(context, matrix, fullRange ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    detailsMatrix = matrix;
    detailsFullRange = fullRange;
  }
  const int stride = bitsPerPixel == 32 ? width * 4 : (width * 3 + 3) & ~3;
  bits.resize(std::size_t(stride) * height);
  if (bitsPerPixel == 24 && stride != width * 3) {
    std::fill(bits.begin(), bits.end(), std::uint8_t(0));  // defined padding bytes
  }
  if (planar) {
    // Plane rows aligned for the scaler's vector code.
    constexpr int kAlign = 64;
    const int planeStride = (width + kAlign - 1) & ~(kAlign - 1);
    const std::size_t planeBytes = std::size_t(planeStride) * height;
    planarRgb.resize(3 * planeBytes + kAlign);
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(planarRgb.data());
    std::uint8_t* first = planarRgb.data() + ((kAlign - address % kAlign) % kAlign);
    std::uint8_t* planes[4] = {first, first + planeBytes, first + 2 * planeBytes, nullptr};
    int strides[4] = {planeStride, planeStride, planeStride, 0};
    const int rows = sws_scale(context, picture->data, picture->linesize, 0, picture->height,
                               planes, strides);
    if (rows != height) return MediaStatus::ConverterFailed;
    const std::uint8_t* const rgbPlanes[3] = {planes[0], planes[1], planes[2]};
    interleaveBottomUp(rgbPlanes, planeStride, width, height, bitsPerPixel / 8, bits.data(),
                       stride);
    return MediaStatus::Ok;
  }
  // Writing from the last row upwards with a negative stride stores the
  // picture bottom-up, as the bitmap layout wants.
  std::uint8_t* planes[4] = {bits.data() + std::size_t(stride) * (height - 1), nullptr,
                             nullptr, nullptr};
  int strides[4] = {-stride, 0, 0, 0};
  const int rows = sws_scale(context, picture->data, picture->linesize, 0, picture->height,
                             planes, strides);
  return rows == height ? MediaStatus::Ok : MediaStatus::ConverterFailed;
}

}  // namespace vantrel::ffmpeg
