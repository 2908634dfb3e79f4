#include "codec/BlockSearch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <limits>

#include "codec/CodecTables.h"
#include "codec/PatternRows.h"

// The build defines VANTREL_X86_VECTORS where the SSE4.1 and AVX2 searches are
// compiled (64-bit x86); elsewhere the plain loops are the only ones.
#if VANTREL_X86_VECTORS
#include "codec/BlockSearchAvx2.h"
#include "codec/BlockSearchSse41.h"
#endif

namespace vantrel {

namespace {

constexpr std::int64_t kNoError = std::numeric_limits<std::int64_t>::max();

// Fill colours turn channel sums straight into grid cells: the shift divides
// by the sample count and the cell size together, by level (2 x 2, 4 x 4,
// 8 x 8) on the fine grid; the coarse grid shifts one more. The added values
// are the rounding the stored movies were made with.
constexpr std::array<int, kLevelCount> kFillShift = {5, 7, 9};
constexpr std::array<int, kLevelCount> kFillRounding = {1, 4, 16};

// The candidate displacement at position k of the search order: (0, 0) first,
// then alternately one entry below and one above it in the list.
constexpr int candidateAt(int k) {
  if (k == 0) return kZeroDisplacement;
  const int step = (k + 1) / 2;
  return (k & 1) != 0 ? kZeroDisplacement - step : kZeroDisplacement + step;
}

// The channel sums of a block's samples over each distinct row of the
// pattern table (PatternRows), so that a pattern's group sums take one lookup
// per row. The three sums share one word, 21 bits each: sums of up to 64
// samples of 8 bits never carry from one field into the next.
template <int kSide>
struct PatternSums {
  static constexpr int kSamples = kSide * kSide;
  static constexpr int kFieldBits = 21;
  static constexpr std::uint64_t kFieldMask = (std::uint64_t{1} << kFieldBits) - 1;

  PatternSums(const CodecPalette& palette, const std::uint8_t* block, int width) {
    std::array<std::uint64_t, kSamples> channels;
    std::uint64_t all = 0;
    for (int r = 0; r < kSide; ++r) {
      const std::uint8_t* row = block + r * width;
      for (int c = 0; c < kSide; ++c) {
        const int sample = row[c];
        samples[r * kSide + c] = static_cast<std::uint8_t>(sample);
        const int red = palette.red(sample);
        const int green = palette.green(sample);
        const int blue = palette.blue(sample);
        channels[r * kSide + c] = std::uint64_t(red) << (2 * kFieldBits) |
                                  std::uint64_t(green) << kFieldBits |
                                  std::uint64_t(blue);
        all += channels[r * kSide + c];
        squares += kRedWeight * red * red + kGreenWeight * green * green +
                   kBlueWeight * blue * blue;
      }
    }
    rows.sumRows(rowSums.data(), [&](int r, int c) { return channels[r * kSide + c]; });
    total = unpack(all);
  }

  static std::array<int, 3> unpack(std::uint64_t channels) {
    return {static_cast<int>(channels >> (2 * kFieldBits)),
            static_cast<int>((channels >> kFieldBits) & kFieldMask),
            static_cast<int>(channels & kFieldMask)};
  }

  static std::uint64_t patternBits(int index) { return PatternRows<kSide>::bits(index); }

  // The channel sums of the samples pattern index sets, packed as in rowSums.
  std::uint64_t packedSum(int index) const {
    return rows.patternSum(rowSums.data(), index);
  }
  // The same, unpacked.
  std::array<int, 3> sumOf(int index) const {
    return unpack(rows.patternSum(rowSums.data(), index));
  }

  // True when a pattern with these group sums and counts cannot score below
  // best: its error is at least the spread of each group about its mean,
  // whatever colour the group gets. With x the weighted square distance of a
  // sample from its colour, the sample's distance (x + 128) >> 8 is at least
  // (x - 127) / 256, and the x of a group add up to at least
  // sum(q) - sum_c(w_c s_c^2) / n, from the weighted squares q of its samples'
  // channels, its channel sums s_c and its count n; the q of both groups add
  // up to the block's. A pattern with an empty group is always tried.
  bool cannotBeat(std::int64_t best, const std::array<int, 3>& sum1,
                  const std::array<int, 3>& sum0, int count1, int count0) const {
    if (count0 == 0 || count1 == 0) return false;
    auto spread = [](const std::array<int, 3>& s) {
      return kRedWeight * std::int64_t(s[0]) * s[0] +
             kGreenWeight * std::int64_t(s[1]) * s[1] +
             kBlueWeight * std::int64_t(s[2]) * s[2];
    };
    // squares - limit - spread0 / count0 - spread1 / count1 > 0, times both counts.
    const std::int64_t limit = 256 * (best - 1) + 127 * kSamples;
    return (squares - limit) * count0 * count1 >
           spread(sum0) * count1 + spread(sum1) * count0;
  }

