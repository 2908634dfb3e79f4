#pragma once

// The clips the speed benchmarks read; by default 60 seconds of moving colour bars at
// 640 x 480 and 30 frames per second, MJPEG in AVI (1800 frames, every one a
// key frame, as MJPEG stores them). Written by the test clip writer into a
// scratch directory that goes away with the object.

#include <string>

#include "support/EncodedClipWriter.h"
#include "support/TestClips.h"

namespace vantrel::bench {

constexpr int kClipWidth = 640;
constexpr int kClipHeight = 480;
constexpr int kClipFps = 30;
constexpr int kClipSeconds = 60;
constexpr int kClipFrames = kClipFps * kClipSeconds;

class BenchClip {
 public:
  // Writes the clip; ok() tells whether that worked, failure() why not.
  BenchClip();
  // Writes a clip of another shape under fileName instead.
  BenchClip(const test::EncodedClip& shape, const std::string& fileName);
  BenchClip(const BenchClip&) = delete;
  BenchClip& operator=(const BenchClip&) = delete;

  bool ok() const { return why.empty(); }
  const std::string& failure() const { return why; }
  const std::string& path() const { return clipPath; }
  // A path for another file in the same scratch directory.
  std::string scratchFile(const std::string& name) const { return directory.file(name); }

 private:
  test::ScratchDirectory directory;
  std::string clipPath;
  std::string why;
};

}  // namespace vantrel::bench
