#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace vantrel::testing {

// A byte buffer placed right against an inaccessible page, after its last byte
// (Guard::End) or before its first (Guard::Start): touching even one byte
// beyond that edge stops the test with a segmentation fault, with or without a
// sanitizer.
class GuardedBuffer {
 public:
  enum class Guard { Start, End };

  GuardedBuffer(std::size_t size, Guard guard) : bytes(size) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t dataPages = (size + page - 1) / page;
    mappedSize = (dataPages + 2) * page;
    void* mapped = mmap(nullptr, mappedSize, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::runtime_error("mmap failed");
    base = static_cast<std::uint8_t*>(mapped);
    mprotect(base, page, PROT_NONE);
    mprotect(base + (dataPages + 1) * page, page, PROT_NONE);
    data = guard == Guard::Start ? base + page : base + (dataPages + 1) * page - size;
  }
  ~GuardedBuffer() { munmap(base, mappedSize); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  std::uint8_t* get() { return data; }
  const std::uint8_t* get() const { return data; }
  std::size_t size() const { return bytes; }

 private:
  std::size_t bytes;
  std::size_t mappedSize = 0;
  std::uint8_t* base = nullptr;
  std::uint8_t* data = nullptr;
};

}  // namespace vantrel::testing