  static constexpr int kRedWeight = 77;
  static constexpr int kGreenWeight = 150;
  static constexpr int kBlueWeight = 29;

  const PatternRows<kSide>& rows = PatternRows<kSide>::table();
  std::array<std::uint8_t, kSamples> samples{};
  // Not zeroed first: the constructor writes every entry in use.
  std::array<std::uint64_t, PatternRows<kSide>::kMaxRows> rowSums;
  // The sum of 77 r^2 + 150 g^2 + 29 b^2 over the block's samples.
  std::int64_t squares = 0;
  std::array<int, 3> total{};
};

// (sum + count / 2) / count for sums of up to 64 channel values, as a multiply
// and a shift: with the reciprocal rounded up, the error stays below 2^-17 and
// never reaches the next whole number (at least 1/64 away).
struct RoundedDivision {
  RoundedDivision() {
    for (int count = 1; count <= 64; ++count) {
      reciprocal[count] = ((std::uint64_t{1} << 32) + count - 1) / count;
    }
  }
  int operator()(int sum, int count) const {
    return static_cast<int>(
        (static_cast<std::uint64_t>(sum + count / 2) * reciprocal[count]) >> 32);
  }
  std::array<std::uint64_t, 65> reciprocal{};
};

// The number of set bits of every pattern of the two tables, as doubles for
// the vector bounds (whole numbers, exact).
template <int kSide>
const std::array<double, kPatternCount>& patternOnes() {
  alignas(32) static const std::array<double, kPatternCount> ones = [] {
    std::array<double, kPatternCount> counts{};
    for (int index = 0; index < kPatternCount; ++index)
      counts[index] = std::popcount(PatternSums<kSide>::patternBits(index));
    return counts;
  }();
  return ones;
}

}  // namespace

BlockSearch::BlockSearch(const CodecPalette& colours, const DisplacementTable& candidates,
                         int frameWidth, int frameHeight)
    : palette(colours),
      displacements(candidates),
      width(frameWidth),
      height(frameHeight) {
  useVectors(Vectors::Avx2);
}

void BlockSearch::useVectors(Vectors highest) {
  vectorSet = Vectors::None;
#if VANTREL_X86_VECTORS
  if (highest >= Vectors::Avx2 && block_search_avx2::available()) {
    vectorSet = Vectors::Avx2;
  } else if (highest >= Vectors::Sse41 && block_search_sse41::available()) {
    vectorSet = Vectors::Sse41;
  }
#else
  (void)highest;
#endif
  if (vectorSet != Vectors::None) {
    // The candidates in search order, and for each block size the last
    // usable source start (copyIsUsable as one comparison).
    searchOrder.offsets.fill(INT32_MIN);
    searchOrder.costs.fill(0);
    for (int k = 0; k < kDisplacementCount; ++k) {
      searchOrder.offsets[k] = displacements.offset(candidateAt(k));
      searchOrder.costs[k] = displacements.cost(candidateAt(k));
    }
    for (int level = 0; level < kLevelCount; ++level) {
      const long long side = blockSide(level);
      const long long last = std::min(
          (width + 1LL) * (height - side),
          static_cast<long long>(width) * height - 1 - (side - 1) * (width + 1LL));
      copyLimits[level] = static_cast<int>(std::clamp<long long>(last, -1, INT32_MAX));
    }
  }
  if (vectorSet == Vectors::Avx2 && colourDistances.empty()) {
    colourDistances.assign(std::size_t(256) * 64, 0);
    colourStamps.assign(256, 0);
  }
  if (vectorSet != Vectors::None && planes.empty()) {
    // Displaced reads reach 16 rows and 32 samples beyond the picture.
    const std::size_t samples = std::size_t(width) * height;
    planeMargin = std::size_t(16) * width + 32;
    planeLength = samples + 2 * planeMargin;
    planes.assign(6 * planeLength, 0);
    copySums.assign(samples / 16 * copy_tables::kCandidateSlots, 0);
    bandReady.assign(std::size_t(height / 4) * sumGroups(), 0);
  }
}

void BlockSearch::setPictures(const std::uint8_t* newFrame,
                              const std::uint8_t* previousPicture) {
  frame = newFrame;
  reference = previousPicture;
  if (vectorSet == Vectors::None) return;
  const std::size_t samples = std::size_t(width) * height;
  for (int picture = 0; picture < 2; ++picture) {
    const std::uint8_t* from = picture == 0 ? frame : reference;
    std::uint8_t* red = planes.data() + (3 * picture) * planeLength + planeMargin;
    std::uint8_t* green = red + planeLength;
    std::uint8_t* blue = green + planeLength;
    for (std::size_t i = 0; i < samples; ++i) {
      red[i] = static_cast<std::uint8_t>(palette.red(from[i]));
      green[i] = static_cast<std::uint8_t>(palette.green(from[i]));
      blue[i] = static_cast<std::uint8_t>(palette.blue(from[i]));
    }
  }
  std::fill(bandReady.begin(), bandReady.end(), 0);
}

void BlockSearch::changeFrame(const std::uint8_t* newFrame) {
  const std::uint8_t* oldFrame = frame;
  frame = newFrame;
  if (vectorSet == Vectors::None) return;
  std::uint8_t* red = planes.data() + planeMargin;
  std::uint8_t* green = red + planeLength;
  std::uint8_t* blue = green + planeLength;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t i = std::size_t(y) * width + x;
      if (newFrame[i] == oldFrame[i]) continue;
      red[i] = static_cast<std::uint8_t>(palette.red(newFrame[i]));
      green[i] = static_cast<std::uint8_t>(palette.green(newFrame[i]));
      blue[i] = static_cast<std::uint8_t>(palette.blue(newFrame[i]));
      // The copy sums of the sample's band and columns are made again.
      bandReady[std::size_t(y / 4) * sumGroups() + x / kSumColumns] = 0;
    }
  }
}

