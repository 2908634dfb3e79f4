#pragma once

#include <cstdint>

namespace vantrel {

// Where the scaled picture lies on the working image and which source window it
// shows. Computed once per encode from the first frame's size.
struct Placement {
  std::int32_t destLeft = 0;
  std::int32_t destTop = 0;  // counted from the top of the working image
  std::int32_t destWidth = 0;
  std::int32_t destHeight = 0;
  double srcX = 0.0;      // left edge of the source window, source pixels
  double srcY = 0.0;      // top edge of the source window
  double srcWidth = 0.0;  // a whole multiple of 4
  double srcHeight = 0.0;
};

}  // namespace vantrel
