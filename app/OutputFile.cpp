#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace vantrel {

namespace {

// The folder part of path ("." when it has none) and its last component.
void splitPath(const std::string& path, std::string& folder, std::string& name) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    folder = ".";
    name = path;
  } else {
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

// The permissions a file created by fopen would get.
mode_t newFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const std::string& path) {
  discard();
  target = path;
  mode_t mode = newFileMode();
  struct stat status {};
  if (lstat(path.c_str(), &status) == 0) {
    // A link is followed so that the file it names is replaced, not the link.
    if (S_ISLNK(status.st_mode)) {
      char resolved[PATH_MAX];
      if (stat(path.c_str(), &status) == 0 && realpath(path.c_str(), resolved) != nullptr) {
        target = resolved;
      } else {
        status.st_mode = 0;  // a dangling link: written through, in place
      }
    }
    if (!S_ISREG(status.st_mode)) {
      file = std::fopen(path.c_str(), "wb");
      if (file == nullptr) return false;
      writing = path;
      inPlace = true;
      return true;
    }
    mode = status.st_mode & 07777;
  }

  std::string folder;
  std::string name;
  splitPath(target, folder, name);
  std::string pattern = folder + (folder == "/" ? "." : "/.") + name + ".XXXXXX";
  const int descriptor = mkostemp(pattern.data(), O_CLOEXEC);
  if (descriptor < 0) return false;
  // mkostemp makes the file private; give it the mode the output name has or
  // would have had.
  if (fchmod(descriptor, mode) != 0 || (file = fdopen(descriptor, "wb")) == nullptr) {
    const int error = errno;
    close(descriptor);
    unlink(pattern.c_str());
    errno = error;
    return false;
  }
  writing = pattern;
  inPlace = false;
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
  if (written && !inPlace && std::rename(writing.c_str(), target.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    discard();
    errno = error;
    return false;
  }
  writing.clear();
  return true;
}

void OutputFile::discard() {
  if (file != nullptr) {
    std::fclose(file);
    file = nullptr;
  }
  if (!inPlace && !writing.empty()) unlink(writing.c_str());
  writing.clear();
}

}  // namespace vantrel
