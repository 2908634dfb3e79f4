#pragma once

#include <cstdint>

namespace vantrel {

// Layout description of a device-independent bitmap: the same fields, widths and
// meaning as the Windows BITMAPINFOHEADER. A colour table of biClrUsed (or 2^bitCount)
// four-byte entries (blue, green, red, reserved) may follow the header in memory,
// biSize bytes from its start. Positive biHeight means bottom-up rows.
struct BitmapInfoHeader {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;  // 0 = uncompressed RGB
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};

constexpr std::uint32_t kBiRgb = 0;

// A header followed by a full 256-entry colour table, as one block.
struct BitmapInfo256 {
  BitmapInfoHeader header;
  std::uint32_t colours[256] = {};  // bytes blue, green, red, 0 (0x00RRGGBB)
};

}  // namespace vantrel
