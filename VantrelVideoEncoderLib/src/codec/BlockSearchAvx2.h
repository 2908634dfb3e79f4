#pragma once

// The copy sums and the inner sums of the pattern search in AVX2, for
// processors that have it. Each gives exactly what the plain loops of
// BlockSearch give: the same integer distances, only several at a time. Call
// them only when available() is true.

#include <cstdint>

#include "codec/CopyTables.h"

namespace vantrel::block_search_avx2 {

using copy_tables::ChannelPlanes;
using copy_tables::CopyCandidates;
using copy_tables::kCandidateSlots;

// True when the processor runs AVX2.
bool available();

// Copy sums for one band of four rows (sample index start, a multiple of the
// width), columns firstColumn (a multiple of 16) to endColumn (a multiple of 8,
// at most width): for each 4 x 4 block there and every candidate k, the sum of
// colour distances between the block in want and its source at the candidate's
// offset in have, written to sums[block * kCandidateSlots + k]. Distances are
// computed from the channels as CodecPalette's table holds them. Sums of
// sources outside the picture are meaningless and must not be used.
void copySums4(const ChannelPlanes& want, const ChannelPlanes& have, int width, int start,
               int firstColumn, int endColumn, const CopyCandidates& candidates,
               std::int32_t* sums);

// out[i] = row[samples[i]] for i below count (16 or 64).
void distancesTo(const std::int32_t* row, const std::uint8_t* samples, int count,
                 std::int32_t* out);

// Sum over i below count (16 or 64) of d1[i] where bit i of bits is set and
// d0[i] where it is clear.
std::int64_t patternError(const std::int32_t* d0, const std::int32_t* d1,
                          std::uint64_t bits, int count);

}  // namespace vantrel::block_search_avx2
