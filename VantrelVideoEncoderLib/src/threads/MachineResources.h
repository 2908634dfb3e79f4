#pragma once

#include <cstdint>

namespace vantrel {

// Processors this process may run on (its affinity mask, which a container or
// `taskset` may narrow below the machine's count); at least 1.
int usableProcessorCount();

// Bytes of physical memory of the machine, or 0 when the system does not say.
std::int64_t physicalMemoryBytes();

}  // namespace vantrel
