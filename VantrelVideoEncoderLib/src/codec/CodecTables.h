#pragma once

#include <array>
#include <cstdint>

namespace vantrel {

// Constant tables shared by the difference frame encoder and decoder. The
// pattern tables are part of the stored format: the handheld player holds the
// same tables, so their order and values never change.

constexpr int kPatternCount = 256;

// Two-colour patterns for 4 x 4 blocks: bit 4r + c set means colour1 at row r,
// column c (bit 0 is the top-left sample).
extern const std::array<std::uint16_t, kPatternCount> kPattern4Table;

// Two-colour patterns for 8 x 8 blocks: bit 8r + c set means colour1 at row r,
// column c (bits 0 to 31 are rows 0 to 3).
extern const std::array<std::uint64_t, kPatternCount> kPattern8Table;

// Block levels of the block tree: 8 x 8 blocks are split into 4 x 4 quadrants
// and those into 2 x 2 blocks.
constexpr int kLevel2x2 = 0;
constexpr int kLevel4x4 = 1;
constexpr int kLevel8x8 = 2;
constexpr int kLevelCount = 3;

// Samples per side of a block at each level.
constexpr int blockSide(int level) { return 2 << level; }

// Multipliers applied to a block's summed colour distance before blocks are
// compared, by level (2 x 2, 4 x 4, 8 x 8). They favour cheap codes (keep and
// copy) over fills, and two-colour patterns over one-colour ones. Patterns do
// not exist at 2 x 2; their entries are unused there.
struct ErrorWeights {
  int keep;
  int fill;
  int copy;
  int patternTwoColours;
  int patternOneColour;
};
extern const std::array<ErrorWeights, kLevelCount> kErrorWeights;

}  // namespace vantrel
