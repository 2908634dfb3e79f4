#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace vantrel {

// Octree colour quantiser that picks the 254 palette colours of an 8-bit movie.
//
// Colours are added with their pixel counts; leaves first lie at depth 5 (top five
// bits of each channel). buildPalette merges the least populated deepest branches
// until at most 254 leaves remain and writes each leaf's mean colour, rounded to a
// multiple of 8 plus 4 per channel, into palette entries 1 upward. Sums and counts
// are 64-bit. The tree's nodes belong to the quantiser: endPaletteAnalysis, a new
// beginPaletteAnalysis and the destructor release them all.
//
// Use: beginPaletteAnalysis, addColour any number of times, buildPalette,
// endPaletteAnalysis. addColour and buildPalette before beginPaletteAnalysis do
// nothing.
class OctreePalette {
 public:
  static constexpr int kMaxLeaves = 254;
  static constexpr int kDepthCount = 8;

  OctreePalette();
  ~OctreePalette();
  OctreePalette(const OctreePalette&) = delete;
  OctreePalette& operator=(const OctreePalette&) = delete;

  // Starts a fresh tree (any previous one is released): a root with bit mask 128,
  // empty depth lists, no leaves, depth limit 4.
  void beginPaletteAnalysis();
  // Adds count pixels of one colour (channels 0 to 255). A count of 0 or below is
  // ignored.
  void addColour(int red, int green, int blue, std::int64_t count);
  // Reduces the tree to at most 254 leaves and writes them into palette entries 1
  // upward (256-entry palette). Entries past the last leaf are left as they were. An
  // empty tree writes nothing. Returns the number of entries written.
  int buildPalette(std::uint32_t* palette);
  // Releases every node; the quantiser is then empty.
  void endPaletteAnalysis();

  // Current number of leaves (palette colours).
  int leafCount() const { return leaves; }

 private:
  struct Node;

  void linkAtFront(Node* node);
  void unlink(Node* node);
  void releaseChildren(Node* node);
  bool mergeOnce();
  Node* newNode(Node* parent);

  std::unique_ptr<Node> root;
  // Front of the list of the nodes at each depth (the root, depth 0, is in none);
  // new nodes go to the front.
  std::array<Node*, kDepthCount> levelFront{};
  int leaves = 0;
  std::uint8_t depthLimit = 4;
};

}  // namespace vantrel
