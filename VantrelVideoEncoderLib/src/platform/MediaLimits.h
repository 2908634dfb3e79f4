#pragma once

#include <cstdint>

namespace vantrel {

// The largest streams the platform layer opens. A damaged or hostile header can
// claim any size; streams beyond these limits are refused at open, before any
// picture or resampling memory is taken, instead of making the program allocate
// or compute without bound.

// Pictures: 8192 pixels a side and 8192 x 4096 in all (an 8K picture fits).
// A picture that turns out larger than its header said fails to decode.
constexpr int kMaxPictureSide = 8192;
constexpr std::int64_t kMaxPicturePixels = std::int64_t(8192) * 4096;

// Sound: at most 768000 samples per second, the highest rate in real use.
constexpr int kMaxSampleRate = 768000;

}  // namespace vantrel
