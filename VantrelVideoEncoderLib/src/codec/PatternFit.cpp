#include "codec/PatternFit.h"

#include <algorithm>
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

// kLeaned: with the measure's leans (leaning holds them); without, the lean
// terms are left out rather than added as zeros.
template <int kSide, bool kLeaned>
BlockSearch::Pattern fitSide(const std::uint8_t* block, int width,
                             BlockSearch::Pattern start, const std::int32_t* distances,
                             ImpactDistance::Leaning leaning) {
  using Rows = PatternRows<kSide>;
  const Rows& rows = Rows::table();
  constexpr int count = kSide * kSide;
  std::array<std::uint8_t, 64> samples{};
  // Each sample's lean toward the picture, and the levels of the samples.
  std::array<std::int32_t, 64> leans{};
  const std::int32_t* levels = leaning.levels;
  for (int r = 0; r < kSide; ++r) {
    for (int c = 0; c < kSide; ++c) {
      samples[r * kSide + c] = block[r * width + c];
      if constexpr (kLeaned) leans[r * kSide + c] = leaning.leans[r * width + c];
    }
  }
  // A pattern's error exactly as the measure gives it for the whole block.
  const auto patternError = [&](int index, int colour0, int colour1) {
    const std::uint64_t bits = Rows::bits(index);
    std::int64_t sum = 0;
    std::int64_t leanSum = 0;
    for (int i = 0; i < count; ++i) {
      const int colour = (bits >> i) & 1 ? colour1 : colour0;
      sum += distances[colour * 256 + samples[i]];
      if constexpr (kLeaned)
        leanSum += std::int64_t{leans[i]} * (levels[colour] - levels[samples[i]]);
    }
    return std::max<std::int64_t>(0, sum + leanSum / 256);
  };
  // The start's error by this table (the search that found it measures
  // differently).
  const std::uint64_t bits = Rows::bits(start.index);
  BlockSearch::Pattern best = start;
  best.error = patternError(start.index, start.colour0, start.colour1);
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
    // The group's leans: colour x adds levels[x] x leanSum - leanLevels.
    std::int64_t leanSum = 0;
    std::int64_t leanLevels = 0;
    for (int i = 0; i < count; ++i) {
      if (static_cast<int>((bits >> i) & 1) != group) continue;
      const int v = samples[i];
      if constexpr (kLeaned) {
        leanSum += leans[i];
        leanLevels += std::int64_t{leans[i]} * levels[v];
      }
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
      if constexpr (kLeaned) sum = (levels[colour] * leanSum - leanLevels) / 256;
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
    std::int32_t lean0 = 0;
    std::int32_t lean1 = 0;
    if constexpr (kLeaned) {
      lean0 = leans[i] * (levels[best.colour0] - levels[samples[i]]) / 256;
      lean1 = leans[i] * (levels[best.colour1] - levels[samples[i]]) / 256;
    }
    total0 += row0[samples[i]] + lean0;
    total1 += row1[samples[i]] + lean1;
    difference[i] = row1[samples[i]] + lean1 - row0[samples[i]] - lean0;
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
  if constexpr (kLeaned)
    best.error = patternError(best.index, best.colour0, best.colour1);
  return best;
}

}  // namespace

BlockSearch::Pattern PatternFit::fit(const std::uint8_t* block, int width, int side,
                                     BlockSearch::Pattern start,
                                     const std::int32_t* distances,
                                     ImpactDistance::Leaning leaning) {
  if (leaning.leans != nullptr) {
    return side == 8 ? fitSide<8, true>(block, width, start, distances, leaning)
                     : fitSide<4, true>(block, width, start, distances, leaning);
  }
  return side == 8 ? fitSide<8, false>(block, width, start, distances, leaning)
                   : fitSide<4, false>(block, width, start, distances, leaning);
}

}  // namespace vantrel
