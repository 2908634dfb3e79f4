#include "codec/PatternFit.h"

#include <array>
#include <limits>
#include <utility>

#include "codec/CodecTables.h"
#include "codec/PatternRows.h"

namespace vantrel {

namespace {

// Candidate colours: the entries a frame's samples are mapped to.
constexpr int kFirstColour = 1;
constexpr int kLastColour = 254;

template <int kSide>
BlockSearch::Pattern fitSide(const std::uint8_t* block, int width,
                             BlockSearch::Pattern start, const std::int32_t* distances) {
  using Rows = PatternRows<kSide>;
  const Rows& rows = Rows::table();
  constexpr int count = kSide * kSide;
  std::array<std::uint8_t, 64> samples{};
  for (int r = 0; r < kSide; ++r) {
    for (int c = 0; c < kSide; ++c) samples[r * kSide + c] = block[r * width + c];
  }
  // The start's error by this table (the search that found it measures
  // differently).
  const std::uint64_t bits = Rows::bits(start.index);
  BlockSearch::Pattern best = start;
  best.error = 0;
  for (int i = 0; i < count; ++i) {
    best.error += distances[((bits >> i) & 1 ? start.colour1 : start.colour0) * 256 + samples[i]];
  }
  // Slots of the distinct values of a group, marked by the pass that filled them.
  std::array<int, 256> stamp{};
  std::array<int, 256> slot{};
  int pass = 0;
  // The colour of each group with the smallest summed distance, over the
  // group's current colour and its own distinct sample values.
  std::array<int, 2> colours{best.colour0, best.colour1};
  std::int64_t colourError = 0;
  for (int group = 0; group < 2; ++group) {
    std::array<std::uint8_t, 64> values{};
    std::array<int, 64> counts{};
    int distinct = 0;
    ++pass;
    for (int i = 0; i < count; ++i) {
      if (static_cast<int>((bits >> i) & 1) != group) continue;
      const int v = samples[i];
      if (stamp[v] != pass) {
        stamp[v] = pass;
        slot[v] = distinct;
        values[distinct] = static_cast<std::uint8_t>(v);
        counts[distinct++] = 0;
      }
      ++counts[slot[v]];
    }
    if (distinct == 0) continue;
    std::int64_t bestSum = std::numeric_limits<std::int64_t>::max();
    for (int n = -1; n < distinct; ++n) {
      const int colour = n < 0 ? colours[group] : values[n];
      if (colour < kFirstColour || colour > kLastColour) continue;
      const std::int32_t* row = distances + colour * 256;
      std::int64_t sum = 0;
      for (int k = 0; k < distinct && sum < bestSum; ++k)
        sum += std::int64_t{row[values[k]]} * counts[k];
      if (sum < bestSum) {
        bestSum = sum;
        colours[group] = colour;
      }
    }
    colourError += bestSum;
  }
  if (colourError < best.error) {
    best.colour0 = colours[0];
    best.colour1 = colours[1];
    best.error = colourError;
  }

  // With those colours, the best pattern in either colour order: the error is
  // the distances to colour0 plus, on the set bits, the difference of the
  // two; swapping the colours gives the distances to colour1 minus it.
  const std::int32_t* row0 = distances + best.colour0 * 256;
  const std::int32_t* row1 = distances + best.colour1 * 256;
  std::int64_t total0 = 0;
  std::int64_t total1 = 0;
  std::array<std::int32_t, 64> difference{};
  for (int i = 0; i < count; ++i) {
    total0 += row0[samples[i]];
    total1 += row1[samples[i]];
    difference[i] = row1[samples[i]] - row0[samples[i]];
  }
  // The moved error of a pattern: the sum of the differences over its set
  // samples, from the sums of the table's distinct rows. The errors of both
  // colour orders are compared in the order the colours currently have.
  std::array<std::int32_t, Rows::kMaxRows> rowSums;
  rows.sumRows(rowSums.data(), [&](int r, int c) { return difference[r * kSide + c]; });
  bool swapped = false;
  for (int index = 0; index < kPatternCount; ++index) {
    const std::int64_t moved = rows.patternSum(rowSums.data(), index);
    const std::int64_t inOrder = total0 + moved;
    const std::int64_t reversed = total1 - moved;
    if ((swapped ? reversed : inOrder) < best.error) {
      best.index = index;
      best.error = swapped ? reversed : inOrder;
    }
    if ((swapped ? inOrder : reversed) < best.error) {
      swapped = !swapped;
      best.index = index;
      best.error = swapped ? reversed : inOrder;
    }
  }
  if (swapped) std::swap(best.colour0, best.colour1);
  return best;
}

}  // namespace

BlockSearch::Pattern PatternFit::fit(const std::uint8_t* block, int width, int side,
                                     BlockSearch::Pattern start,
                                     const std::int32_t* distances) {
  return side == 8 ? fitSide<8>(block, width, start, distances)
                   : fitSide<4>(block, width, start, distances);
}

}  // namespace vantrel
