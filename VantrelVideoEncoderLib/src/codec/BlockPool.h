#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vantrel {

constexpr std::int32_t kNoBlock = -1;

// One block of the difference frame encoder's block tree: its place, the code
// it currently writes and how bad that code is. Blocks refer to each other by
// index into their BlockPool.
struct BlockRecord {
  std::int32_t offset = 0;                 // top-left sample, row x frameWidth + column
  std::uint8_t level = 0;                  // 0 for 2 x 2, 1 for 4 x 4, 2 for 8 x 8
  std::uint8_t codeLength = 0;             // bytes written: code plus operands (0 to 5)
  std::uint8_t code = 0;                   // current code
  std::array<std::uint8_t, 4> operands{};  // operand bytes in writing order
  bool edge = false;                       // touches the frame border: refined earlier
  std::uint8_t savedCode = 0;              // code of the first evaluation
  std::uint8_t savedOperand = 0;           // its operand (the colour of a fill)
  std::int64_t savedError = 0;             // weighted error of the first evaluation
  std::int64_t error = 0;                  // weighted error of the current code; priority
  std::int64_t rawError = 0;  // unweighted error; summed for the quality figure
  std::int32_t parent = kNoBlock;
  std::int32_t children = kNoBlock;  // first of four: TL, TR, BR, BL
};

// The block records of one difference frame. Reset at the start of every frame;
// hands out records singly for 8 x 8 blocks and in fours for split children.
// The capacity is fixed when the pool is sized, so indices stay valid and no
// frame allocates memory.
class BlockPool {
 public:
  // Room for every record a frame of blockCount 8 x 8 blocks can need (each
  // block, its four quadrants and their sixteen 2 x 2 blocks).
  void reserveForBlocks(int blockCount);

  void reset() { used = 0; }

  // Index of the first of count fresh records, or kNoBlock when the pool is
  // full (impossible for the frame size it was sized for).
  std::int32_t allocate(int count);

  int size() const { return used; }
  // Records the pool holds in all.
  int capacity() const { return static_cast<int>(records.size()); }
  BlockRecord& operator[](std::int32_t index) { return records[index]; }
  const BlockRecord& operator[](std::int32_t index) const { return records[index]; }

 private:
  std::vector<BlockRecord> records;
  int used = 0;
};

}  // namespace vantrel
