#pragma once

#include <cstddef>
#include <string>

namespace vantrel {

// An output file that appears only complete. It is written under a temporary
// name in the destination's folder (".NAME-XXXXXX.EXT", the same extension)
// and renamed onto the destination once written and closed, so a failure never
// leaves half a file and never touches an earlier file of the destination's
// name. A destination that exists and is not a regular file (a device such as
// /dev/null, a pipe) is written in place and never renamed over or removed.
// A symbolic link to a regular file has its target replaced, and a replaced
// file keeps its permissions. SIGINT, SIGTERM
// and SIGHUP (unless handled or ignored already) remove the temporary files
// before they end the process.
class FileReplacement {
 public:
  FileReplacement() = default;
  // Removes the temporary file unless commit() has put it in place.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Chooses where destination is written and, for a regular destination,
  // creates the empty temporary file there. Returns an empty string, or why
  // nothing can be written (the folder is missing or not writable).
  std::string begin(const std::string& destination);

  // The path to open for writing: the temporary file, or the destination
  // itself when it is written in place. Empty before begin().
  const std::string& writePath() const { return temporary.empty() ? target : temporary; }

  // True when the destination is written in place (not a regular file).
  bool inPlace() const { return direct; }

  // Renames the written and closed temporary file onto the destination.
  // Returns an empty string, or why not (the temporary file is then removed).
  std::string commit();

  // Removes the temporary file, if any; a destination written in place stays.
  void discard();

 private:
  void release();  // forgets the temporary file

  std::string target;     // the destination (a link's target)
  std::string temporary;  // empty when written in place or once settled
  int slot = -1;          // where the signal handler finds temporary
  bool direct = false;    // the destination is written in place
};

// Writes bytes to destination through a FileReplacement. Returns false when
// the file cannot be created, written, closed or put in place.
bool writeWholeFile(const std::string& destination, const void* bytes, std::size_t size);

}  // namespace vantrel
