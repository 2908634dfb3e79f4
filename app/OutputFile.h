#pragma once

// The output file of a conversion as a standard I/O stream that appears under
// its name only when complete (see FileReplacement): an earlier file of that
// name keeps every byte until the new movie is whole, and a failed or
// interrupted run leaves nothing behind. A device that can seek (/dev/null) is
// written in place. The movie's record list is rewritten at the end, so a
// destination that cannot seek (standard output, a pipe, a FIFO, a terminal)
// gets the movie through a temporary file, copied out whole by commit(): a
// failed run writes nothing there.

#include <sys/types.h>

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

  // Opens the file for writing; a path for which namesStandardOutput holds
  // writes to standard output. False with errno set when it cannot be made (a
  // missing folder, no permission); nothing is created then.
  bool open(const std::string& path);

  // True when path names standard output: "-", /dev/stdout, /dev/fd/1 or
  // /proc/self/fd/1, or a file that is standardOutput's own (same device and
  // inode).
  static bool namesStandardOutput(const std::string& path, std::FILE* standardOutput);

  // The stream to write to; null before open() and after commit() or discard().
  // It can seek whatever the destination is.
  std::FILE* stream() const { return file; }

  // The partial movie a failed run removes: the temporary name; empty when
  // the output is written in place or copied out at the end.
  const std::string& writingPath() const { return partial; }

  // True when the output is a device written in place: what was written
  // cannot be taken back.
  bool inPlace() const { return replacement.inPlace() && destination < 0; }

  // The system error number of the first write that failed (ENOSPC for a full
  // disk), or 0 while every write succeeded.
  int writeError() const { return firstError; }

  // Writes out what is buffered, makes it durable, closes the file and gives it
  // the output name (or copies the movie out to a destination that cannot
  // seek). False with errno set when any step fails: the temporary file is
  // then removed and the output name keeps what it had.
  bool commit();

  // Closes the file and removes the temporary one; the output name keeps what
  // it had. A file written in place stays as far as it was written.
  void discard();

 private:
  static ssize_t writeCookie(void* cookie, const char* bytes, std::size_t size);
  static int seekCookie(void* cookie, off64_t* offset, int whence);
  // Records the first failure; returns false.
  bool failed(int error);
  // Copies the movie from the temporary file to the destination.
  bool copyOut();
  // Closes both descriptors; false with errno set when a close failed.
  bool closeDescriptors();

  FileReplacement replacement;
  std::string partial;  // the temporary file, removed by a second signal
  std::FILE* file = nullptr;
  int descriptor = -1;   // what the stream writes to: the file or the temporary one
  int destination = -1;  // a destination that cannot seek, written by commit()
  int firstError = 0;
};

}  // namespace vantrel
