#pragma once

#include <cstdint>

namespace vantrel {

// The video driver's rate control. Each frame is offered the target frame size
// plus half of the running surplus (carry) of the frames before it; the first
// frame (a key frame with the palette) does not change the carry. With a maximum
// frame size of 0 the rate control is off: carry and target are 0 from that
// frame on.
class RateControl {
 public:
  explicit RateControl(int targetFrameSize) : baseTarget(targetFrameSize) {}

  // Target size for the next frame: target + carry / 2 (truncating toward zero).
  int nextTargetSize(int maxFrameSize);
  // Records the size of frame frameIndex once it is compressed.
  void frameWritten(int frameIndex, int bytes);

  // Running surplus: the sum of target - bytes over the frames after the first.
  std::int64_t carry() const { return surplus; }

 private:
  int baseTarget;
  std::int64_t surplus = 0;
};

}  // namespace vantrel