copy_tables::ChannelPlanes BlockSearch::channelPlanes(int picture) const {
  const std::uint8_t* red = planes.data() + (3 * picture) * planeLength + planeMargin;
  return {red, red + planeLength, red + 2 * planeLength};
}

#if VANTREL_X86_VECTORS
const std::int32_t* BlockSearch::bandCopySums(int band, int x) const {
  std::int32_t* sums =
      copySums.data() + std::size_t(band) * (width / 4) * copy_tables::kCandidateSlots;
  const int group = x / kSumColumns;
  std::uint8_t& ready = bandReady[std::size_t(band) * sumGroups() + group];
  if (ready == 0) {
    const int start = band * 4 * width;
    const int first = group * kSumColumns;
    const int end = std::min(width, first + kSumColumns);
    if (vectorSet == Vectors::Avx2) {
      block_search_avx2::copySums4(channelPlanes(0), channelPlanes(1), width, start,
                                   first, end, searchOrder, sums);
    } else {
      block_search_sse41::copySums4(channelPlanes(0), channelPlanes(1), width, start,
                                    first, end, searchOrder, sums);
    }
    ready = 1;
  }
  return sums;
}
#endif

std::int64_t BlockSearch::blockError(const std::uint8_t* picture, int level,
                                     int offset) const {
  const int side = blockSide(level);
  std::int64_t sum = 0;
  for (int r = 0; r < side; ++r) {
    const std::uint8_t* have = picture + offset + r * width;
    const std::uint8_t* want = frame + offset + r * width;
    for (int c = 0; c < side; ++c) sum += palette.distance(have[c], want[c]);
  }
  return sum;
}

BlockSearch::Fill BlockSearch::findFillColour(int level, int offset) const {
  const int side = blockSide(level);
  const int first = frame[offset];
  bool uniform = true;
  int red = 0;
  int green = 0;
  int blue = 0;
  for (int r = 0; r < side; ++r) {
    const std::uint8_t* row = frame + offset + r * width;
    for (int c = 0; c < side; ++c) {
      uniform = uniform && row[c] == first;
      red += palette.red(row[c]);
      green += palette.green(row[c]);
      blue += palette.blue(row[c]);
    }
  }
  if (uniform) return Fill{first, 0};

  const int coarse = palette.fineGrid() ? 0 : 1;
  const int shift = kFillShift[level] + coarse;
  const int rounding = kFillRounding[level] << coarse;
  Fill fill;
  fill.colour = palette.nearestInCell(
      (red + rounding) >> shift, (green + rounding) >> shift, (blue + rounding) >> shift);
  const std::int32_t* distance = palette.distanceRow(fill.colour);
  for (int r = 0; r < side; ++r) {
    const std::uint8_t* row = frame + offset + r * width;
    for (int c = 0; c < side; ++c) fill.error += distance[row[c]];
  }
  return fill;
}

