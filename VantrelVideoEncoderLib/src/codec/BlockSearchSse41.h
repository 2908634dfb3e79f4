#pragma once

// The copy search in SSE4.1: the copy sums for processors without AVX2 (the
// same sums as block_search_avx2's, four lanes at a time), and the choice of
// the winner from them for every processor with vectors. Call them only when
// available() is true.

#include <cstdint>

#include "codec/CopyTables.h"

namespace vantrel::block_search_sse41 {

using copy_tables::ChannelPlanes;
using copy_tables::CopyCandidates;
using copy_tables::kCandidateSlots;

// True when the processor runs SSE4.1.
bool available();

// block_search_avx2::copySums4, same arguments and results.
void copySums4(const ChannelPlanes& want, const ChannelPlanes& have, int width, int start,
               int firstColumn, int endColumn, const CopyCandidates& candidates,
               std::int32_t* sums);

// The copy search of BlockSearch::findCopy over such sums: a block's sum for
// candidate k is the total of parts[0..partCount)[k]. Candidates whose offset
// lies outside [lowest, highest] are not usable. Returns the position in the
// search order of the winner (the smallest sum x 16 + cost, the first of
// equals), or -1 with no usable source; error is the winner's score >> 4.
int bestCopy(const std::int32_t* const* parts, int partCount,
             const CopyCandidates& candidates, int lowest, int highest,
             std::int64_t& error);

}  // namespace vantrel::block_search_sse41
