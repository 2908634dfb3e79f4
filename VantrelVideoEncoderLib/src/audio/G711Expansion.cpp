#include "audio/G711Expansion.h"

namespace vantrel {

std::int16_t expandALaw(std::uint8_t code) {
  // A-law inverts every even bit on the wire; the segment selects the exponent and
  // the four mantissa bits sit under an implicit leading one (except in segment 0).
  const int value = code ^ 0x55;
  const int segment = (value & 0x70) >> 4;
  int magnitude = (value & 0x0F) << 4;
  if (segment == 0) {
    magnitude += 8;
  } else {
    magnitude = (magnitude + 0x108) << (segment - 1);
  }
  return static_cast<std::int16_t>((value & 0x80) != 0 ? magnitude : -magnitude);
}

std::int16_t expandMuLaw(std::uint8_t code) {
  // mu-law is stored inverted; the magnitude carries a bias of 0x84 that is removed
  // after the exponent shift.
  constexpr int kBias = 0x84;
  const int value = ~code & 0xFF;
  const int magnitude = (((value & 0x0F) << 3) + kBias) << ((value & 0x70) >> 4);
  return static_cast<std::int16_t>((value & 0x80) != 0 ? kBias - magnitude
                                                        : magnitude - kBias);
}

}  // namespace vantrel
