#pragma once

#include <cstdint>

#include "codec/CodecPalette.h"
#include "codec/ImpactDistance.h"

namespace vantrel {

// Writes key frame records: pictures that stand alone. 160-column frames are
// sent sample for sample; every other width is sent as one palette index per
// 2 x 2 group (the index nearest to the group's average colour), which the
// reconstruction repeats in all four samples of the group. The best encode
// gives each group instead the sample the player shows closest to the
// group's four samples.
class KeyFrameEncoder {
 public:
  // impact: the best encode's measure (it must outlive the encoder); null for
  // the default encode.
  explicit KeyFrameEncoder(const CodecPalette& colours,
                           const ImpactDistance* impact = nullptr)
      : palette(colours), measure(impact) {}

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
  // The sample with the smallest summed impact on the group's four samples:
  // a palette entry 1 to 254, or a truecolor sample the layout stores for the
  // group's kind of row, from the lowest of the four to the highest.
  std::uint8_t closestGroupSample(const std::uint8_t* frame, int frameWidth, int x,
                                  int y) const;

  const CodecPalette& palette;
  const ImpactDistance* measure;
};

}  // namespace vantrel
