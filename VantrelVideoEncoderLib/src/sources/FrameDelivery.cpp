#include "sources/FrameDelivery.h"

#include <memory>
#include <new>

#include "sources/VideoStreamSource.h"

namespace vantrel {

int deliverFrame(int width, int height, int bitsPerPixel,
                 const std::vector<std::uint8_t>& bits, bool flip, FrameImage** image) {
  BitmapInfoHeader header;
  header.biWidth = width;
  header.biHeight = height;  // positive: the rows are stored bottom-up
  header.biBitCount = std::uint16_t(bitsPerPixel);
  header.biCompression = kBiRgb;
  header.biSizeImage = std::uint32_t(bits.size());
  // The sources promise error codes, never exceptions: the image's own
  // failures (thrown texts, exhausted memory) are turned into codes here.
  try {
    if (!*image) {
      auto made = std::make_unique<FrameImage>(&header, bits.data(), flip);
      if (!made->pixels) return kVideoOutOfMemory;
      *image = made.release();
      return kVideoOk;
    }
    return (*image)->loadFromDib(&header, bits.data(), flip) ? kVideoOk
                                                             : kVideoOutOfMemory;
  } catch (const std::bad_alloc&) {
    return kVideoOutOfMemory;
  } catch (const char*) {
    return kVideoUnknown;
  }
}

}  // namespace vantrel
