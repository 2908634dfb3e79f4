#pragma once

#include <optional>

#include "PictureConversion.h"

namespace vantrel::inspect {

// Peak signal-to-noise ratio of two pictures of the same size, in decibels:
// 10 log10(255^2 / MSE), the mean squared error taken over every red, green
// and blue sample. Identical pictures give +infinity; pictures of different
// sizes (or empty ones) give no value.
std::optional<double> picturePsnr(const RgbPicture& a, const RgbPicture& b);

// The value identical pictures count as in a mean, so that one identical
// frame does not make the mean infinite.
constexpr double kIdenticalPsnr = 100.0;

// Per-frame PSNR values gathered into a mean and the worst frame.
class PsnrSummary {
 public:
  // Adds frame's value; values above kIdenticalPsnr (infinity) count as it.
  void add(int frame, double psnr);

  int count() const { return frames; }
  int identicalCount() const { return identical; }
  // The mean of the (capped) values; 0 when none were added.
  double mean() const;
  double lowest() const { return worst; }
  int lowestFrame() const { return worstFrame; }

 private:
  int frames = 0;
  int identical = 0;
  double sum = 0.0;
  double worst = 0.0;
  int worstFrame = -1;
};

}  // namespace vantrel::inspect
