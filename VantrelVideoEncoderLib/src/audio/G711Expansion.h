#pragma once

#include <cstdint>

namespace vantrel {

// ITU-T G.711 expansion of one 8-bit code to 16-bit linear PCM, as in the ITU
// reference decoder: A-law reaches +-32256, mu-law +-32124.
std::int16_t expandALaw(std::uint8_t code);
std::int16_t expandMuLaw(std::uint8_t code);

}  // namespace vantrel
