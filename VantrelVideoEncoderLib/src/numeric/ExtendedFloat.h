#pragma once

#include <cstdint>

namespace vantrel {

// 128-bit integers (a register pair on x86-64 and aarch64), written this way so
// that pedantic warnings accept them.
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// A number with the precision of x86's 80-bit extended format: a sign, a 64-bit
// significand and an exponent, value = (-1)^negative x significand x 2^exponent.
// The operations round their exact result as that format does in its default
// mode, to nearest with 64 significant bits, ties to even, so that sums and
// products pinned to that precision come out the same on every processor and
// without a wide floating-point type. The exponent is a plain int: there is no
// overflow and no subnormal range (the values handled here stay far inside the
// format's 15-bit exponent).
struct ExtendedFloat {
  bool negative = false;
  std::uint64_t significand = 0;  // 0 is zero, whatever the sign
  int exponent = 0;

  // The double itself; every double is exact at this precision.
  static ExtendedFloat fromDouble(double value);
  // magnitude x 2^exponent rounded to 64 significant bits.
  static ExtendedFloat rounded(bool negative, UInt128 magnitude, int exponent);

  ExtendedFloat operator-() const { return {!negative, significand, exponent}; }
  bool isZero() const { return significand == 0; }
};

// a + b, a x b, rounded once.
ExtendedFloat add(const ExtendedFloat& a, const ExtendedFloat& b);
ExtendedFloat multiply(const ExtendedFloat& a, const ExtendedFloat& b);
// 1 / a, rounded once; a not zero.
ExtendedFloat reciprocal(const ExtendedFloat& a);

// -1, 0 or 1 as a is below, equal to or above b (zeros of either sign are equal).
int compare(const ExtendedFloat& a, const ExtendedFloat& b);

// The largest integer not above a, and a truncated toward zero; |a| below 2^62.
std::int64_t floorToInteger(const ExtendedFloat& a);
std::int64_t truncateToInteger(const ExtendedFloat& a);

// a rounded to the nearest float (ties to even), subnormals included.
float roundToFloat(const ExtendedFloat& a);

}  // namespace vantrel
