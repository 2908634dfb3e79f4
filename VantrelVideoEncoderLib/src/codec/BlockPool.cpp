#include "codec/BlockPool.h"

namespace vantrel {

namespace {

// An 8 x 8 block, four 4 x 4 quadrants and sixteen 2 x 2 blocks.
constexpr int kRecordsPerBlock = 1 + 4 + 16;

}  // namespace

void BlockPool::reserveForBlocks(int blockCount) {
  records.assign(static_cast<std::size_t>(blockCount) * kRecordsPerBlock, BlockRecord{});
  used = 0;
}

std::int32_t BlockPool::allocate(int count) {
  if (count <= 0 || used + count > static_cast<int>(records.size())) return kNoBlock;
  const std::int32_t first = used;
  for (int i = 0; i < count; ++i) records[first + i] = BlockRecord{};
  used += count;
  return first;
}

}  // namespace vantrel
