#include "codec/BlockQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel {
namespace {

class BlockQueueTest : public ::testing::Test {
 protected:
  BlockQueueTest() : queue(pool) { pool.reserveForBlocks(4); }

  std::int32_t block(std::int64_t error, bool edge = false) {
    const std::int32_t index = pool.allocate(1);
    pool[index].error = error;
    pool[index].edge = edge;
    return index;
  }

  std::vector<std::int32_t> drain() {
    std::vector<std::int32_t> order;
    while (!queue.empty()) order.push_back(queue.popWorstBlock());
    return order;
  }

  BlockPool pool;
  BlockQueue queue;
};

TEST_F(BlockQueueTest, PopsTheLargestErrorFirst) {
  const std::vector<std::int64_t> errors = {5, 90, 12, 7, 300, 1, 64, 64, 2};
  std::vector<std::int32_t> blocks;
  for (std::int64_t e : errors) blocks.push_back(block(e));
  for (std::int32_t b : blocks) queue.pushBlock(b);
  std::int64_t last = 1 << 30;
  for (std::int32_t b : drain()) {
    EXPECT_LE(pool[b].error, last);
    last = pool[b].error;
  }
}

TEST_F(BlockQueueTest, EdgeBlocksGainAQuarterWhenPushed) {
  const std::int32_t inner = block(110);
  const std::int32_t edge = block(100, true);
  queue.pushBlock(inner);
  queue.pushBlock(edge);
  EXPECT_EQ(pool[edge].error, 125);
  EXPECT_EQ(pool[inner].error, 110);
  EXPECT_EQ(queue.popWorstBlock(), edge);
}

TEST_F(BlockQueueTest, ReorderAddsTheEdgeBonusAndRestoresHeapOrder) {
  const std::int32_t a = block(10);
  const std::int32_t b = block(40, true);
  const std::int32_t c = block(45);
  const std::int32_t d = block(3, true);
  for (std::int32_t x : {a, b, c, d}) queue.append(x);
  queue.reorderQueue();
  EXPECT_EQ(pool[b].error, 50);
  EXPECT_EQ(pool[d].error, 3);  // 3 >> 2 is 0
  const std::vector<std::int32_t> expected = {b, c, a, d};
  EXPECT_EQ(drain(), expected);
}

TEST_F(BlockQueueTest, EqualErrorsPreferTheLeftChild) {
  // Heap array 3, 7, 7 after appending: sifting the root down picks the left 7
  // (the right child wins only when strictly larger), then the right 7 rises
  // to the root only after the first pop.
  const std::int32_t a = block(3);
  const std::int32_t b = block(7);
  const std::int32_t c = block(7);
  for (std::int32_t x : {a, b, c}) queue.append(x);
  queue.reorderQueue();
  const std::vector<std::int32_t> expected = {b, c, a};
  EXPECT_EQ(drain(), expected);
}

TEST_F(BlockQueueTest, PushMovesUpOnlyPastSmallerParents) {
  const std::int32_t a = block(50);
  const std::int32_t b = block(50);
  queue.pushBlock(a);
  queue.pushBlock(b);  // equal to its parent: stays below
  EXPECT_EQ(*queue.begin(), a);
  EXPECT_EQ(queue.size(), 2);
}

}  // namespace
}  // namespace vantrel
