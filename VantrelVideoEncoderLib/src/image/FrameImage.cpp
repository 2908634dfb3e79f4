#include "image/FrameImage.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace vantrel {

namespace {

constexpr const char* kCompressedError = "Can't handle compressed bitmaps";
constexpr const char* kDepthError = "Can only handle 1, 2, 4, 8, 16, 24 or 32 bits per pixel";

// Largest pixel count whose byte size still fits a ptrdiff_t.
constexpr std::int64_t kMaxPixelCount = std::numeric_limits<std::ptrdiff_t>::max() / 4;

bool isSupportedDepth(int bitCount) {
  switch (bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

// A colour-table entry read byte by byte (blue, green, red, reserved), so the
// table needs no particular alignment.
std::uint32_t tableEntry(const std::uint32_t* colourTable, int index, int colourCount) {
  if (colourTable == nullptr || index >= colourCount) return 0;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(colourTable) + 4 * index;
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// 5-bit channel to 8 bits with truncation: 0 -> 0, 1 -> 8, 16 -> 131, 31 -> 255.
std::uint32_t expandFiveBits(unsigned value) { return value * 255 / 31; }

}  // namespace

FrameImage::FrameImage() = default;

FrameImage::FrameImage(const BitmapInfoHeader* header, const void* bits, bool flip) {
  // A throwing constructor never reaches the destructor, so the block obtained
  // before a conversion error is released here.
  try {
    loadFromDib(header, bits, flip);
  } catch (...) {
    if (ownsPixels) std::free(pixels);
    pixels = nullptr;
    ownsPixels = false;
    throw;
  }
}

FrameImage::FrameImage(int width, int height) {
  allocate(width, height);
  imageWidth = width;
  imageHeight = height;
}

FrameImage::FrameImage(std::uint32_t* pixelBuffer, int width, int height) {
  attachPixels(pixelBuffer, width, height);
}

FrameImage::~FrameImage() {
  if (ownsPixels && pixels != nullptr) std::free(pixels);
  if (auxBuffer != nullptr) std::free(auxBuffer);
}

int FrameImage::width() const { return imageWidth; }

int FrameImage::height() const { return imageHeight; }

bool FrameImage::allocate(int width, int height) {
  if (!ownsPixels) pixels = nullptr;  // a borrowed buffer is never resized or released
  const auto releaseOwned = [this] {
    if (ownsPixels && pixels != nullptr) std::free(pixels);
    pixels = nullptr;
    ownsPixels = false;
  };
  const std::int64_t count = static_cast<std::int64_t>(width) * height;
  if (width < 0 || height < 0 || count > kMaxPixelCount) {
    releaseOwned();
    return false;
  }
  if (count == 0) {
    // realloc to zero bytes may free the block and return null; an empty image
    // needs no block at all.
    releaseOwned();
    return true;
  }
  void* block = std::realloc(pixels, static_cast<std::size_t>(count) * 4);
  if (block == nullptr) {
    releaseOwned();  // realloc failure leaves the old block allocated
    return false;
  }
  pixels = static_cast<std::uint32_t*>(block);
  ownsPixels = true;
  return true;
}

void FrameImage::attachPixels(std::uint32_t* pixelBuffer, int width, int height) {
  if (ownsPixels && pixels != nullptr) std::free(pixels);
  pixels = pixelBuffer;
  imageWidth = width;
  imageHeight = height;
  ownsPixels = false;
}

bool FrameImage::loadFromDib(const BitmapInfoHeader* header, const void* bits, bool flip) {
  if (header == nullptr) return false;
  const std::int64_t rows = header->biHeight < 0 ? -static_cast<std::int64_t>(header->biHeight)
                                                 : header->biHeight;
  if (rows > std::numeric_limits<int>::max() ||
      !allocate(header->biWidth, static_cast<int>(rows))) {
    imageWidth = 0;
    imageHeight = 0;
    return false;
  }
  // The size follows the storage at once, so that the image stays consistent
  // when the conversion below refuses the bitmap.
  imageWidth = header->biWidth;
  imageHeight = static_cast<int>(rows);
  convertDib(header, bits, flip);
  return true;
}

void FrameImage::convertDib(const BitmapInfoHeader* header, const void* bits, bool flip) {
  if (header->biCompression != kBiRgb) throw kCompressedError;
  const int bitCount = header->biBitCount;
  const auto* colourTable = reinterpret_cast<const std::uint32_t*>(
      reinterpret_cast<const std::uint8_t*>(header) + header->biSize);
  const std::int64_t stride =
      ((static_cast<std::int64_t>(header->biWidth) * bitCount + 31) >> 3) & ~std::int64_t{3};
  const bool effectiveFlip = flip != (header->biHeight < 0);
  const std::int64_t rows = header->biHeight < 0 ? -static_cast<std::int64_t>(header->biHeight)
                                                 : header->biHeight;
  imageWidth = header->biWidth;
  imageHeight = static_cast<int>(rows);
  int colourCount = 0;
  if (bitCount <= 8) {
    colourCount = 1 << bitCount;
    if (header->biClrUsed != 0 && header->biClrUsed < static_cast<std::uint32_t>(colourCount)) {
      colourCount = static_cast<int>(header->biClrUsed);
    }
  }
  if (stride > std::numeric_limits<int>::max()) return;  // no block of that size exists
  convertRows(imageWidth, imageHeight, static_cast<int>(stride), bitCount,
              static_cast<const std::uint8_t*>(bits), colourTable, effectiveFlip, colourCount);
}

void FrameImage::convertRows(int width, int rows, int stride, int bitCount,
                             const std::uint8_t* bits, const std::uint32_t* colourTable,
                             bool flip, int colourCount) {
  if (!isSupportedDepth(bitCount)) throw kDepthError;
  if (pixels == nullptr || bits == nullptr || width <= 0 || rows <= 0) return;
  // Never write past the image's own storage.
  const std::int64_t capacity = static_cast<std::int64_t>(imageWidth) * imageHeight;
  if (static_cast<std::int64_t>(width) * rows > capacity) {
    rows = static_cast<int>(capacity / width);
    if (rows <= 0) return;
  }
  if (bitCount == 32) {
    // Stored order, whatever the flip: one block copy.
    std::memcpy(pixels, bits, static_cast<std::size_t>(width) * rows * 4);
    return;
  }
  for (int row = 0; row < rows; ++row) {
    const std::int64_t storedRow = flip ? rows - 1 - row : row;
    const std::uint8_t* source = bits + storedRow * stride;
    std::uint32_t* target = pixels + static_cast<std::int64_t>(row) * width;
    switch (bitCount) {
      case 24:
        for (int x = 0; x < width; ++x, source += 3) {
          target[x] = static_cast<std::uint32_t>(source[0]) |
                      static_cast<std::uint32_t>(source[1]) << 8 |
                      static_cast<std::uint32_t>(source[2]) << 16;
        }
        break;
      case 16:
        for (int x = 0; x < width; ++x, source += 2) {
          const unsigned word = source[0] | source[1] << 8;
          target[x] = expandFiveBits(word & 0x1f) | expandFiveBits((word >> 5) & 0x1f) << 8 |
                      expandFiveBits((word >> 10) & 0x1f) << 16;
        }
        break;
      default: {
        // Palette indices, leftmost pixel in the most significant bits.
        const int mask = (1 << bitCount) - 1;
        for (int x = 0; x < width; ++x) {
          const std::int64_t bitPosition = static_cast<std::int64_t>(x) * bitCount;
          const int shift = 8 - bitCount - static_cast<int>(bitPosition & 7);
          const int index = (source[bitPosition >> 3] >> shift) & mask;
          target[x] = tableEntry(colourTable, index, colourCount);
        }
        break;
      }
    }
  }
}

bool FrameImage::copyRect(int dstX, int dstY, const FrameImage& source, int srcX, int srcY,
                          int w, int h) {
  if (pixels == nullptr || source.pixels == nullptr) return false;
  if (w == -1) w = source.imageWidth;
  if (h == -1) h = source.imageHeight;
  if (srcX < 0) {
    w += srcX;
    dstX -= srcX;
    srcX = 0;
  }
  if (srcY < 0) {
    h += srcY;
    dstY -= srcY;
    srcY = 0;
  }
  w = std::min(w, source.imageWidth - srcX);
  h = std::min(h, source.imageHeight - srcY);
  if (dstX < 0) {
    w += dstX;
    srcX -= dstX;
    dstX = 0;
  }
  if (dstY < 0) {
    h += dstY;
    srcY -= dstY;
    dstY = 0;
  }
  w = std::min(w, imageWidth - dstX);
  h = std::min(h, imageHeight - dstY);
  if (w < 1 || h < 1) return false;
  for (int row = 0; row < h; ++row) {
    // memmove: source and destination may be the same image.
    std::memmove(pixels + static_cast<std::int64_t>(dstY + row) * imageWidth + dstX,
                 source.pixels + static_cast<std::int64_t>(srcY + row) * source.imageWidth + srcX,
                 static_cast<std::size_t>(w) * 4);
  }
  return true;
}

bool FrameImage::fillRect(int x, int y, int w, int h, std::uint32_t colour) {
  if (pixels == nullptr) return false;
  if (w == -1) w = imageWidth;
  if (h == -1) h = imageHeight;
  if (x < 0) {
    w += x;
    x = 0;
  }
  if (y < 0) {
    h += y;
    y = 0;
  }
  w = std::min(w, imageWidth - x);
  h = std::min(h, imageHeight - y);
  if (w < 1 || h < 1) return false;
  for (int row = y; row < y + h; ++row) {
    std::uint32_t* start = pixels + static_cast<std::int64_t>(row) * imageWidth + x;
    std::fill(start, start + w, colour);
  }
  return true;
}

}  // namespace vantrel
