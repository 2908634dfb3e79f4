#include "PictureQuality.h"

#include <cmath>
#include <limits>

namespace vantrel::inspect {

std::optional<PictureDifference> pictureDifference(const RgbPicture& a, const RgbPicture& b) {
  if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size() ||
      a.rgb.empty()) {
    return std::nullopt;
  }
  // Summed exactly; a 320 x 480 picture stays far below 2^63, and so does a
  // movie of 65535 of them.
  PictureDifference difference;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) {
    const int d = int(a.rgb[i]) - int(b.rgb[i]);
    difference.squares += std::uint64_t(d * d);
  }
  difference.samples = a.rgb.size();
  return difference;
}

double psnrOf(double meanSquare) {
  if (meanSquare <= 0.0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(255.0 * 255.0 / meanSquare);
}

double PictureDifference::psnr() const {
  return psnrOf(samples == 0 ? 0.0 : double(squares) / double(samples));
}

std::optional<double> picturePsnr(const RgbPicture& a, const RgbPicture& b) {
  const std::optional<PictureDifference> difference = pictureDifference(a, b);
  if (!difference) return std::nullopt;
  return difference->psnr();
}

void PsnrSummary::add(int frame, const PictureDifference& difference) {
  if (difference.samples == 0) return;
  const double meanSquare = double(difference.squares) / double(difference.samples);
  if (difference.squares == 0) ++identical;
  if (meanSquare > worstMeanSquare) {
    worstMeanSquare = meanSquare;
    worstIndex = frame;
  }
  squares += difference.squares;
  samples += difference.samples;
  ++frames;
}

double PsnrSummary::psnr() const {
  return samples == 0 ? 0.0 : psnrOf(double(squares) / double(samples));
}

double PsnrSummary::worst() const { return worstIndex < 0 ? 0.0 : psnrOf(worstMeanSquare); }

}  // namespace vantrel::inspect
