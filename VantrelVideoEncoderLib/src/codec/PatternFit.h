#pragma once

#include <cstdint>

#include "codec/BlockSearch.h"
#include "codec/ImpactDistance.h"

namespace vantrel {

// The best encode's two-colour patterns: starting from a pattern the block
// search found, gives each group the colour with the smallest summed
// distance (by a 256 x 256 distance table of the caller's) to the group's
// samples, among the group's own sample values and its current colour
// (rather than only the colour nearest the average), then picks the pattern
// of the table, in either colour order, that those two colours draw with the
// smallest error. (Doing both again changed the pictures by hundredths of a
// decibel.) The result is never worse than start.
class PatternFit {
 public:
  // block: the top-left sample of a side x side block (side 4 or 8) in rows of
  // width samples; start: a pattern for it (its error is worked out here);
  // distances: row a, column b the distance of colour a from sample b.
  static BlockSearch::Pattern fit(const std::uint8_t* block, int width, int side,
                                  BlockSearch::Pattern start,
                                  const std::int32_t* distances,
                                  ImpactDistance::Leaning leaning = {});
};

}  // namespace vantrel
