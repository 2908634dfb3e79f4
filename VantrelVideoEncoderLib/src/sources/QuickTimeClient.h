#pragma once

#include <cstdint>

#include "platform/MediaStatus.h"

namespace vantrel {

// The start-up shared by the two movie kinds (VideoStreamSourceQT and
// AudioStreamSourceQT): a check, once per program, that the media libraries
// they decode with are present and recent enough.
class QuickTimeClient {
 public:
  // The value startQuickTime returns when the libraries are missing or too old.
  static constexpr int kLibraryMissing = -5501;

  // Error values of the movie kinds' own, shown in "QuickTime Macintosh OS
  // error %ld" and "QuickTime QuickDraw error %ld" texts.
  static constexpr int kFileNotFound = -43;     // no such file
  static constexpr int kIoError = -36;          // reading failed
  static constexpr int kPermissionError = -54;  // no permission to read
  static constexpr int kMemoryFull = -108;      // out of memory
  static constexpr int kNoHandler = -2003;      // no decoder for the data
  static constexpr int kNoMovieFound = -2048;   // not a movie file
  static constexpr int kBadPixelDepth = -157;   // no picture conversion

  QuickTimeClient() = default;
  QuickTimeClient(const QuickTimeClient&) = delete;
  QuickTimeClient& operator=(const QuickTimeClient&) = delete;

  // Returns 0 when the libraries are available, kLibraryMissing when they are
  // missing or too old. The check runs once per program; later calls repeat
  // its answer.
  virtual int startQuickTime();

  // The error value that reports a failed media operation of a movie kind.
  static int movieErrorValue(MediaStatus status, int systemError);

 protected:
  ~QuickTimeClient() = default;

  // Fill errorMessage with "QuickTime Macintosh OS error %ld" or "QuickTime
  // QuickDraw error %ld", the 16-bit error value widened with its sign.
  void formatMacOsError(int err);
  void formatQuickDrawError(int err);

  // The text of the last formatted error; valid until the next one.
  char errorMessage[128] = {};
};

}  // namespace vantrel
