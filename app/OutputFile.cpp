#include "OutputFile.h"

#include <unistd.h>

#include <cerrno>

namespace vantrel {

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const std::string& path) {
  discard();
  if (const std::string why = replacement.begin(path); !why.empty()) {
    if (errno == 0) errno = EIO;
    return false;
  }
  file = std::fopen(replacement.writePath().c_str(), "wb");
  if (file == nullptr) {
    const int error = errno;
    replacement.discard();
    errno = error;
    return false;
  }
  return true;
}

bool OutputFile::commit() {
  if (file == nullptr) {
    errno = EBADF;
    return false;
  }
  bool written = std::fflush(file) == 0;
  // Devices and pipes cannot be synchronised; that is no failure.
  if (written && fsync(fileno(file)) != 0 && errno != EINVAL && errno != EROFS) {
    written = false;
  }
  int error = errno;
  if (std::fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  file = nullptr;
  if (written && !replacement.commit().empty()) {
    written = false;
    error = errno;
  }
  if (!written) {
    replacement.discard();
    errno = error;
    return false;
  }
  return true;
}

void OutputFile::discard() {
  if (file != nullptr) {
    std::fclose(file);
    file = nullptr;
  }
  replacement.discard();
}

}  // namespace vantrel
