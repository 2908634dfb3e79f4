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

// The spread bound of the pattern search (PatternSums::cannotBeat) for every
// pattern at once. For pattern p, with its set samples' channel sums packed
// in sums[p] (21 bits each, red highest), ones[p] set samples of count, and
// the block's channel totals and weighted squares:
//   den[p] = count0 x count1,
//   num[p] = squares x den[p] - spread(sum0) x count1 - spread(sum1) x count0,
// spread(s) = 77 s_red^2 + 150 s_green^2 + 29 s_blue^2. The test of
// PatternSums::cannotBeat, multiplied out, is then
//   num[p] > (256 (best - 1) + 127 count) x den[p].
// Every value is a whole number below 2^53, so the doubles are exact and the
// test drops exactly the patterns the integer test drops. sums, ones, num and
// den hold 256 entries, 32-byte aligned.
void patternBounds(const std::uint64_t* sums, const double* ones, int count,
                   const int* totals, std::int64_t squares, double* num, double* den);

// out[i] = row[samples[i]] for i below count (16 or 64).
void distancesTo(const std::int32_t* row, const std::uint8_t* samples, int count,
                 std::int32_t* out);

// Sum over i below count (16 or 64) of d1[i] where bit i of bits is set and
// d0[i] where it is clear.
std::int64_t patternError(const std::int32_t* d0, const std::int32_t* d1,
                          std::uint64_t bits, int count);

}  // namespace vantrel::block_search_avx2
