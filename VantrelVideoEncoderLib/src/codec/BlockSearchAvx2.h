#pragma once

// The copy search and the inner sums of the pattern search in AVX2, for
// processors that have it. Each gives exactly what the plain loops of
// BlockSearch give: the same integer distances summed in the same candidate
// order, only several at a time. Call them only when available() is true.

#include <array>
#include <cstdint>

namespace vantrel::block_search_avx2 {

// True when the processor runs AVX2.
bool available();

// The copy candidates in the order they are tried: the source's offset from
// the block and the candidate's cost.
struct CopyCandidates {
  std::array<int, 225> offsets;
  std::array<int, 225> costs;
};

// The copy search of BlockSearch::findCopy for a side x side block (side 4 or
// 8) at want, with sources around have (want's place in the reference), rows
// width apart. A source at have + offset is usable when offset lies within
// [lowest, highest]. Returns the position in the search order of the winner
// (the smallest sum x 16 + cost, the first of equals), or -1 with no usable
// source; error is the winner's score >> 4.
int findCopy(const std::int32_t* distances, const std::uint8_t* want,
             const std::uint8_t* have, int width, int side, int highest, int lowest,
             const CopyCandidates& candidates, std::int64_t& error);

// out[i] = row[samples[i]] for i below count (16 or 64).
void distancesTo(const std::int32_t* row, const std::uint8_t* samples, int count,
                 std::int32_t* out);

// Sum over i below count (16 or 64) of d1[i] where bit i of bits is set and
// d0[i] where it is clear.
std::int64_t patternError(const std::int32_t* d0, const std::int32_t* d1,
                          std::uint64_t bits, int count);

}  // namespace vantrel::block_search_avx2
