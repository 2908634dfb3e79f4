#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

namespace vantrel::test {

// A writable, seekable stdio stream over memory that behaves like a disk that
// fills up: the file cannot grow past sizeLimit bytes. A write that would take
// it further stores the bytes up to the limit and fails with ENOSPC; writes
// over bytes the file already has still succeed, as on a real disk. With
// failRewrites() every write below the current end fails as well (EIO), which
// makes the final rewrite of a record list fail. Unbuffered streams see a
// failure in the fwrite that causes it; buffered ones (like a file opened with
// fopen) only when the buffer is flushed.
class FailingFile {
 public:
  static constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();

  explicit FailingFile(std::size_t sizeLimit = kUnlimited, bool buffered = false);
  ~FailingFile();
  FailingFile(const FailingFile&) = delete;
  FailingFile& operator=(const FailingFile&) = delete;

  std::FILE* get() const { return stream; }
  // The stored bytes (flushes the stream first).
  const std::vector<std::uint8_t>& contents();
  // From now on, writes below the end of the file fail.
  void failRewrites() { rewritesFail = true; }
  // Writes refused so far.
  int failedWrites() const { return failures; }

 private:
  static ssize_t writeCookie(void* cookie, const char* bytes, std::size_t size);
  static ssize_t readCookie(void* cookie, char* bytes, std::size_t size);
  static int seekCookie(void* cookie, off64_t* offset, int whence);

  std::FILE* stream = nullptr;
  std::vector<std::uint8_t> data;
  std::size_t position = 0;
  std::size_t limit;
  bool rewritesFail = false;
  int failures = 0;
};

}  // namespace vantrel::test
