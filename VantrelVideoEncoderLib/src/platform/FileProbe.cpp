#include "platform/FileProbe.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <utility>

namespace vantrel {

// Sizes of 2 GiB and more must come through whole.
static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");

FileFacts probeFile(const char* path) {
  FileFacts facts;
  struct stat status {};
  if (!path || ::stat(path, &status) != 0) {
    facts.errnoValue = path ? errno : ENOENT;
    return facts;
  }
  facts.exists = true;
  facts.regularFile = S_ISREG(status.st_mode);
  facts.size = static_cast<std::int64_t>(status.st_size);
  return facts;
}

bool canOpenForReading(const char* path) {
  if (!path) return false;
  int descriptor = ::open(path, O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  // A directory opens on Linux but holds no media; it is not a readable file.
  struct stat status {};
  bool isFile = ::fstat(descriptor, &status) == 0 && !S_ISDIR(status.st_mode);
  ::close(descriptor);
  return isFile;
}

bool absolutePath(const char* name, std::size_t maxLength, std::string& path) {
  if (!name || name[0] == '\0') return false;
  std::string joined;
  if (name[0] == '/') {
    joined = name;
  } else {
    char directory[PATH_MAX];
    if (!::getcwd(directory, sizeof directory)) return false;
    joined = directory;
    if (joined.back() != '/') joined += '/';
    joined += name;
  }
  if (joined.size() > maxLength) return false;
  path = std::move(joined);
  return true;
}

}  // namespace vantrel
