#pragma once

#include <cstdint>

#include "image/BitmapInfoHeader.h"

namespace vantrel {

// A rectangle of 32-bit pixels 0x00RRGGBB, row 0 at the bottom, rows packed
// without gaps. The image either owns its pixels (after allocate/loadFromDib) or
// borrows a caller's buffer (after attachPixels). Copying is disabled: an owning
// image releases its block exactly once.
class FrameImage {
 public:
  FrameImage();
  // Empty, then loadFromDib(header, bits, flip); throws the loadFromDib errors.
  FrameImage(const BitmapInfoHeader* header, const void* bits, bool flip);
  // Empty, then allocate(width, height); width and height are set either way.
  FrameImage(int width, int height);
  // Empty, then attachPixels(pixels, width, height).
  FrameImage(std::uint32_t* pixels, int width, int height);
  virtual ~FrameImage();

  FrameImage(const FrameImage&) = delete;
  FrameImage& operator=(const FrameImage&) = delete;

  virtual int width() const;
  virtual int height() const;

  // Copies a clipped rectangle from source; w or h of -1 means the source's
  // full width or height. Returns true when something was copied.
  virtual bool copyRect(int dstX, int dstY, const FrameImage& source, int srcX,
                        int srcY, int w, int h);
  // Nearest-neighbour resampling with 32.32 fixed-point steps. A negative dstW
  // mirrors. Returns false when the arguments are rejected (nothing written).
  virtual bool scaleNearest(int dstX, int dstY, int dstW, int dstH,
                            const FrameImage& source, double srcX, double srcY,
                            double srcW, double srcH);
  // Area-weighted resampling, the scaler of the encode driver. Same contract.
  virtual bool scaleArea(int dstX, int dstY, int dstW, int dstH,
                         const FrameImage& source, double srcX, double srcY,
                         double srcW, double srcH);
  // Fills a clipped rectangle; w or h of -1 means to the image's edge. Returns
  // true when at least one pixel was written.
  virtual bool fillRect(int x, int y, int w, int h, std::uint32_t colour);
  // Lightness change through hue/lightness/saturation and back.
  virtual void adjustLightness(int x, int y, int w, int h, float brightness,
                               float contrast);
  virtual void adjustSaturation(int x, int y, int w, int h, float amount);
  // Obtains storage for the bitmap's size and converts its pixels. Returns false
  // when storage cannot be obtained. Throws const char* with
  // "Can't handle compressed bitmaps" or
  // "Can only handle 1, 2, 4, 8, 16, 24 or 32 bits per pixel".
  virtual bool loadFromDib(const BitmapInfoHeader* header, const void* bits,
                           bool flip);
  // Releases owned pixels, then borrows the caller's buffer.
  virtual void attachPixels(std::uint32_t* pixels, int width, int height);

  // Resizes the owned block to width * height * 4 bytes (a borrowed buffer is
  // forgotten first). Returns false and leaves pixels null on failure.
  bool allocate(int width, int height);
  void convertDib(const BitmapInfoHeader* header, const void* bits, bool flip);
  void convertRows(int width, int rows, int stride, int bitCount,
                   const std::uint8_t* bits, const std::uint32_t* colourTable,
                   bool flip);

  // Fields in their fixed order. The pixel counts are named imageWidth and
  // imageHeight because width() and height() are the accessors.
  std::uint32_t* pixels = nullptr;
  std::int32_t imageWidth = 0;
  std::int32_t imageHeight = 0;
  void* auxBuffer = nullptr;
  bool ownsPixels = false;
};

}  // namespace vantrel
