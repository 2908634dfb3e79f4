#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrel {

// What the file system says about a path, with 64-bit sizes.
struct FileFacts {
  bool exists = false;  // stat succeeded
  int errnoValue = 0;   // the stat failure (ENOENT for a missing file), else 0
  bool regularFile = false;
  std::int64_t size = 0;  // bytes; 0 when unknown
};

// Looks the path up with stat. Never fails: the answer says what went wrong.
FileFacts probeFile(const char* path);

// True when the path names something other than a directory that can be opened
// for reading (it is opened and closed again).
bool canOpenForReading(const char* path);

// Joins a relative name to the current directory (absolute names stay as they
// are; nothing is resolved and the file need not exist). Returns false for an
// empty name, when the current directory is unknown, or when the result is
// longer than maxLength characters.
bool absolutePath(const char* name, std::size_t maxLength, std::string& path);

}  // namespace vantrel
