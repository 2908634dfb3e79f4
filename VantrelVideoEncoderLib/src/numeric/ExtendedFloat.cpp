#include "numeric/ExtendedFloat.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

namespace vantrel {

namespace {

int bitLength(UInt128 value) {
  const auto high = static_cast<std::uint64_t>(value >> 64);
  if (high != 0) return 128 - std::countl_zero(high);
  return 64 - std::countl_zero(static_cast<std::uint64_t>(value));
}

// magnitude rounded to a whole multiple of 2^shift, to nearest, ties to the
// even multiple; the result is that multiple divided by 2^shift. shift < 128.
UInt128 roundAway(UInt128 magnitude, int shift) {
  if (shift == 0) return magnitude;
  const UInt128 one = 1;
  UInt128 kept = magnitude >> shift;
  const UInt128 rest = magnitude & ((one << shift) - 1);
  const UInt128 half = one << (shift - 1);
  if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
  return kept;
}

// The significand moved up until its top bit is set, the exponent following.
std::pair<std::uint64_t, int> normalised(const ExtendedFloat& a) {
  const int shift = std::countl_zero(a.significand);
  return {a.significand << shift, a.exponent - shift};
}

}  // namespace

ExtendedFloat ExtendedFloat::fromDouble(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {negative, fraction, -1074};  // zero or subnormal
  return {negative, fraction | (std::uint64_t{1} << 52), biased - 1075};
}

ExtendedFloat ExtendedFloat::rounded(bool negative, UInt128 magnitude, int exponent) {
  const int excess = bitLength(magnitude) - 64;
  if (excess <= 0) return {negative, static_cast<std::uint64_t>(magnitude), exponent};
  UInt128 kept = roundAway(magnitude, excess);
  int shift = excess;
  if ((kept >> 64) != 0) {  // rounded up into a 65th bit: 2^64 is 2^63 x 2
    kept >>= 1;
    ++shift;
  }
  return {negative, static_cast<std::uint64_t>(kept), exponent + shift};
}

ExtendedFloat add(const ExtendedFloat& a, const ExtendedFloat& b) {
  if (b.isZero()) return a.isZero() ? ExtendedFloat{a.negative && b.negative, 0, 0} : a;
  if (a.isZero()) return b;
  auto [largeBits, largeExponent] = normalised(a);
  auto [smallBits, smallExponent] = normalised(b);
  bool largeNegative = a.negative;
  bool smallNegative = b.negative;
  if (smallExponent > largeExponent ||
      (smallExponent == largeExponent && smallBits > largeBits)) {
    std::swap(largeBits, smallBits);
    std::swap(largeExponent, smallExponent);
    std::swap(largeNegative, smallNegative);
  }
  // Both on a grid 63 bits finer than the larger one's units. A smaller operand
  // that reaches below the grid keeps only whether it did, in its lowest bit
  // (rounding to odd): the sum then has at least 126 bits, so the 64 kept bits
  // end far above that bit and round exactly as the full sum would.
  const int gap = largeExponent - smallExponent;
  const UInt128 large = static_cast<UInt128>(largeBits) << 63;
  UInt128 small = 0;
  if (gap <= 63) {
    small = static_cast<UInt128>(smallBits) << (63 - gap);
  } else if (gap - 63 < 64) {
    const int drop = gap - 63;
    small = smallBits >> drop;
    if ((smallBits & ((std::uint64_t{1} << drop) - 1)) != 0) small |= 1;
  } else {
    small = 1;
  }
  if (largeNegative == smallNegative) {
    return ExtendedFloat::rounded(largeNegative, large + small, largeExponent - 63);
  }
  const UInt128 difference = large - small;
  if (difference == 0) return {};  // x - x is +0 when rounding to nearest
  return ExtendedFloat::rounded(largeNegative, difference, largeExponent - 63);
}

ExtendedFloat multiply(const ExtendedFloat& a, const ExtendedFloat& b) {
  return ExtendedFloat::rounded(a.negative != b.negative,
                                static_cast<UInt128>(a.significand) * b.significand,
                                a.exponent + b.exponent);
}

ExtendedFloat reciprocal(const ExtendedFloat& a) {
  const auto [bits, exponent] = normalised(a);
  // 2^127 / bits lies in (2^63, 2^64]; the remainder decides the rounding.
  const UInt128 dividend = static_cast<UInt128>(1) << 127;
  UInt128 quotient = dividend / bits;
  const UInt128 remainder = dividend % bits;
  if (remainder * 2 > bits || (remainder * 2 == bits && (quotient & 1) != 0)) ++quotient;
  return ExtendedFloat::rounded(a.negative, quotient, -127 - exponent);
}

int compare(const ExtendedFloat& a, const ExtendedFloat& b) {
  if (a.isZero() && b.isZero()) return 0;
  const int aSign = a.isZero() ? 0 : (a.negative ? -1 : 1);
  const int bSign = b.isZero() ? 0 : (b.negative ? -1 : 1);
  if (aSign != bSign) return aSign < bSign ? -1 : 1;
  const auto [aBits, aExponent] = normalised(a);
  const auto [bBits, bExponent] = normalised(b);
  int magnitude = 0;
  if (aExponent != bExponent) {
    magnitude = aExponent < bExponent ? -1 : 1;
  } else if (aBits != bBits) {
    magnitude = aBits < bBits ? -1 : 1;
  }
  return aSign * magnitude;
}

namespace {

// The whole part of |a| and whether a fraction was cut off.
constexpr std::int64_t kIndefinite = std::numeric_limits<std::int64_t>::min();

std::pair<std::int64_t, bool> wholePart(const ExtendedFloat& a) {
  if (a.significand == 0) return {0, false};
  if (a.exponent >= 0) {
    // Past 63 bits there is no 64-bit integer: x87 stores its "integer
    // indefinite" value, the most negative one.
    if (a.exponent >= 63 || (a.significand >> (63 - a.exponent)) != 0) {
      return {kIndefinite, false};
    }
    return {static_cast<std::int64_t>(a.significand << a.exponent), false};
  }
  const int shift = -a.exponent;
  if (shift >= 64) return {0, a.significand != 0};
  const std::uint64_t fraction = a.significand & ((std::uint64_t{1} << shift) - 1);
  return {static_cast<std::int64_t>(a.significand >> shift), fraction != 0};
}

}  // namespace

std::int64_t floorToInteger(const ExtendedFloat& a) {
  const auto [whole, cut] = wholePart(a);
  if (!a.negative || whole == kIndefinite) return whole;
  return -whole - (cut ? 1 : 0);
}

std::int64_t truncateToInteger(const ExtendedFloat& a) {
  const std::int64_t whole = wholePart(a).first;
  return a.negative && whole != kIndefinite ? -whole : whole;
}

float roundToFloat(const ExtendedFloat& a) {
  std::uint32_t bits = 0;
  if (!a.isZero()) {
    const auto [significand, exponent] = normalised(a);
    // 24 significant bits, but none below 2^-149 (the subnormal grid): at
    // least the 40 lowest of the 64 go.
    const int lowest = std::max(exponent + 40, -149);
    const int shift = lowest - exponent;
    auto kept =
        static_cast<std::uint32_t>(shift > 65 ? 0 : roundAway(significand, shift));
    int grid = lowest;
    if (kept == (1u << 24)) {  // rounded up into the next power of two
      kept >>= 1;
      ++grid;
    }
    if (kept >= (1u << 23)) {
      const int biased = grid + 150;  // the exponent field of kept x 2^grid
      bits = biased >= 255
                 ? 0x7f800000u
                 : (static_cast<std::uint32_t>(biased) << 23) | (kept - (1u << 23));
    } else {
      bits = kept;  // subnormal: grid is -149
    }
  }
  if (a.negative) bits |= 0x80000000u;
  return std::bit_cast<float>(bits);
}

}  // namespace vantrel
