#pragma once

#include <algorithm>
#include <cstdio>
#include <string>

namespace vantrel {

// Formats one number with a printf format (e.g. "%g", "%i%%"). The buffer holds
// any double printed with "%f"; a longer result is cut, an encoding error gives "".
template <typename Number>
std::string formatNumber(const char* format, Number value) {
  char buffer[512];
  const int length = std::snprintf(buffer, sizeof buffer, format, value);
  if (length <= 0) return {};
  return std::string(buffer,
                     std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
}

}  // namespace vantrel
