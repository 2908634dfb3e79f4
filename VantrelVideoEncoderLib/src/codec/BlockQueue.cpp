#include "codec/BlockQueue.h"

#include <utility>

namespace vantrel {

void BlockQueue::reserve(int capacity) {
  heap.reserve(static_cast<std::size_t>(capacity) + 1);
}

void BlockQueue::addEdgeBonus(BlockRecord& block) {
  if (block.edge) block.error += block.error >> 2;
}

void BlockQueue::pushBlock(std::int32_t block) {
  addEdgeBonus(pool[block]);
  heap.push_back(block);
  std::size_t position = heap.size() - 1;
  while (position > 1 && errorAt(position / 2) < errorAt(position)) {
    std::swap(heap[position / 2], heap[position]);
    position /= 2;
  }
}

std::int32_t BlockQueue::popWorstBlock() {
  const std::int32_t worst = heap[1];
  heap[1] = heap.back();
  heap.pop_back();
  if (heap.size() > 1) siftDown(1);
  return worst;
}

void BlockQueue::reorderQueue() {
  for (std::size_t i = 1; i < heap.size(); ++i) addEdgeBonus(pool[heap[i]]);
  const std::size_t count = heap.size() - 1;
  for (std::size_t i = count / 2; i >= 1; --i) siftDown(i);
}

void BlockQueue::siftDown(std::size_t position) {
  const std::size_t count = heap.size() - 1;
  while (2 * position <= count) {
    std::size_t child = 2 * position;
    if (child + 1 <= count && errorAt(child + 1) > errorAt(child)) ++child;
    if (!(errorAt(position) < errorAt(child))) break;
    std::swap(heap[position], heap[child]);
    position = child;
  }
}

}  // namespace vantrel
