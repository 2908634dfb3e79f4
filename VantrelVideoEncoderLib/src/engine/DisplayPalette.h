#pragma once

#include <cstdint>

namespace vantrel {

// The engine's display palette: a 6 x 7 x 6 colour cube in entries 0 to 251
// (red steps of 255 / 5, green of 255 / 6, blue of 255 / 5, all truncating), as
// words 0x00RRGGBB. Entries 252 to 255 are not touched.
inline void fillColourCube(std::uint32_t* palette) {
  for (std::uint32_t i = 0; i < 252; ++i) {
    const std::uint32_t red = (i / 42) * 255 / 5;
    const std::uint32_t green = ((i / 6) % 7) * 255 / 6;
    const std::uint32_t blue = (i % 6) * 255 / 5;
    palette[i] = (red << 16) | (green << 8) | blue;
  }
}

}  // namespace vantrel
