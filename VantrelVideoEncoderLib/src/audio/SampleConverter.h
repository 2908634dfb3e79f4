#pragma once

#include <cstdint>
#include <optional>

#include "sources/AudioStreamSource.h"

namespace vantrel {

// Turns raw sample frames, as an audio source delivers them, into mono floats near
// the range -1..1. The conversion is chosen once per stream from its format:
//   16-bit (9 or more bits), mono:    s * 2^-15
//   16-bit, two or more channels:     (l + r) * 2^-16
//   8-bit A-law (tag 6) or mu-law (7), mono:   G.711 expansion v * 2^-16
//   8-bit A-law or mu-law, stereo:             (vl + vr) * 2^-17
//   8-bit other, mono:                (u - 128) * 2^-7
//   8-bit other, stereo:              (a + b - 256) * 2^-8
// Only the first two channels are read. Frames lie frameStride() bytes apart:
// blockAlign, rounded down to even for 16-bit input.
class SampleConverter {
 public:
  enum class Layout { Pcm16Mono, Pcm16Stereo, ALawMono, ALawStereo, MuLawMono, MuLawStereo,
                      Pcm8Mono, Pcm8Stereo };

  // The converter for a stream, or nothing when the format cannot be read safely:
  // no channels, or frames too narrow to hold the samples read from them.
  static std::optional<SampleConverter> forStream(const AudioStreamInfo& info);

  Layout layout() const { return frameLayout; }
  // Bytes from one sample frame to the next.
  int frameStride() const { return strideBytes; }

  // Converts frames sample frames starting at raw into frames floats at out.
  void convert(const std::uint8_t* raw, int frames, float* out) const;

 private:
  SampleConverter(Layout layout, int stride) : frameLayout(layout), strideBytes(stride) {}

  Layout frameLayout;
  int strideBytes;
};

}  // namespace vantrel
