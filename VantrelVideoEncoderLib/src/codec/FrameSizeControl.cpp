#include "codec/FrameSizeControl.h"

#include <algorithm>
#include <cmath>

namespace vantrel {

void FrameSizeControl::shiftIn(std::int64_t frameSum) {
  history[3] = history[2];
  history[2] = history[1];
  history[1] = history[0];
  history[0] = frameSum;
}

int FrameSizeControl::budget(std::int64_t frameSum, int frameIndex, int minSize,
                             int maxSize, int targetSize) {
  int result = 0;
  if (frameIndex < 4) {
    // Too few frames to compare with: take the target as it is.
    shiftIn(frameSum);
    result = targetSize;
  } else if (maxSize >= kMaxBudget) {
    result = kMaxBudget;
  } else {
    const std::int64_t recent = history[0] + history[1] + history[2] + history[3];
    shiftIn(frameSum);
    if (recent == 0) {
      result = minSize;
    } else {
      double scaled = std::trunc(
          static_cast<double>(frameSum) / static_cast<double>(recent) * targetSize + 0.5);
      // Limit in double: a quiet history can make the ratio far too large for int.
      if (scaled > maxSize) scaled = maxSize;
      if (scaled < minSize) scaled = minSize;
      result = static_cast<int>(scaled);
    }
  }
  // A large running surplus in targetSize (or a large minSize) must still leave
  // the record inside its buffer.
  return std::min(result, kMaxBudget);
}

}  // namespace vantrel
