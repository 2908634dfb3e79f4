#pragma once

// The output file of a conversion, which appears under its name only when it is
// complete. A regular file, or a name not taken yet, is written under a
// temporary name in the same folder and renamed onto the output name by
// commit(); discard() (or destruction without commit) removes the temporary
// file. An earlier file of the output name therefore keeps every byte until the
// new one is whole, and a failed or interrupted run leaves nothing behind.
//
// A name that is taken by something other than a regular file (a device such
// as /dev/null, a pipe) is written in place: renaming over it would replace the
// device node or the pipe by a plain file.

#include <cstdio>
#include <string>

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
  // the file is written in place. Empty when nothing is open.
  const std::string& writingPath() const { return writing; }

  // Writes out what is buffered, makes it durable, closes the file and gives it
  // the output name. False with errno set when any step fails: the temporary
  // file is then removed and the output name keeps what it had.
  bool commit();

  // Closes the file and removes the temporary one; the output name keeps what
  // it had. A file written in place stays as far as it was written.
  void discard();

 private:
  std::FILE* file = nullptr;
  std::string writing;      // temporary name, or the target when in place
  std::string target;       // the name the file takes on commit
  bool inPlace = false;
};

}  // namespace vantrel
