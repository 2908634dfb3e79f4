#pragma once

#include <cstdint>
#include <vector>

#include "codec/BlockPool.h"

namespace vantrel {

// The refinement queue of the difference frame encoder: a max-heap of block
// indices ordered by the blocks' weighted error, so that the worst block is
// refined next. Blocks on the frame border get a quarter more error when they
// enter the queue, so that the border is refined a little earlier.
// Equal errors leave the order of a plain binary heap (the right child wins
// only when strictly larger), which keeps the output reproducible.
class BlockQueue {
 public:
  explicit BlockQueue(BlockPool& blocks) : pool(blocks) {}

  // Room for capacity entries; nothing allocates afterwards.
  void reserve(int capacity);
  void clear() { heap.resize(1); }
  bool empty() const { return heap.size() <= 1; }
  int size() const { return static_cast<int>(heap.size()) - 1; }

  // Adds a block without ordering; reorderQueue must follow before a pop.
  void append(std::int32_t block) { heap.push_back(block); }

  // Adds a block in heap order, after raising the error of an edge block.
  void pushBlock(std::int32_t block);

  // Removes and returns the block with the largest error. Requires !empty().
  std::int32_t popWorstBlock();

  // Raises the error of every queued edge block and restores heap order.
  void reorderQueue();

  // The queued block indices, heap array order.
  const std::int32_t* begin() const { return heap.data() + 1; }
  const std::int32_t* end() const { return heap.data() + heap.size(); }

 private:
  std::int64_t errorAt(std::size_t position) const { return pool[heap[position]].error; }
  void siftDown(std::size_t position);
  static void addEdgeBonus(BlockRecord& block);

  BlockPool& pool;
  // Entry 0 is unused, so the children of entry i are 2i and 2i + 1.
  std::vector<std::int32_t> heap = std::vector<std::int32_t>(1, kNoBlock);
};

}  // namespace vantrel
