#include "codec/PatternRows.h"

#include <cstdlib>

namespace vantrel {

template <int kSide>
PatternRows<kSide>::PatternRows() {
  constexpr unsigned kRowMask = (1u << kSide) - 1;
  // found[r][set]: the distinct row of column set set in block row r, plus one.
  std::array<std::array<int, 1 << kSide>, kSide> found{};
  for (int index = 0; index < kPatternCount; ++index) {
    const std::uint64_t bits = PatternRows::bits(index);
    for (int r = 0; r < kSide; ++r) {
      const unsigned set = static_cast<unsigned>(bits >> (kSide * r)) & kRowMask;
      if (found[r][set] == 0) {
        // The stored tables hold far fewer; a table that held more would
        // not fit the byte-sized lists.
        if (count == kMaxRows) std::abort();
        rows[count] = static_cast<std::uint8_t>(r);
        columns[count] = static_cast<std::uint8_t>(set);
        found[r][set] = ++count;
      }
      patterns[index][r] = static_cast<std::uint8_t>(found[r][set] - 1);
    }
  }
}

template <int kSide>
const PatternRows<kSide>& PatternRows<kSide>::table() {
  static const PatternRows rows;
  return rows;
}

template class PatternRows<4>;
template class PatternRows<8>;

}  // namespace vantrel
