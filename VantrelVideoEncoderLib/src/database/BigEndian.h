#pragma once

#include <cstdint>

namespace vantrel {

// Big-endian byte order for every multi-byte field of the movie database and of
// the frame records. The put/get helpers work on byte buffers and are independent
// of the host's byte order; the swap helpers turn a host value into the value
// whose in-memory bytes are the big-endian image (the identity on a big-endian
// host, a byte swap on a little-endian one).

inline void putBigEndian32(std::uint8_t* out, std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value >> 24);
  out[1] = static_cast<std::uint8_t>(value >> 16);
  out[2] = static_cast<std::uint8_t>(value >> 8);
  out[3] = static_cast<std::uint8_t>(value);
}

inline void putBigEndian16(std::uint8_t* out, std::uint16_t value) {
  out[0] = static_cast<std::uint8_t>(value >> 8);
  out[1] = static_cast<std::uint8_t>(value);
}

// The signed form stores the two's-complement bits of value.
inline void putBigEndian16Signed(std::uint8_t* out, std::int16_t value) {
  putBigEndian16(out, static_cast<std::uint16_t>(value));
}

inline std::uint32_t getBigEndian32(const std::uint8_t* in) {
  return (std::uint32_t(in[0]) << 24) | (std::uint32_t(in[1]) << 16) |
         (std::uint32_t(in[2]) << 8) | std::uint32_t(in[3]);
}

inline std::uint16_t getBigEndian16(const std::uint8_t* in) {
  return static_cast<std::uint16_t>((in[0] << 8) | in[1]);
}

inline std::int16_t getBigEndian16Signed(const std::uint8_t* in) {
  return static_cast<std::int16_t>(getBigEndian16(in));
}

// The 32-bit value whose bytes in memory are the big-endian image of value.
inline std::uint32_t toBigEndian32(std::uint32_t value) {
  std::uint32_t result = 0;
  putBigEndian32(reinterpret_cast<std::uint8_t*>(&result), value);
  return result;
}

// The 16-bit value whose bytes in memory are the big-endian image of value.
inline std::uint16_t toBigEndian16(std::uint16_t value) {
  std::uint16_t result = 0;
  putBigEndian16(reinterpret_cast<std::uint8_t*>(&result), value);
  return result;
}

inline std::int16_t toBigEndian16Signed(std::int16_t value) {
  return static_cast<std::int16_t>(toBigEndian16(static_cast<std::uint16_t>(value)));
}

}  // namespace vantrel
