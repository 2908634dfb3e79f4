#include "engine/RateControl.h"

#include <limits>

namespace vantrel {

int RateControl::nextTargetSize(int maxFrameSize) {
  if (maxFrameSize == 0) {
    surplus = 0;
    baseTarget = 0;
  }
  // The carry is 64-bit: over 65535 frames of up to 64 KiB each it can pass the
  // 32-bit range. The target handed on is held within an int.
  const std::int64_t size = baseTarget + surplus / 2;
  if (size > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (size < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(size);
}

void RateControl::frameWritten(int frameIndex, int bytes) {
  if (frameIndex == 0) return;
  surplus += baseTarget - bytes;
}

}  // namespace vantrel
