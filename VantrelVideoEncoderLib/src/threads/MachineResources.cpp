#include "threads/MachineResources.h"

#include <sched.h>
#include <unistd.h>

#include <thread>

namespace vantrel {

int usableProcessorCount() {
  cpu_set_t processors;
  CPU_ZERO(&processors);
  if (sched_getaffinity(0, sizeof processors, &processors) == 0) {
    const int count = CPU_COUNT(&processors);
    if (count > 0) return count;
  }
  // A mask wider than cpu_set_t (over 1024 processors) or no affinity call:
  // the machine's count.
  const unsigned machine = std::thread::hardware_concurrency();
  return machine > 0 ? static_cast<int>(machine) : 1;
}

std::int64_t physicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageBytes = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageBytes <= 0) return 0;
  return std::int64_t{pages} * pageBytes;
}

}  // namespace vantrel
