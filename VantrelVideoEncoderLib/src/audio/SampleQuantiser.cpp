#include "audio/SampleQuantiser.h"

#include <cmath>

namespace vantrel {

// The products stay in long double: the filter sum is carried at that precision
// right up to the rounding.

std::uint8_t quantiseUnsigned8(long double y) {
  if (y < -1.0L) return 0;
  if (y > 1.0L) return 255;
  return static_cast<std::uint8_t>(std::floor(y * 127.5L + 128.0L));
}

std::int16_t quantiseSigned16(long double y) {
  if (y < -1.0L) return -32768;
  if (y > 1.0L) return 32767;
  return static_cast<std::int16_t>(std::floor(y * 32767.0L + 0.5L));
}

}  // namespace vantrel
