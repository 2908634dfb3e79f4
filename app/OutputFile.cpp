#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel {

namespace {

// The names under which a program reaches its own standard output.
bool isStandardOutputName(const std::string& path) {
  return path == "-" || path == "/dev/stdout" || path == "/dev/fd/1" ||
         path == "/proc/self/fd/1";
}

// An unnamed file for a movie that must be complete before it is sent on.
int openTemporaryFile() {
  std::FILE* temporary = std::tmpfile();
  if (temporary == nullptr) return -1;
  const int copy = fcntl(fileno(temporary), F_DUPFD_CLOEXEC, 0);
  const int error = errno;
  std::fclose(temporary);
  errno = error;
  return copy;
}

bool writeAll(int descriptor, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t count = write(descriptor, bytes, size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      if (count == 0) errno = EIO;
      return false;
    }
    bytes += count;
    size -= static_cast<std::size_t>(count);
  }
  return true;
}

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::namesStandardOutput(const std::string& path, std::FILE* standardOutput) {
  if (isStandardOutputName(path)) return true;
  struct stat output {};
  struct stat named {};
  return standardOutput != nullptr && fstat(fileno(standardOutput), &output) == 0 &&
         stat(path.c_str(), &named) == 0 && output.st_dev == named.st_dev &&
         output.st_ino == named.st_ino;
}

bool OutputFile::open(const std::string& path) {
  discard();
  if (isStandardOutputName(path)) {
    destination = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (destination < 0) return false;
  } else {
    if (const std::string why = replacement.begin(path); !why.empty()) {
      if (errno == 0) errno = EIO;
      return false;
    }
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    descriptor = ::open(replacement.writePath().c_str(), flags, 0666);
    if (descriptor >= 0 && replacement.inPlace() && lseek(descriptor, 0, SEEK_CUR) < 0) {
      // A pipe, FIFO or terminal: the movie goes there whole, at the end.
      destination = descriptor;
      descriptor = -1;
    }
    if (!replacement.inPlace()) partial = replacement.writePath();
  }
  if (descriptor < 0 && destination >= 0) descriptor = openTemporaryFile();
  cookie_io_functions_t functions{};
  functions.write = &OutputFile::writeCookie;
  functions.seek = &OutputFile::seekCookie;
  if (descriptor >= 0) file = fopencookie(this, "w", functions);
  if (file == nullptr) {
    const int error = errno;
    discard();
    errno = error;
    return false;
  }
  return true;
}

ssize_t OutputFile::writeCookie(void* cookie, const char* bytes, std::size_t size) {
  OutputFile& self = *static_cast<OutputFile*>(cookie);
  if (!writeAll(self.descriptor, bytes, size)) {
    self.failed(errno);
    return -1;
  }
  return static_cast<ssize_t>(size);
}

int OutputFile::seekCookie(void* cookie, off64_t* offset, int whence) {
  const OutputFile& self = *static_cast<OutputFile*>(cookie);
  const off_t position = lseek(self.descriptor, static_cast<off_t>(*offset), whence);
  if (position < 0) return -1;
  *offset = position;
  return 0;
}

bool OutputFile::failed(int error) {
  if (firstError == 0) firstError = error;
  errno = error;
  return false;
}

bool OutputFile::copyOut() {
  if (lseek(descriptor, 0, SEEK_SET) < 0) return failed(errno);
  char buffer[65536];
  for (;;) {
    const ssize_t count = read(descriptor, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return failed(errno);
    if (count == 0) return true;
    if (!writeAll(destination, buffer, static_cast<std::size_t>(count)))
      return failed(errno);
  }
}

bool OutputFile::commit() {
  if (file == nullptr) {
    errno = EBADF;
    return false;
  }
  bool written = std::fflush(file) == 0 && firstError == 0;
  if (!written && firstError != 0) errno = firstError;
  if (written && destination >= 0) written = copyOut();
  // Devices and pipes cannot be synchronised; that is no failure.
  if (written && destination < 0 && fsync(descriptor) != 0 && errno != EINVAL &&
      errno != EROFS) {
    written = failed(errno);
  }
  int error = errno;
  std::fclose(file);
  file = nullptr;
  if (!closeDescriptors() && written) {
    written = failed(errno);
    error = errno;
  }
  if (written && !replacement.commit().empty()) {
    written = false;
    error = errno;
  }
  if (!written) {
    partial.clear();
    replacement.discard();
    errno = error;
    return false;
  }
  partial.clear();
  return true;
}

void OutputFile::discard() {
  if (file != nullptr) {
    std::fclose(file);
    file = nullptr;
  }
  closeDescriptors();
  partial.clear();
  replacement.discard();
}

bool OutputFile::closeDescriptors() {
  bool closed = true;
  for (int* open : {&descriptor, &destination}) {
    // A file system may report a failed write only when the file is closed.
    if (*open >= 0 && close(*open) != 0) closed = false;
    *open = -1;
  }
  return closed;
}

}  // namespace vantrel
