#include "DiscardingStream.h"

#include <sys/types.h>

namespace vantrel::fuzz {
namespace {

ssize_t discard(void*, const char*, std::size_t size) { return static_cast<ssize_t>(size); }

}  // namespace

std::FILE* discardingStream() {
  static std::FILE* stream = [] {
    cookie_io_functions_t functions{};
    functions.write = &discard;
    return fopencookie(nullptr, "w", functions);
  }();
  return stream;
}

}  // namespace vantrel::fuzz
