#pragma once

#include <cstdint>

#include "image/BitmapInfoHeader.h"

namespace vantrel {

// A rectangle of 32-bit pixels 0x00RRGGBB, row 0 at the bottom, rows packed
// without gaps. The image either owns its pixels (after allocate/loadFromDib) or
// borrows a caller's buffer (after attachPixels). Copying is disabled: an owning
// image releases its block exactly once. Owned blocks come from malloc/realloc and
// go back with free, as does auxBuffer. Every operation treats an image without
// pixels as empty (nothing read or written).
class FrameImage {
 public:
  FrameImage();
  // Empty, then loadFromDib(header, bits, flip); throws the loadFromDib errors.
  FrameImage(const BitmapInfoHeader* header, const void* bits, bool flip);
  // Empty, then allocate(width, height); width and height are set either way (an
  // image whose storage could not be obtained has pixels null and acts empty).
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
  // Nearest-neighbour resampling of the source window (srcX, srcY, srcW, srcH, in
  // the source's own row order) into the destination rectangle, with 32.32
  // fixed-point steps. A negative dstW (or dstH) mirrors: dstX is then the
  // rectangle's right end. Returns false when the arguments are rejected (nothing
  // written): empty or out-of-image destination, window outside the source.
  virtual bool scaleNearest(int dstX, int dstY, int dstW, int dstH,
                            const FrameImage& source, double srcX, double srcY,
                            double srcW, double srcH);
  // Area-weighted resampling, the scaler of the encode driver. Same arguments and
  // contract. Each destination pixel is the weighted mean of its source
  // footprint; footprint edges are measured from the window's origin while the
  // columns and rows they are weighed against are absolute. Channel values are
  // truncated, so a flat colour may come out one level lower. A mirrored call
  // gives exactly the mirror image of the plain call.
  virtual bool scaleArea(int dstX, int dstY, int dstW, int dstH,
                         const FrameImage& source, double srcX, double srcY,
                         double srcW, double srcH);
  // How scaleArea sums a footprint: in whole numbers when they hold every sum
  // exactly, else in extended precision, rounding as x86's 80-bit long double
  // does. The pixels are the same either way.
  enum class AreaSums { wholeNumbers, extended };
  // scaleArea, storing in used which sums it took when it returns true; with
  // forceExtended set it takes the extended sums whatever the weights.
  bool scaleAreaWith(int dstX, int dstY, int dstW, int dstH, const FrameImage& source,
                     double srcX, double srcY, double srcW, double srcH,
                     bool forceExtended, AreaSums& used);
  // Fills a clipped rectangle; w or h of -1 means to the image's edge. Returns
  // true when at least one pixel was written.
  virtual bool fillRect(int x, int y, int w, int h, std::uint32_t colour);
  // Lightness change through hue/lightness/saturation and back, on a rectangle
  // clipped as fillRect: lightness' = trunc((brightness + 1) x 128) +
  // ((trunc((contrast + 1) x 65536) x (lightness - 128)) >> 16), kept in 0..255.
  // 0 and 0 keep the lightness (the colour may still move by the conversion).
  virtual void adjustLightness(int x, int y, int w, int h, float brightness,
                               float contrast);
  // Saturation change on a clipped rectangle: k = trunc(255 / (amount - 1)),
  // saturation' = saturation x (k + 255) / (k + saturation), kept in 0..255.
  // amount 1 changes nothing, 0 removes all colour, above 1 raises saturation.
  virtual void adjustSaturation(int x, int y, int w, int h, float amount);
  // Obtains storage for the bitmap's size and converts its pixels: row 0 is the
  // first stored row of a bottom-up bitmap (the last with flip; the reverse for a
  // top-down one), except that 32-bit pixels are copied in stored order. Returns
  // false, with pixels null and size 0 x 0, when storage cannot be obtained.
  // After a refusal the image keeps the new storage and the bitmap's size. Throws
  // const char* with
  // "Can't handle compressed bitmaps" or
  // "Can only handle 1, 2, 4, 8, 16, 24 or 32 bits per pixel".
  virtual bool loadFromDib(const BitmapInfoHeader* header, const void* bits,
                           bool flip);
  // Releases owned pixels, then borrows the caller's buffer.
  virtual void attachPixels(std::uint32_t* pixels, int width, int height);

  // Resizes the owned block to width * height * 4 bytes (a borrowed buffer is
  // forgotten first). Returns false and leaves pixels null on failure.
  // A size of 0 releases an owned block and succeeds with pixels null; a negative
  // or unrepresentable size fails.
  bool allocate(int width, int height);
  // The checks and conversion of loadFromDib after its allocation; the image must
  // already hold storage for the bitmap's size. Throws the loadFromDib errors.
  void convertDib(const BitmapInfoHeader* header, const void* bits, bool flip);
  // Converts rows stored rows of stride bytes into pixels (width pixels per row).
  // flip starts at the last stored row and walks backward. colourTable (1, 2, 4 and
  // 8 bits) holds colourCount entries; an index past them gives black. Throws
  // "Can only handle 1, 2, 4, 8, 16, 24 or 32 bits per pixel" for other depths.
  void convertRows(int width, int rows, int stride, int bitCount,
                   const std::uint8_t* bits, const std::uint32_t* colourTable,
                   bool flip, int colourCount = 256);

  // Fields in their fixed order. The pixel counts are named imageWidth and
  // imageHeight because width() and height() are the accessors.
  std::uint32_t* pixels = nullptr;
  std::int32_t imageWidth = 0;
  std::int32_t imageHeight = 0;
  void* auxBuffer = nullptr;
  bool ownsPixels = false;
};

}  // namespace vantrel
