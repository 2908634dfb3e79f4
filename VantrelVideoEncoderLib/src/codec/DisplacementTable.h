#pragma once

#include <array>
#include <cstdint>

namespace vantrel {

// One candidate displacement for block copies: dx to the right, dy downward,
// in samples.
struct Displacement {
  int dx;
  int dy;
};

constexpr int kDisplacementCount = 225;
// The index of (0, 0): a copy of the co-located block of the previous picture.
constexpr int kZeroDisplacement = 112;

// The fixed displacement list; a copy code is an index into it. Part of the
// stored format, shared with the handheld player.
extern const std::array<Displacement, kDisplacementCount> kDisplacementList;

// The displacement list resolved for one frame width: the byte offset of each
// entry in a frame of that many columns and the cost the copy search adds to
// a candidate's score (longer and odd horizontal moves cost more, so equal
// matches prefer short, even moves).
class DisplacementTable {
 public:
  // Resolves the list for frames of frameWidth columns.
  void build(int frameWidth);

  // dy x frameWidth + dx of entry index (0 to 224).
  int offset(int index) const { return offsets[index]; }
  // max(|dx|, |dy|), plus 8 when dx is odd.
  int cost(int index) const { return costs[index]; }

  // The encoded form of the list: an offset in a 160-column frame, dy x 160 + dx,
  // split back into (dx, dy). Exact for |dx| < 80.
  static int offsetIn160Columns(const Displacement& displacement);
  static Displacement fromOffsetIn160Columns(int offset);

 private:
  std::array<int, kDisplacementCount> offsets{};
  std::array<int, kDisplacementCount> costs{};
};

}  // namespace vantrel
