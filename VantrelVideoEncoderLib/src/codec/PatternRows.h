#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

#include "codec/CodecTables.h"

namespace vantrel {

// The rows of the two-colour pattern tables, as the searches sum them. A sum
// over a pattern's set samples is the sum of its rows' sums, and the 256
// patterns of either table use few distinct rows (8 x 8: 17 to 26 of the 256
// column sets per row), so a search sums each distinct row of a block once
// and then adds kSide of those sums per pattern.
template <int kSide>
class PatternRows {
 public:
  // Distinct (row, column set) pairs over the whole table; the most either
  // table can have, kept within a byte so that the per-pattern lists stay small.
  static constexpr int kMaxRows = 256;

  static const PatternRows& table();

  // The bits of pattern index in the table of this side (bit kSide r + c set:
  // colour1 at row r, column c).
  static std::uint64_t bits(int index) {
    return kSide == 8 ? kPattern8Table[index] : std::uint64_t{kPattern4Table[index]};
  }

  // Fills sums[e] with the sum of value(r, c) over the columns c of distinct
  // row e (r its block row).
  template <typename Sum, typename Value>
  void sumRows(Sum* sums, const Value& value) const {
    for (int e = 0; e < count; ++e) {
      Sum sum{};
      for (unsigned set = columns[e]; set != 0; set &= set - 1)
        sum += value(rows[e], std::countr_zero(set));
      sums[e] = sum;
    }
  }

  // The sum over pattern index's set samples, from sums filled by sumRows.
  template <typename Sum>
  Sum patternSum(const Sum* sums, int index) const {
    return rowTotal(sums, patterns[index], std::make_integer_sequence<int, kSide>{});
  }

 private:
  PatternRows();

  // The kSide lookups written out, so that they need no loop.
  template <typename Sum, int... kRow>
  static Sum rowTotal(const Sum* sums, const std::array<std::uint8_t, kSide>& list,
                      std::integer_sequence<int, kRow...>) {
    return (sums[list[kRow]] + ...);
  }

  // The distinct rows: their count, block rows and column sets (bit c:
  // column c); and per pattern, its distinct row in each block row.
  int count = 0;
  std::array<std::uint8_t, kMaxRows> rows{};
  std::array<std::uint8_t, kMaxRows> columns{};
  std::array<std::array<std::uint8_t, kSide>, kPatternCount> patterns{};
};

extern template class PatternRows<4>;
extern template class PatternRows<8>;

}  // namespace vantrel
