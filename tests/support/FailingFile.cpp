#include "support/FailingFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vantrel::test {

FailingFile::FailingFile(std::size_t sizeLimit, bool buffered) : limit(sizeLimit) {
  cookie_io_functions_t functions{};
  functions.read = &FailingFile::readCookie;
  functions.write = &FailingFile::writeCookie;
  functions.seek = &FailingFile::seekCookie;
  functions.close = nullptr;
  stream = fopencookie(this, "w+", functions);
  if (stream != nullptr && !buffered) std::setvbuf(stream, nullptr, _IONBF, 0);
}

FailingFile::~FailingFile() {
  if (stream != nullptr) std::fclose(stream);
}

const std::vector<std::uint8_t>& FailingFile::contents() {
  if (stream != nullptr) std::fflush(stream);
  return data;
}

ssize_t FailingFile::writeCookie(void* cookie, const char* bytes, std::size_t size) {
  FailingFile& self = *static_cast<FailingFile*>(cookie);
  if (self.rewritesFail && self.position < self.data.size()) {
    ++self.failures;
    errno = EIO;
    return -1;
  }
  const std::size_t room = self.limit - std::min(self.limit, self.position);
  const std::size_t taken = std::min(room, size);
  if (self.position + taken > self.data.size()) self.data.resize(self.position + taken);
  if (taken > 0) std::memcpy(self.data.data() + self.position, bytes, taken);
  self.position += taken;
  if (taken < size) {
    // A full disk: what fitted is kept, the write as a whole fails.
    ++self.failures;
    errno = ENOSPC;
    return -1;
  }
  return static_cast<ssize_t>(size);
}

ssize_t FailingFile::readCookie(void* cookie, char* bytes, std::size_t size) {
  FailingFile& self = *static_cast<FailingFile*>(cookie);
  const std::size_t available = self.data.size() - std::min(self.data.size(), self.position);
  const std::size_t count = std::min(available, size);
  if (count > 0) std::memcpy(bytes, self.data.data() + self.position, count);
  self.position += count;
  return static_cast<ssize_t>(count);
}

int FailingFile::seekCookie(void* cookie, off64_t* offset, int whence) {
  FailingFile& self = *static_cast<FailingFile*>(cookie);
  off64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<off64_t>(self.position);
  if (whence == SEEK_END) base = static_cast<off64_t>(self.data.size());
  const off64_t target = base + *offset;
  if (target < 0) {
    errno = EINVAL;
    return -1;
  }
  self.position = static_cast<std::size_t>(target);
  *offset = target;
  return 0;
}

}  // namespace vantrel::test