bool BlockSearch::copyIsUsable(int source, int side) const {
  // The first bound is the one the stored movies were made with; the second
  // keeps the block's last row inside the picture when the frame is taller
  // than wide, where the first bound alone would reach past its end.
  const long long start = source;
  return start >= 0 && start <= static_cast<long long>(width + 1) * (height - side) &&
         start + static_cast<long long>(side - 1) * (width + 1) <
             static_cast<long long>(width) * height;
}

BlockSearch::Copy BlockSearch::findCopy(int level, int offset) const {
  const int side = blockSide(level);
  Copy copy;
#if VANTREL_X86_VECTORS
  const int x = offset % width;
  const int y = offset / width;
  if (vectorSet != Vectors::None && side >= 4 && x % 4 == 0 && y % 4 == 0) {
    // The same search over the band's sums, the candidates in search order.
    constexpr int kSlots = copy_tables::kCandidateSlots;
    const std::int32_t* parts[4];
    int count = 0;
    for (int band = y / 4; band < (y + side) / 4; ++band) {
      const std::int32_t* sums = bandCopySums(band, x) + std::size_t(x / 4) * kSlots;
      for (int column = 0; column < side / 4; ++column)
        parts[count++] = sums + column * kSlots;
    }
    const int k = block_search_sse41::bestCopy(parts, count, searchOrder, -offset,
                                               copyLimits[level] - offset, copy.error);
    if (k >= 0) copy.displacement = candidateAt(k);
    return copy;
  }
#endif
  std::int64_t best = kNoError;
  for (int k = 0; k < kDisplacementCount; ++k) {
    const int candidate = candidateAt(k);
    const int source = offset + displacements.offset(candidate);
    const std::int64_t cost = displacements.cost(candidate);
    if (cost >= best || !copyIsUsable(source, side)) continue;
    // Stop summing once this candidate can no longer beat the best: the result
    // is the same as a full sum, only faster.
    std::int64_t sum = 0;
    bool beaten = false;
    for (int r = 0; r < side && !beaten; ++r) {
      const std::uint8_t* have = reference + source + r * width;
      const std::uint8_t* want = frame + offset + r * width;
      for (int c = 0; c < side; ++c) sum += palette.distance(have[c], want[c]);
      beaten = sum * 16 + cost >= best;
    }
    if (beaten) continue;
    best = sum * 16 + cost;
    copy.displacement = candidate;
    if (best == 0) break;
  }
  if (copy.displacement >= 0) copy.error = best >> 4;
  return copy;
}

BlockSearch::Pattern BlockSearch::findPattern8(int offset) const {
#if VANTREL_X86_VECTORS
  if (vectorSet == Vectors::Avx2) return findPatternAvx2<8>(offset);
#endif
  return findPattern<8>(offset);
}

BlockSearch::Pattern BlockSearch::findPattern4(int offset) const {
#if VANTREL_X86_VECTORS
  if (vectorSet == Vectors::Avx2) return findPatternAvx2<4>(offset);
#endif
  return findPattern<4>(offset);
}

#if VANTREL_X86_VECTORS

const std::int32_t* BlockSearch::distancesFrom(int colour, const std::uint8_t* samples,
                                               int count) const {
  std::int32_t* row = colourDistances.data() + std::size_t(colour) * 64;
  if (colourStamps[colour] != blockStamp) {
    block_search_avx2::distancesTo(palette.distanceRow(colour), samples, count, row);
    colourStamps[colour] = blockStamp;
  }
  return row;
}

