#pragma once

#include <cstdint>

#include "numeric/ExtendedFloat.h"

namespace vantrel {

// The two ways a filtered sample y (nominally -1..1) leaves the pipeline. Both clip:
// anything beyond +-1 takes the extreme code. The product and the sum are each
// rounded to extended precision, as the filter sum y itself is.

// Unsigned 8-bit PCM: floor(y * 127.5 + 128); 128 is silence, 1.0 gives 255 and
// -1.0 gives 0.
std::uint8_t quantiseUnsigned8(const ExtendedFloat& y);

// Signed 16-bit input of the ADPCM coder: floor(y * 32767 + 0.5); 1.0 gives 32767,
// -1.0 gives -32767, and only values below -1.0 reach -32768.
std::int16_t quantiseSigned16(const ExtendedFloat& y);

}  // namespace vantrel
