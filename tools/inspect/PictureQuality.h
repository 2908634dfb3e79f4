#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "PictureConversion.h"

namespace vantrel::inspect {

// The squared differences of two pictures of the same size, summed exactly over
// every red, green and blue sample, and the number of samples.
struct PictureDifference {
  std::uint64_t squares = 0;
  std::size_t samples = 0;

  // The peak signal-to-noise ratio of the mean squared error (psnrOf).
  double psnr() const;
};

// The difference of a and b; no value for pictures of different sizes or empty ones.
std::optional<PictureDifference> pictureDifference(const RgbPicture& a, const RgbPicture& b);

// Peak signal-to-noise ratio of a mean squared error, in decibels:
// 10 log10(255^2 / meanSquare); +infinity for a mean squared error of 0.
double psnrOf(double meanSquare);

// Peak signal-to-noise ratio of two pictures of the same size: psnrOf the mean
// squared error over every sample. Identical pictures give +infinity; pictures
// of different sizes (or empty ones) give no value.
std::optional<double> picturePsnr(const RgbPicture& a, const RgbPicture& b);

// The frames of a movie compared with their references, gathered as video tools
// report them: one PSNR from the mean squared error over every sample of every
// frame (so one identical frame does not sway it), and the worst frame.
class PsnrSummary {
 public:
  void add(int frame, const PictureDifference& difference);

  int count() const { return frames; }
  int identicalCount() const { return identical; }
  // PSNR over the whole movie; +infinity when every frame is identical, 0 when
  // nothing was added.
  double psnr() const;
  // The lowest PSNR of a single frame and its number (-1 when none was added).
  double worst() const;
  int worstFrame() const { return worstIndex; }

 private:
  int frames = 0;
  int identical = 0;
  std::uint64_t squares = 0;
  std::uint64_t samples = 0;
  double worstMeanSquare = -1.0;
  int worstIndex = -1;
};

}  // namespace vantrel::inspect
