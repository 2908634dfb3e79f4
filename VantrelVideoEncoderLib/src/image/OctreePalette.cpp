#include "image/OctreePalette.h"

#include <algorithm>

namespace vantrel {

struct OctreePalette::Node {
  std::uint8_t bitMask = 128;  // the colour bit that chooses among the children
  int depth = 0;               // 0 at the root
  std::array<std::unique_ptr<Node>, 8> children;
  std::int64_t pixelCount = 0;
  std::int64_t sumRed = 0;
  std::int64_t sumGreen = 0;
  std::int64_t sumBlue = 0;
  Node* parent = nullptr;
  bool isLeaf = false;
  std::uint8_t paletteIndex = 0;
  Node* previous = nullptr;  // links in the list of its depth
  Node* next = nullptr;
};

OctreePalette::OctreePalette() = default;

OctreePalette::~OctreePalette() = default;

void OctreePalette::beginPaletteAnalysis() {
  endPaletteAnalysis();
  root = std::make_unique<Node>();
  depthLimit = 4;
}

void OctreePalette::endPaletteAnalysis() {
  root.reset();  // children are owned by their parents: the whole tree goes
  levelFront.fill(nullptr);
  leaves = 0;
}

void OctreePalette::linkAtFront(Node* node) {
  Node*& front = levelFront[node->depth];
  node->previous = nullptr;
  node->next = front;
  if (front != nullptr) front->previous = node;
  front = node;
}

void OctreePalette::unlink(Node* node) {
  if (node->previous != nullptr) {
    node->previous->next = node->next;
  } else {
    levelFront[node->depth] = node->next;
  }
  if (node->next != nullptr) node->next->previous = node->previous;
  node->previous = nullptr;
  node->next = nullptr;
}

void OctreePalette::releaseChildren(Node* node) {
  for (std::unique_ptr<Node>& child : node->children) {
    if (!child) continue;
    releaseChildren(child.get());
    if (child->isLeaf) --leaves;
    unlink(child.get());
    child.reset();
  }
}

void OctreePalette::addColour(int red, int green, int blue, std::int64_t count) {
  if (!root || count <= 0) return;
  red = std::clamp(red, 0, 255);
  green = std::clamp(green, 0, 255);
  blue = std::clamp(blue, 0, 255);
  Node* node = root.get();
  for (;;) {
    node->pixelCount += count;
    node->sumRed += count * red;
    node->sumGreen += count * green;
    node->sumBlue += count * blue;
    const int mask = node->bitMask;
    if (mask == 0) return;  // below the last colour bit
    const int index = ((red & mask) ? 4 : 0) + ((green & mask) ? 2 : 0) + ((blue & mask) ? 1 : 0);
    if (Node* child = node->children[index].get()) {
      node = child;
      continue;
    }
    if (mask <= depthLimit || node->isLeaf) return;
    auto child = std::make_unique<Node>();
    child->bitMask = static_cast<std::uint8_t>(mask >> 1);
    child->depth = node->depth + 1;
    child->parent = node;
    linkAtFront(child.get());
    if (child->bitMask == depthLimit) {
      child->isLeaf = true;
      ++leaves;
    }
    node->children[index] = std::move(child);
    node = node->children[index].get();
  }
}

bool OctreePalette::mergeOnce() {
  int depth = kDepthCount - 1;
  while (depth >= 1 && levelFront[depth] == nullptr) --depth;
  if (depth < 1) return false;
  // The least populated parent of the deepest nodes; the first found wins ties.
  Node* chosen = nullptr;
  for (Node* node = levelFront[depth]; node != nullptr; node = node->next) {
    if (chosen == nullptr || node->parent->pixelCount < chosen->pixelCount) {
      chosen = node->parent;
    }
  }
  releaseChildren(chosen);
  if (!chosen->isLeaf) {
    chosen->isLeaf = true;
    ++leaves;
  }
  if (levelFront[depth] == nullptr) depthLimit = chosen->bitMask;
  return true;
}

int OctreePalette::buildPalette(std::uint32_t* palette) {
  if (!root) return 0;
  while (leaves > kMaxLeaves && mergeOnce()) {
  }
  const auto average = [](std::int64_t sum, std::int64_t count) {
    const std::int64_t mean = count > 0 ? sum / count : 0;
    return static_cast<std::uint32_t>((mean & 248) | 4);
  };
  int entry = 1;
  for (int depth = 0; depth < kDepthCount; ++depth) {
    for (Node* node = levelFront[depth]; node != nullptr; node = node->next) {
      if (!node->isLeaf || entry > kMaxLeaves) continue;
      palette[entry] = average(node->sumRed, node->pixelCount) << 16 |
                       average(node->sumGreen, node->pixelCount) << 8 |
                       average(node->sumBlue, node->pixelCount);
      node->paletteIndex = static_cast<std::uint8_t>(entry);
      ++entry;
    }
  }
  return entry - 1;
}

}  // namespace vantrel
