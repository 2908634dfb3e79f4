#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codec/CodecPalette.h"
#include "codec/ImpactDistance.h"

namespace vantrel {

// Writes key frame records: pictures that stand alone. 160-column frames are
// sent sample for sample; every other width is sent as one byte per 2 x 2
// group, which the reconstruction repeats in all four samples of the group.
// In the 8-bit modes that byte is the palette index nearest to the group's
// average colour. In the truecolor layouts (codes 24 and 25) the player reads
// it as the kind of sample of its place (luma, or the U or V half of a
// colour-difference row), so it is the stored sample of that kind whose
// shown level is nearest to the mean of the four samples' shown levels (ties:
// the lower level). The best encode gives each group instead the sample the
// player shows closest to the group's four samples.
class KeyFrameEncoder {
 public:
  // impact: the best encode's measure (it must outlive the encoder); null for
  // the default encode. depthCode: the colour code (24 and 25 are the
  // truecolor layouts; not used with impact, which knows the layout).
  explicit KeyFrameEncoder(const CodecPalette& colours,
                           const ImpactDistance* impact = nullptr, int depthCode = 0);

  // Length of the key frame record before any padding byte.
  static int recordLength(int frameWidth, int frameHeight, bool withPalette);

  // Writes the record for frame (frameWidth x frameHeight samples, both even)
  // into out, which must hold recordLength(...) + 1 bytes, and the decoded
  // picture into recon (frameWidth x frameHeight). withPalette sends palette
  // entries 1 to 254 (the first frame of a movie). padEven appends a zero byte
  // when the length would be odd and sets the padding flag. Returns the length.
  int encode(std::uint8_t* out, const std::uint8_t* frame, std::uint8_t* recon,
             int frameWidth, int frameHeight, bool withPalette, bool padEven) const;

 private:
  // The palette index standing for one 2 x 2 group at (x, y).
  std::uint8_t groupColour(const std::uint8_t* frame, int frameWidth, int x, int y) const;
  // The truecolor sample standing for one 2 x 2 group at (x, y) of a frame
  // with lumaRows rows of luma.
  std::uint8_t groupSample(const std::uint8_t* frame, int frameWidth, int lumaRows, int x,
                           int y) const;
  // The sample with the smallest summed impact on the group's four samples:
  // a palette entry 1 to 254, or a truecolor sample the layout stores for the
  // group's kind of row, from the lowest of the four to the highest.
  std::uint8_t closestGroupSample(const std::uint8_t* frame, int frameWidth, int x,
                                  int y) const;

  const CodecPalette& palette;
  const ImpactDistance* measure;
  // Truecolor layouts, for luma, U and V: every byte's shown level in 256ths
  // of a level, and the samples the layout stores in ascending level (none in
  // the 8-bit modes).
  struct ShownLevels {
    std::array<std::int32_t, 256> level{};
    std::vector<std::uint8_t> stored;
  };
  std::array<ShownLevels, 3> kinds;
};

}  // namespace vantrel
