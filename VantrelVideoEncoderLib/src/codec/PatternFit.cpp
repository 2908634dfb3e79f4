#include "codec/PatternFit.h"

#include <array>
#include <bit>
#include <limits>

#include "codec/CodecTables.h"

namespace vantrel {

namespace {

// Candidate colours: the entries a frame's samples are mapped to.
constexpr int kFirstColour = 1;
constexpr int kLastColour = 254;
constexpr int kMaxRounds = 2;

std::uint64_t patternBits(int side, int index) {
  return side == 8 ? kPattern8Table[index] : std::uint64_t{kPattern4Table[index]};
}

}  // namespace

BlockSearch::Pattern PatternFit::fit(const std::uint8_t* block, int width, int side,
                                     BlockSearch::Pattern start,
                                     const std::int32_t* distances) {
  const int count = side * side;
  std::array<std::uint8_t, 64> samples{};
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) samples[r * side + c] = block[r * width + c];
  }
  // The colours tried for a group: the block's own sample values and the
  // starting colours (the nearest to the group averages).
  std::array<bool, 256> seen{};
  std::array<std::uint8_t, 66> candidates{};
  int candidateCount = 0;
  const auto addCandidate = [&](int colour) {
    if (colour < kFirstColour || colour > kLastColour || seen[colour]) return;
    seen[colour] = true;
    candidates[candidateCount++] = static_cast<std::uint8_t>(colour);
  };
  addCandidate(start.colour0);
  addCandidate(start.colour1);
  for (int i = 0; i < count; ++i) addCandidate(samples[i]);
  BlockSearch::Pattern best = start;
  for (int round = 0; round < kMaxRounds; ++round) {
    // The colour of each group with the smallest summed distance, over the
    // distinct sample values of the group.
    const std::uint64_t bits = patternBits(side, best.index);
    std::array<std::array<int, 256>, 2> weight{};
    for (int i = 0; i < count; ++i) ++weight[(bits >> i) & 1][samples[i]];
    std::array<int, 2> colours{best.colour0, best.colour1};
    std::int64_t colourError = 0;
    for (int group = 0; group < 2; ++group) {
      std::array<std::uint8_t, 64> values{};
      std::array<int, 64> counts{};
      int distinct = 0;
      for (int v = 0; v < 256; ++v) {
        if (weight[group][v] == 0) continue;
        values[distinct] = static_cast<std::uint8_t>(v);
        counts[distinct++] = weight[group][v];
      }
      if (distinct == 0) continue;
      std::int64_t bestSum = std::numeric_limits<std::int64_t>::max();
      for (int n = 0; n < candidateCount; ++n) {
        const int colour = candidates[n];
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
    bool improved = false;
    if (colourError < best.error) {
      improved = true;
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
    // The moved error of a pattern, row by row: for every row, the sum of
    // the differences over each set of its columns.
    std::array<std::array<std::int32_t, 256>, 8> rowSums;
    const int columnSets = 1 << side;
    for (int r = 0; r < side; ++r) {
      std::array<std::int32_t, 256>& sums = rowSums[r];
      sums[0] = 0;
      for (int set = 1; set < columnSets; ++set) {
        const int lowest = std::countr_zero(static_cast<unsigned>(set));
        sums[set] = sums[set & (set - 1)] + difference[r * side + lowest];
      }
    }
    for (int index = 0; index < kPatternCount; ++index) {
      const std::uint64_t set = patternBits(side, index);
      std::int64_t moved = 0;
      for (int r = 0; r < side; ++r) moved += rowSums[r][(set >> (r * side)) & (columnSets - 1)];
      if (total0 + moved < best.error) {
        best.index = index;
        best.error = total0 + moved;
        improved = true;
      }
      if (total1 - moved < best.error) {
        std::swap(best.colour0, best.colour1);
        std::swap(row0, row1);
        std::swap(total0, total1);
        for (int r = 0; r < side; ++r) {
          for (int k = 0; k < columnSets; ++k) rowSums[r][k] = -rowSums[r][k];
        }
        best.index = index;
        best.error = total0 - moved;  // the old total1 - moved
        improved = true;
      }
    }
    if (!improved) break;
  }
  return best;
}

}  // namespace vantrel
