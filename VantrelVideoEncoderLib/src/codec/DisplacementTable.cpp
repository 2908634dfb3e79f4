#include "codec/DisplacementTable.h"

#include <algorithm>
#include <cstdlib>

namespace vantrel {
namespace {

// Candidate displacements (dx, dy), in the order of the copy codes 0 to 224.
// clang-format off
constexpr std::array<Displacement, kDisplacementCount> kDisplacementValues = {{
    {0, -16}, {3, -16}, {-6, -14}, {6, -14}, {-2, -13}, {0, -13}, {2, -13}, {-9, -12},  // 0
    {-4, -12}, {4, -12}, {9, -12}, {-2, -11}, {0, -11}, {2, -11}, {-6, -10}, {-4, -10},  // 8
    {4, -10}, {6, -10}, {-12, -9}, {-2, -9}, {0, -9}, {2, -9}, {12, -9}, {-8, -8},  // 16
    {-6, -8}, {-4, -8}, {4, -8}, {6, -8}, {8, -8}, {-2, -7}, {0, -7}, {2, -7},  // 24
    {-14, -6}, {-10, -6}, {-8, -6}, {-6, -6}, {-3, -6}, {3, -6}, {6, -6}, {8, -6},  // 32
    {10, -6}, {14, -6}, {-4, -5}, {-2, -5}, {0, -5}, {2, -5}, {4, -5}, {-12, -4},  // 40
    {-10, -4}, {-8, -4}, {-5, -4}, {-3, -4}, {-2, -4}, {-1, -4}, {0, -4}, {1, -4},  // 48
    {2, -4}, {3, -4}, {5, -4}, {8, -4}, {10, -4}, {12, -4}, {-16, -3}, {-6, -3},  // 56
    {-4, -3}, {-3, -3}, {-2, -3}, {-1, -3}, {0, -3}, {1, -3}, {2, -3}, {3, -3},  // 64
    {4, -3}, {6, -3}, {3, -5}, {-11, -2}, {-9, -2}, {-7, -2}, {-5, -2}, {-4, -2},  // 72
    {-3, -2}, {-2, -2}, {-1, -2}, {0, -2}, {1, -2}, {2, -2}, {3, -2}, {4, -2},  // 80
    {5, -2}, {7, -2}, {9, -2}, {11, -2}, {13, -2}, {-4, -1}, {-3, -1}, {-2, -1},  // 88
    {-1, -1}, {0, -1}, {1, -1}, {2, -1}, {3, -1}, {4, -1}, {-16, 0}, {-13, 0},  // 96
    {-11, 0}, {-9, 0}, {-7, 0}, {-5, 0}, {-4, 0}, {-3, 0}, {-2, 0}, {-1, 0},  // 104
    {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {7, 0}, {9, 0},  // 112
    {11, 0}, {13, 0}, {16, 0}, {-4, 1}, {-3, 1}, {-2, 1}, {-1, 1}, {0, 1},  // 120
    {1, 1}, {2, 1}, {3, 1}, {4, 1}, {-13, 2}, {-11, 2}, {-9, 2}, {-7, 2},  // 128
    {-5, 2}, {-4, 2}, {-3, 2}, {-2, 2}, {-1, 2}, {0, 2}, {1, 2}, {2, 2},  // 136
    {3, 2}, {4, 2}, {5, 2}, {7, 2}, {9, 2}, {11, 2}, {13, 2}, {-16, 3},  // 144
    {-6, 3}, {-4, 3}, {-3, 3}, {-2, 3}, {-1, 3}, {0, 3}, {1, 3}, {2, 3},  // 152
    {3, 3}, {4, 3}, {6, 3}, {16, 3}, {-12, 4}, {-10, 4}, {-8, 4}, {-5, 4},  // 160
    {-3, 4}, {-2, 4}, {-1, 4}, {0, 4}, {1, 4}, {2, 4}, {3, 4}, {5, 4},  // 168
    {8, 4}, {10, 4}, {12, 4}, {-4, 5}, {-2, 5}, {0, 5}, {2, 5}, {4, 5},  // 176
    {-14, 6}, {-10, 6}, {-8, 6}, {-6, 6}, {-3, 6}, {3, 6}, {6, 6}, {8, 6},  // 184
    {10, 6}, {-2, 7}, {0, 7}, {2, 7}, {14, 7}, {-8, 8}, {-6, 8}, {-4, 8},  // 192
    {4, 8}, {6, 8}, {8, 8}, {-2, 9}, {0, 9}, {2, 9}, {-12, 10}, {-6, 10},  // 200
    {-4, 10}, {4, 10}, {6, 10}, {12, 10}, {-2, 11}, {0, 11}, {2, 11}, {-4, 12},  // 208
    {4, 12}, {-9, 13}, {-2, 13}, {0, 13}, {2, 13}, {9, 13}, {-6, 14}, {6, 14},  // 216
    {-3, 16},  // 224
}};
// clang-format on

// A short list leaves zeros at the end; the checks prove it is whole and aligned.
static_assert(kDisplacementValues[kZeroDisplacement].dx == 0 &&
              kDisplacementValues[kZeroDisplacement].dy == 0);
static_assert(kDisplacementValues[224].dx == -3 && kDisplacementValues[224].dy == 16);

}  // namespace

const std::array<Displacement, kDisplacementCount> kDisplacementList =
    kDisplacementValues;

void DisplacementTable::build(int frameWidth) {
  for (int i = 0; i < kDisplacementCount; ++i) {
    const Displacement& d = kDisplacementList[i];
    offsets[i] = d.dy * frameWidth + d.dx;
    // Longer moves cost more and odd horizontal moves much more, so that of two
    // equally good matches the short, even one wins.
    costs[i] = std::max(std::abs(d.dx), std::abs(d.dy)) + ((d.dx & 1) != 0 ? 8 : 0);
  }
}

int DisplacementTable::offsetIn160Columns(const Displacement& displacement) {
  return displacement.dy * 160 + displacement.dx;
}

Displacement DisplacementTable::fromOffsetIn160Columns(int offset) {
  // Round the row to nearest, then the column is what remains.
  const int dy = offset >= 0 ? (offset + 80) / 160 : (offset - 80) / 160;
  return Displacement{offset - dy * 160, dy};
}

}  // namespace vantrel
