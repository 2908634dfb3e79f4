// The libFuzzer entry of one fuzz program; VANTREL_FUZZ_ENTRY names the
// target's function (set per program in CMakeLists.txt).

#include <cstddef>
#include <cstdint>

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vantrel::fuzz::VANTREL_FUZZ_ENTRY(data, size);
}
