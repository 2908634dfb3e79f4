#include "codec/KeyFrameEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "codec/FrameRecordFormat.h"
#include "image/ColourReduction.h"
#include "image/TruecolorShown.h"

namespace vantrel {

using namespace frame_record;

KeyFrameEncoder::KeyFrameEncoder(const CodecPalette& colours,
                                 const ImpactDistance* impact, int depthCode)
    : palette(colours), measure(impact) {
  if (depthCode != kTruecolorDepth && depthCode != kTruecolorPlusDepth) return;
  // Levels in 256ths keep the choice in integers, the same on every machine.
  for (int s = 0; s < 256; ++s) {
    kinds[0].level[s] =
        static_cast<std::int32_t>(std::lround(256.0 * shownLuma(s, depthCode)));
    kinds[1].level[s] =
        static_cast<std::int32_t>(std::lround(256.0 * shownBlueDifference(s, depthCode)));
    kinds[2].level[s] =
        static_cast<std::int32_t>(std::lround(256.0 * shownRedDifference(s, depthCode)));
  }
  for (int s = firstStoredLuma(depthCode); s <= lastStoredLuma(depthCode); ++s) {
    if (lumaIsStored(s, depthCode))
      kinds[0].stored.push_back(static_cast<std::uint8_t>(s));
  }
  // Both colour differences rise with their step.
  for (int step = firstDifferenceStep(depthCode); step <= lastDifferenceStep(depthCode);
       ++step) {
    kinds[1].stored.push_back(
        static_cast<std::uint8_t>(blueDifferenceSample(step, depthCode)));
    kinds[2].stored.push_back(
        static_cast<std::uint8_t>(redDifferenceSample(step, depthCode)));
  }
}

int KeyFrameEncoder::recordLength(int frameWidth, int frameHeight, bool withPalette) {
  const int pixelOffset = withPalette ? kPixelOffsetWithPalette : kKeyHeaderSize;
  const int pixelBytes = frameWidth == kFullResolutionWidth
                             ? frameWidth * frameHeight
                             : (frameWidth / 2) * (frameHeight / 2);
  return pixelOffset + pixelBytes;
}

int KeyFrameEncoder::encode(std::uint8_t* out, const std::uint8_t* frame,
                            std::uint8_t* recon, int frameWidth, int frameHeight,
                            bool withPalette, bool padEven) const {
  const int pixelOffset = withPalette ? kPixelOffsetWithPalette : kKeyHeaderSize;
  putBigEndian16(out + kKindOffset, kKeyFrameKind);
  out[kLengthUnitsOffset] = 0;
  out[kPaddingFlagOffset] = padEven ? 1 : 0;
  putBigEndian16(out + kFirstPaletteIndexOffset, kFirstPaletteIndex);
  putBigEndian16(out + kPaletteCountOffset, kPaletteEntryCount);
  putBigEndian32(out + kPaletteOffsetOffset, withPalette ? kKeyHeaderSize : 0);
  putBigEndian32(out + kPixelOffsetOffset, static_cast<std::uint32_t>(pixelOffset));

  if (withPalette) {
    std::uint8_t* entry = out + kKeyHeaderSize;
    for (int i = kFirstPaletteIndex; i < kFirstPaletteIndex + kPaletteEntryCount; ++i) {
      *entry++ = static_cast<std::uint8_t>(palette.red(i));
      *entry++ = static_cast<std::uint8_t>(palette.green(i));
      *entry++ = static_cast<std::uint8_t>(palette.blue(i));
    }
  }

  std::uint8_t* pixels = out + pixelOffset;
  const std::size_t frameBytes = static_cast<std::size_t>(frameWidth) * frameHeight;
  if (frameWidth == kFullResolutionWidth) {
    std::memcpy(recon, frame, frameBytes);
    std::memcpy(pixels, frame, frameBytes);
  } else {
    const bool truecolor = !kinds[0].stored.empty();
    const int lumaRows = frameHeight * 2 / 3;
    for (int y = 0; y + 1 < frameHeight; y += 2) {
      for (int x = 0; x + 1 < frameWidth; x += 2) {
        const std::uint8_t colour =
            measure != nullptr ? closestGroupSample(frame, frameWidth, x, y)
            : truecolor        ? groupSample(frame, frameWidth, lumaRows, x, y)
                               : groupColour(frame, frameWidth, x, y);
        *pixels++ = colour;
        std::uint8_t* top = recon + static_cast<std::size_t>(y) * frameWidth + x;
        top[0] = colour;
        top[1] = colour;
        top[frameWidth] = colour;
        top[frameWidth + 1] = colour;
      }
    }
  }

  int length = recordLength(frameWidth, frameHeight, withPalette);
  if (padEven && (length & 1) != 0) out[length++] = 0;
  out[kLengthUnitsOffset] = static_cast<std::uint8_t>(lengthUnits(length));
  return length;
}

std::uint8_t KeyFrameEncoder::groupColour(const std::uint8_t* frame, int frameWidth,
                                          int x, int y) const {
  const std::uint8_t* top = frame + static_cast<std::size_t>(y) * frameWidth + x;
  const int samples[4] = {top[0], top[1], top[frameWidth], top[frameWidth + 1]};
  int red = 0;
  int green = 0;
  int blue = 0;
  for (int s : samples) {
    red += palette.red(s);
    green += palette.green(s);
    blue += palette.blue(s);
  }
  // The sums of four channels become grid cells directly: / 4 for the average,
  // then / 8 (fine) or / 16 (coarse). Only blue is rounded; stored movies were
  // made with exactly these cells, so the rounding stays as it is.
  const int shift = palette.fineGrid() ? 5 : 6;
  return static_cast<std::uint8_t>(
      palette.nearestInCell(red >> shift, green >> shift, (blue + 2) >> shift));
}

std::uint8_t KeyFrameEncoder::groupSample(const std::uint8_t* frame, int frameWidth,
                                          int lumaRows, int x, int y) const {
  // Averaging the bytes as palette colours would mix kinds: the truecolor
  // tables hold no colour for some stored samples, and the byte written is
  // read back as the kind of its place. Levels of one kind average soundly.
  const ShownLevels& kind = kinds[y < lumaRows ? 0 : x < frameWidth / 2 ? 1 : 2];
  const std::uint8_t* top = frame + static_cast<std::size_t>(y) * frameWidth + x;
  const std::int64_t sum = std::int64_t{kind.level[top[0]]} + kind.level[top[1]] +
                           kind.level[top[frameWidth]] + kind.level[top[frameWidth + 1]];
  // The first stored sample at or above the mean, or the one below it when
  // that is as near or nearer.
  const auto above = std::lower_bound(kind.stored.begin(), kind.stored.end(), sum,
                                      [&kind](std::uint8_t s, std::int64_t mean4) {
                                        return 4 * std::int64_t{kind.level[s]} < mean4;
                                      });
  if (above == kind.stored.begin()) return *above;
  const auto below = above - 1;
  if (above == kind.stored.end() || sum - 4 * std::int64_t{kind.level[*below]} <=
                                        4 * std::int64_t{kind.level[*above]} - sum)
    return *below;
  return *above;
}

std::uint8_t KeyFrameEncoder::closestGroupSample(const std::uint8_t* frame,
                                                 int frameWidth, int x, int y) const {
  const int offset = y * frameWidth + x;
  const std::uint8_t* top = frame + offset;
  const int samples[4] = {top[0], top[1], top[frameWidth], top[frameWidth + 1]};
  const std::int32_t* table = measure->tableAt(offset);
  int first = kFirstPaletteIndex;
  int last = kFirstPaletteIndex + kPaletteEntryCount - 1;
  const ImpactDistance::Levels* levels = measure->levelsAt(offset);
  const ImpactDistance::Leaning leaning = measure->leaningAt(offset);
  const int leanOffsets[4] = {0, 1, frameWidth, frameWidth + 1};
  if (levels != nullptr) {
    first = static_cast<int>(levels->samples.size());
    last = -1;
    for (const int sample : samples) {
      const int place = levels->place[sample];
      if (place < 0) continue;
      first = std::min(first, place);
      last = std::max(last, place);
    }
  }
  // A truecolor group of samples the layout never stores keeps its first.
  int best = samples[0];
  std::int64_t bestError = std::numeric_limits<std::int64_t>::max();
  for (int k = first; k <= last; ++k) {
    const int candidate = levels != nullptr ? levels->samples[k] : k;
    const std::int32_t* row = table + candidate * 256;
    std::int64_t error = std::int64_t{row[samples[0]]} + row[samples[1]] +
                         row[samples[2]] + row[samples[3]];
    if (leaning.leans != nullptr) {
      std::int64_t leanSum = 0;
      for (int i = 0; i < 4; ++i) {
        leanSum += std::int64_t{leaning.leans[leanOffsets[i]]} *
                   (leaning.levels[candidate] - leaning.levels[samples[i]]);
      }
      error += leanSum / 256;
    }
    if (error < bestError) {
      bestError = error;
      best = candidate;
    }
  }
  return static_cast<std::uint8_t>(best);
}

}  // namespace vantrel
