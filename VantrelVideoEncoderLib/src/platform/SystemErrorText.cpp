#include "platform/SystemErrorText.h"

#include <string.h>

namespace vantrel {

bool systemErrorMessage(int errnoValue, std::string& text) {
  // strerrordesc_np tells a known value from an unknown one (strerror would make
  // up "Unknown error N"), and it is thread-safe.
  const char* message = strerrordesc_np(errnoValue);
  if (!message) return false;
  text = message;
  return true;
}

}  // namespace vantrel