// The pattern search of findPattern with the same candidates, colours and
// errors: the group averages divide by a multiply, each colour's distances to
// the block's samples are gathered once per block, and a pattern's error is a
// vector blend of two such rows. Without an early abandon the errors are
// complete, and the first smallest still wins.
template <int kSide>
BlockSearch::Pattern BlockSearch::findPatternAvx2(int offset) const {
  using Sums = PatternSums<kSide>;
  static const RoundedDivision divide;
  const Sums sums(palette, frame + offset, width);
  const std::array<double, kPatternCount>& ones = patternOnes<kSide>();
  if (++blockStamp == 0) {
    std::fill(colourStamps.begin(), colourStamps.end(), 0u);
    blockStamp = 1;
  }
  auto groupColour = [&](const std::array<int, 3>& sum, int count) {
    return palette.nearestInCell(palette.cellOf(divide(sum[0], count)),
                                 palette.cellOf(divide(sum[1], count)),
                                 palette.cellOf(divide(sum[2], count)));
  };

  // The spread bound of every pattern first, four at a time; the loop then
  // tests it with one multiply.
  alignas(32) std::array<std::uint64_t, kPatternCount> packed;
  for (int index = 0; index < kPatternCount; ++index)
    packed[index] = sums.packedSum(index);
  alignas(32) std::array<double, kPatternCount> num;
  alignas(32) std::array<double, kPatternCount> den;
  block_search_avx2::patternBounds(packed.data(), ones.data(), Sums::kSamples,
                                   sums.total.data(), sums.squares, num.data(),
                                   den.data());

  Pattern best;
  best.error = kNoError;
  double limit = std::numeric_limits<double>::infinity();  // nothing to beat yet
  for (int index = 0; index < kPatternCount; ++index) {
    if (den[index] > 0.0 && num[index] > limit * den[index]) continue;
    const std::uint64_t bits = Sums::patternBits(index);
    const int count1 = static_cast<int>(ones[index]);
    const int count0 = Sums::kSamples - count1;
    const std::array<int, 3> sum1 = Sums::unpack(packed[index]);
    const std::array<int, 3> sum0 = {sums.total[0] - sum1[0], sums.total[1] - sum1[1],
                                     sums.total[2] - sum1[2]};
    int colour0 = count0 > 0 ? groupColour(sum0, count0) : 0;
    const int colour1 = count1 > 0 ? groupColour(sum1, count1) : colour0;
    if (count0 == 0) colour0 = colour1;
    const std::int64_t error = block_search_avx2::patternError(
        distancesFrom(colour0, sums.samples.data(), Sums::kSamples),
        distancesFrom(colour1, sums.samples.data(), Sums::kSamples), bits,
        Sums::kSamples);
    if (error >= best.error) continue;
    best = Pattern{index, colour0, colour1, error};
    if (error == 0) break;
    limit = static_cast<double>(256 * (error - 1) + 127 * Sums::kSamples);
  }
  return best;
}
#endif

template <int kSide>
BlockSearch::Pattern BlockSearch::findPattern(int offset) const {
  constexpr int kSamples = kSide * kSide;
  const PatternSums<kSide> sums(palette, frame + offset, width);
  const auto& samples = sums.samples;
  const auto& total = sums.total;

  Pattern best;
  best.error = kNoError;
  for (int index = 0; index < kPatternCount; ++index) {
    const std::uint64_t bits = PatternSums<kSide>::patternBits(index);
    const int count1 = std::popcount(bits);
    const int count0 = kSamples - count1;
    const std::array<int, 3> sum1 = sums.sumOf(index);
    // Each group takes the colour nearest to its rounded average. The tables
    // hold no empty group; should one occur it borrows the other group's colour.
    auto groupColour = [&](const std::array<int, 3>& sum, int count) {
      return palette.nearestInCell(palette.cellOf((sum[0] + count / 2) / count),
                                   palette.cellOf((sum[1] + count / 2) / count),
                                   palette.cellOf((sum[2] + count / 2) / count));
    };
    const std::array<int, 3> sum0 = {total[0] - sum1[0], total[1] - sum1[1],
                                     total[2] - sum1[2]};
    if (best.error != kNoError && sums.cannotBeat(best.error, sum1, sum0, count1, count0))
      continue;
    int colour0 = count0 > 0 ? groupColour(sum0, count0) : 0;
    int colour1 = count1 > 0 ? groupColour(sum1, count1) : colour0;
    if (count0 == 0) colour0 = colour1;

    const std::int32_t* distance0 = palette.distanceRow(colour0);
    const std::int32_t* distance1 = palette.distanceRow(colour1);
    std::int64_t error = 0;
    bool abandoned = false;
    for (int r = 0; r < kSide && !abandoned; ++r) {
      for (int c = 0; c < kSide; ++c) {
        const int i = r * kSide + c;
        error += ((bits >> i) & 1) != 0 ? distance1[samples[i]] : distance0[samples[i]];
      }
      abandoned = error >= best.error;
    }
    if (abandoned) continue;
    best = Pattern{index, colour0, colour1, error};
    if (error == 0) break;
  }
  return best;
}

}  // namespace vantrel
