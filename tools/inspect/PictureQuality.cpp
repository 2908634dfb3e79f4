#include "PictureQuality.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace vantrel::inspect {

std::optional<double> picturePsnr(const RgbPicture& a, const RgbPicture& b) {
  if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size() ||
      a.rgb.empty()) {
    return std::nullopt;
  }
  // Squared differences summed exactly; a 320 x 480 picture stays far below 2^63.
  std::uint64_t squares = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) {
    const int difference = int(a.rgb[i]) - int(b.rgb[i]);
    squares += std::uint64_t(difference * difference);
  }
  if (squares == 0) return std::numeric_limits<double>::infinity();
  const double meanSquare = double(squares) / double(a.rgb.size());
  return 10.0 * std::log10(255.0 * 255.0 / meanSquare);
}

void PsnrSummary::add(int frame, double psnr) {
  const double counted = psnr > kIdenticalPsnr ? kIdenticalPsnr : psnr;
  if (std::isinf(psnr)) ++identical;
  if (frames == 0 || counted < worst) {
    worst = counted;
    worstFrame = frame;
  }
  sum += counted;
  ++frames;
}

double PsnrSummary::mean() const { return frames == 0 ? 0.0 : sum / frames; }

}  // namespace vantrel::inspect
