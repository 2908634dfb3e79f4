#pragma once

// The output file of a conversion as a standard I/O stream that appears under
// its name only when complete (see FileReplacement): an earlier file of that
// name keeps every byte until the new movie is whole, and a failed or
// interrupted run leaves nothing behind. Devices and pipes are written in place.

#include <cstdio>
#include <string>

#include "platform/FileReplacement.h"

namespace vantrel {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens the file for writing. False with errno set when it cannot be made
  // (a missing folder, no permission); nothing is created then.
  bool open(const std::string& path);

  // The stream to write to; null before open() and after commit() or discard().
  std::FILE* stream() const { return file; }

  // The path being written: the temporary name, or the output name itself when
  // the file is written in place.
  const std::string& writingPath() const { return replacement.writePath(); }

  // True when the output is a device or pipe, written in place: what was
  // written cannot be taken back.
  bool inPlace() const { return replacement.inPlace(); }

  // Writes out what is buffered, makes it durable, closes the file and gives it
  // the output name. False with errno set when any step fails: the temporary
  // file is then removed and the output name keeps what it had.
  bool commit();

  // Closes the file and removes the temporary one; the output name keeps what
  // it had. A file written in place stays as far as it was written.
  void discard();

 private:
  FileReplacement replacement;
  std::FILE* file = nullptr;
};

}  // namespace vantrel
