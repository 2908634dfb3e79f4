#include "audio/SampleQuantiser.h"

namespace vantrel {

namespace {

const ExtendedFloat kOne = ExtendedFloat::fromDouble(1.0);
const ExtendedFloat kMinusOne = ExtendedFloat::fromDouble(-1.0);

}  // namespace

std::uint8_t quantiseUnsigned8(const ExtendedFloat& y) {
  static const ExtendedFloat scale = ExtendedFloat::fromDouble(127.5);
  static const ExtendedFloat centre = ExtendedFloat::fromDouble(128.0);
  if (compare(y, kMinusOne) < 0) return 0;
  if (compare(y, kOne) > 0) return 255;
  return static_cast<std::uint8_t>(floorToInteger(add(multiply(y, scale), centre)));
}

std::int16_t quantiseSigned16(const ExtendedFloat& y) {
  static const ExtendedFloat scale = ExtendedFloat::fromDouble(32767.0);
  static const ExtendedFloat half = ExtendedFloat::fromDouble(0.5);
  if (compare(y, kMinusOne) < 0) return -32768;
  if (compare(y, kOne) > 0) return 32767;
  return static_cast<std::int16_t>(floorToInteger(add(multiply(y, scale), half)));
}

}  // namespace vantrel
