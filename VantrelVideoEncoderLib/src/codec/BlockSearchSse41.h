#pragma once

// The copy search in SSE4.1, for processors without AVX2: the same sums and
// winners as block_search_avx2's, four lanes at a time. Call it only when
// available() is true.

#include <cstdint>

#include "codec/CopyTables.h"

namespace vantrel::block_search_sse41 {

using copy_tables::ChannelPlanes;
using copy_tables::CopyCandidates;
using copy_tables::kCandidateSlots;

// True when the processor runs SSE4.1.
bool available();

// block_search_avx2::copySums4 and bestCopy, same arguments and results.
void copySums4(const ChannelPlanes& want, const ChannelPlanes& have, int width, int start,
               const CopyCandidates& candidates, std::int32_t* sums);
int bestCopy(const std::int32_t* const* parts, int partCount,
             const CopyCandidates& candidates, int lowest, int highest,
             std::int64_t& error);

}  // namespace vantrel::block_search_sse41
