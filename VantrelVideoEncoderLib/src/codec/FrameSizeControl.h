#pragma once

#include <array>
#include <cstdint>

namespace vantrel {

// Chooses the byte budget of each difference frame. A frame whose first-pass
// error is large compared with the recent frames gets more bytes, a quiet one
// fewer, so that the bytes go where the picture changes. The history holds the
// first-pass error sums of the last four frames that used it; it lives for the
// whole encode (key frames leave it alone).
class FrameSizeControl {
 public:
  // The largest budget: the record buffer less room for the header and the
  // last refinement step.
  static constexpr int kMaxBudget = 65520;

  // Forgets the history (start of an encode).
  void reset() { history = {}; }

  // Returns the budget in bytes for a difference frame whose first pass found
  // weighted error frameSum, and updates the history.
  //   frameIndex < 4: the budget is targetSize (the history is filled).
  //   maxSize >= kMaxBudget: the budget is kMaxBudget (history unchanged).
  //   otherwise: targetSize scaled by frameSum over the sum of the last four
  //   frame sums, rounded, lowered to maxSize, then raised to minSize; minSize
  //   when the history is all zero.
  // maxSize must already be resolved (0 meaning "no limit" is the caller's
  // business). The result never exceeds kMaxBudget, whatever targetSize is.
  int budget(std::int64_t frameSum, int frameIndex, int minSize, int maxSize,
             int targetSize);

  // h0 (newest) to h3.
  const std::array<std::int64_t, 4>& sizeHistory() const { return history; }

 private:
  void shiftIn(std::int64_t frameSum);

  std::array<std::int64_t, 4> history{};
};

}  // namespace vantrel
