#include "codec/ImpactDistance.h"

#include <algorithm>
#include <cmath>

#include "image/ColourGrid.h"
#include "image/ColourReduction.h"
#include "image/TruecolorShown.h"

namespace vantrel {

namespace {

constexpr int kEntries = 256;
constexpr int kTableSize = kEntries * kEntries;
// A colour-difference sample covers four pixels, but counts as three: judged
// on mid gray, its differences are overstated for the many pixels near black
// or white, where the player's channels clamp; the best-encode benchmark
// gains most around this weight (two before the codes were judged against
// the picture).
constexpr int kChromaPixels = 3;

// Colour differences are judged on mid gray, luma without colour.
constexpr double kMidGray = 128.0;

// What a level of each colour difference adds to the three channels in all.
constexpr double kBlueShareSum = kBlueShares[0] + kBlueShares[1] + kBlueShares[2];
constexpr double kRedShareSum = kRedShares[0] + kRedShares[1] + kRedShares[2];

}  // namespace

void ImpactDistance::build(const std::uint32_t* palette, int depthCode, int frameWidth,
                           int frameHeight) {
  width = frameWidth;
  depth = depthCode;
  if (depthCode != kTruecolorDepth && depthCode != kTruecolorPlusDepth) {
    chromaStart = frameWidth * frameHeight;
    tables.assign(kTableSize, 0);
    for (Levels& kind : levels) kind.samples.clear();
    for (int a = 0; a < kEntries; ++a) {
      for (int b = 0; b < kEntries; ++b)
        tables[a * kEntries + b] = rgbSquaredDifference(palette[a], palette[b]);
    }
    return;
  }
  // frameHeight is the stored height: luma rows, then half as many rows of
  // colour differences.
  chromaStart = frameWidth * (frameHeight * 2 / 3);
  tables.assign(3 * kTableSize, 0);
  std::vector<std::uint32_t> meanings[3];
  // A lean is the slope of the whole error; a colour difference's counts at
  // the share of its pixels that the tables count.
  constexpr double kChromaShare = kChromaPixels / 4.0;
  for (int s = 0; s < kEntries; ++s) {
    shown[0][s] = shownLuma(s, depthCode);
    shown[1][s] = shownBlueDifference(s, depthCode);
    shown[2][s] = shownRedDifference(s, depthCode);
    sixteenths[0][s] = static_cast<std::int32_t>(std::lround(16.0 * shown[0][s]));
    sixteenths[1][s] =
        static_cast<std::int32_t>(std::lround(16.0 * kChromaShare * shown[1][s]));
    sixteenths[2][s] =
        static_cast<std::int32_t>(std::lround(16.0 * kChromaShare * shown[2][s]));
    meanings[0].push_back(shownColour(shown[0][s], 0.0, 0.0));
    meanings[1].push_back(shownColour(kMidGray, shown[1][s], 0.0));
    meanings[2].push_back(shownColour(kMidGray, 0.0, shown[2][s]));
  }
  for (int kind = 0; kind < 3; ++kind) {
    // The stored samples in level order: lumas, or colour-difference steps.
    Levels& stored = levels[kind];
    stored.samples.clear();
    stored.place.fill(-1);
    const auto add = [&stored](int sample) {
      stored.place[sample] = static_cast<std::int16_t>(stored.samples.size());
      stored.samples.push_back(static_cast<std::uint8_t>(sample));
    };
    if (kind == 0) {
      for (int s = firstStoredLuma(depthCode); s <= lastStoredLuma(depthCode); ++s) {
        if (lumaIsStored(s, depthCode)) add(s);
      }
    } else {
      for (int step = firstDifferenceStep(depthCode);
           step <= lastDifferenceStep(depthCode); ++step) {
        add(kind == 1 ? blueDifferenceSample(step, depthCode)
                      : redDifferenceSample(step, depthCode));
      }
    }
    // Samples the layout does not store (a copy may bring luma into the
    // colour-difference rows) lean no further than the last stored level.
    const auto [lowest, highest] =
        std::minmax_element(stored.samples.begin(), stored.samples.end(),
                            [&](std::uint8_t a, std::uint8_t b) {
                              return sixteenths[kind][a] < sixteenths[kind][b];
                            });
    const std::int32_t low = sixteenths[kind][*lowest];
    const std::int32_t high = sixteenths[kind][*highest];
    for (std::int32_t& level : sixteenths[kind]) level = std::clamp(level, low, high);
    const int pixels = kind == 0 ? 1 : kChromaPixels;
    std::int32_t* table = &tables[kind * kTableSize];
    for (int a = 0; a < kEntries; ++a) {
      for (int b = 0; b < kEntries; ++b) {
        table[a * kEntries + b] =
            pixels * rgbSquaredDifference(meanings[kind][a], meanings[kind][b]);
      }
    }
  }
}

const std::int32_t* ImpactDistance::tableAt(int offset) const {
  if (offset < chromaStart) return tables.data();
  const int column = (offset - chromaStart) % width;
  return &tables[(column < width / 2 ? 1 : 2) * kTableSize];
}

const ImpactDistance::Levels* ImpactDistance::levelsAt(int offset) const {
  if (levels[0].samples.empty()) return nullptr;
  if (offset < chromaStart) return &levels[0];
  const int column = (offset - chromaStart) % width;
  return &levels[column < width / 2 ? 1 : 2];
}

void ImpactDistance::setLeans(const std::uint8_t* frame,
                              const std::int32_t* sampleLeans) {
  leanFrame = frame;
  leans = sampleLeans;
}

ImpactDistance::Leaning ImpactDistance::leaningAt(int offset) const {
  if (leans == nullptr) return {};
  return {leans + offset,
          sixteenths[(tableAt(offset) - tables.data()) / kTableSize].data()};
}

bool ImpactDistance::leansUnder(const std::uint8_t* decoded,
                                std::vector<std::uint8_t>& samples,
                                std::vector<std::int32_t>& out) const {
  if (leans == nullptr) return false;
  const int count = chromaStart / 2 * 3;
  samples.assign(leanFrame, leanFrame + count);
  out.assign(leans, leans + count);
  const Levels& lumas = levels[0];
  const std::int32_t* level = sixteenths[0].data();
  const int last = static_cast<int>(lumas.samples.size()) - 1;
  const int half = width / 2;
  bool moved = false;
  for (int group = 0; group < chromaStart / 4; ++group) {
    const int u = chromaStart + group / half * width + group % half;
    const int v = u + half;
    const double blue = shown[1][leanFrame[u]];
    const double red = shown[2][leanFrame[v]];
    const double moveBlue = shown[1][decoded[u]] - blue;
    const double moveRed = shown[2][decoded[v]] - red;
    if (moveBlue == 0.0 && moveRed == 0.0) continue;
    const int top = group / half * 2 * width + group % half * 2;
    const int at[4] = {top, top + 1, top + width, top + width + 1};
    // Groups whose shown channels clamp have no leans (ClosestSamples::groupLeans).
    bool clamps = false;
    for (int i : at) {
      for (double c : shownChannels(shown[0][leanFrame[i]], blue, red))
        clamps = clamps || c <= 0.0 || c >= 255.0;
    }
    if (clamps) continue;
    // A luma's lean moves by twice the channels' summed shares of the
    // colour differences' moves.
    const auto move = static_cast<std::int32_t>(
        std::lround(16.0 * 2.0 * (kBlueShareSum * moveBlue + kRedShareSum * moveRed)));
    if (move == 0) continue;
    moved = true;
    for (int i : at) {
      // The stored luma with the least error under the moved lean; the error
      // of a luma is a parabola (three channels, each off by the level).
      const int sample = leanFrame[i];
      const std::int32_t lean = leans[i] + move;
      const auto error = [&](int s) {
        return tables[s * kEntries + sample] +
               std::int64_t{lean} * (level[s] - level[sample]) / 256;
      };
      int place = lumas.place[sample];
      if (place < 0) {
        out[i] = lean;
        continue;
      }
      const int step = lean > 0 ? -1 : 1;
      while (place + step >= 0 && place + step <= last &&
             error(lumas.samples[place + step]) < error(lumas.samples[place])) {
        place += step;
      }
      // There the slope has grown by six per level (three channels, each
      // squared).
      const int best = lumas.samples[place];
      samples[i] = static_cast<std::uint8_t>(best);
      out[i] = lean + 6 * (level[best] - level[sample]);
    }
  }
  return moved;
}

template <bool kOneColour>
std::int64_t ImpactDistance::summedError(const std::int32_t* table,
                                         const std::uint8_t* have,
                                         const std::uint8_t* want, int side) const {
  const auto shows = [&](int i) { return kOneColour ? have[0] : have[i]; };
  // A block of the U half whose right columns lie in the V half (at widths
  // whose half is not a multiple of 8, as 108 of 216) measures those columns
  // as V samples.
  const std::int32_t* tableOf[2] = {table, table};
  int split = side;
  const std::ptrdiff_t offset = leanFrame != nullptr ? want - leanFrame : -1;
  if (table == &tables[kTableSize] && offset >= chromaStart) {
    const int column = static_cast<int>((offset - chromaStart) % width);
    if (column + side > width / 2) {
      split = width / 2 - column;
      tableOf[1] = &tables[2 * kTableSize];
    }
  }
  std::int64_t sum = 0;
  if (leans == nullptr) {
    for (int r = 0; r < side; ++r) {
      for (int c = 0; c < side; ++c) {
        const int i = r * width + c;
        sum += tableOf[c >= split][shows(i) * kEntries + want[i]];
      }
    }
    return sum;
  }
  // Against the picture: each sample's lean times the change of its level,
  // summed in sixteenths squared; a block that errs toward the picture can
  // come out below its samples' own error, but never below none.
  const std::int32_t* levelOf[2];
  for (int k = 0; k < 2; ++k)
    levelOf[k] = sixteenths[(tableOf[k] - tables.data()) / kTableSize].data();
  const std::int32_t* lean = leans + offset;
  std::int64_t leanSum = 0;
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) {
      const int i = r * width + c;
      const std::int32_t* level = levelOf[c >= split];
      sum += tableOf[c >= split][shows(i) * kEntries + want[i]];
      leanSum += std::int64_t{lean[i]} * (level[shows(i)] - level[want[i]]);
    }
  }
  return std::max<std::int64_t>(0, sum + leanSum / 256);
}

std::int64_t ImpactDistance::blockError(const std::int32_t* table, const std::uint8_t* have,
                                        const std::uint8_t* want, int side) const {
  return summedError<false>(table, have, want, side);
}

std::int64_t ImpactDistance::fillError(const std::int32_t* table, int colour,
                                       const std::uint8_t* want, int side) const {
  const std::uint8_t one = static_cast<std::uint8_t>(colour);
  return summedError<true>(table, &one, want, side);
}

}  // namespace vantrel
