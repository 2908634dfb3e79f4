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

}  // namespace

void ImpactDistance::build(const std::uint32_t* palette, int depthCode, int frameWidth,
                           int frameHeight) {
  width = frameWidth;
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
    sixteenths[0][s] =
        static_cast<std::int32_t>(std::lround(16.0 * shownLuma(s, depthCode)));
    sixteenths[1][s] = static_cast<std::int32_t>(
        std::lround(16.0 * kChromaShare * shownBlueDifference(s, depthCode)));
    sixteenths[2][s] = static_cast<std::int32_t>(
        std::lround(16.0 * kChromaShare * shownRedDifference(s, depthCode)));
    meanings[0].push_back(shownColour(shownLuma(s, depthCode), 0.0, 0.0));
    meanings[1].push_back(shownColour(kMidGray, shownBlueDifference(s, depthCode), 0.0));
    meanings[2].push_back(shownColour(kMidGray, 0.0, shownRedDifference(s, depthCode)));
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

std::int64_t ImpactDistance::leanChange(const std::int32_t* table,
                                        const std::uint8_t* have, int rowStep,
                                        int columnStep, const std::uint8_t* want,
                                        int side) const {
  const std::int32_t* level = sixteenths[(table - tables.data()) / kTableSize].data();
  const std::int32_t* lean = leans + (want - leanFrame);
  std::int64_t sum = 0;
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) {
      const int i = r * width + c;
      sum += std::int64_t{lean[i]} *
             (level[have[r * rowStep + c * columnStep]] - level[want[i]]);
    }
  }
  return sum / 256;
}

std::int64_t ImpactDistance::blockError(const std::int32_t* table, const std::uint8_t* have,
                                        const std::uint8_t* want, int side) const {
  std::int64_t sum = 0;
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) sum += table[have[r * width + c] * kEntries + want[r * width + c]];
  }
  if (leans != nullptr)
    sum = std::max<std::int64_t>(0, sum + leanChange(table, have, width, 1, want, side));
  return sum;
}

std::int64_t ImpactDistance::fillError(const std::int32_t* table, int colour,
                                       const std::uint8_t* want, int side) const {
  const std::int32_t* row = table + colour * kEntries;
  std::int64_t sum = 0;
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) sum += row[want[r * width + c]];
  }
  if (leans != nullptr) {
    const std::uint8_t one = static_cast<std::uint8_t>(colour);
    sum = std::max<std::int64_t>(0, sum + leanChange(table, &one, 0, 0, want, side));
  }
  return sum;
}

}  // namespace vantrel
