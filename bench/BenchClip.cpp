#include "BenchClip.h"

#include <cstdio>


namespace vantrel::bench {

namespace {

test::EncodedClip movingBars() {
  test::EncodedClip clip;
  clip.container = "avi";
  clip.video = test::ClipVideo::Mjpeg;
  clip.pattern = test::ClipPattern::MovingBars;
  clip.width = kClipWidth;
  clip.height = kClipHeight;
  clip.fpsNum = kClipFps;
  clip.fpsDen = 1;
  clip.frames = kClipFrames;
  clip.keyFrameInterval = kClipFps;
  return clip;
}

}  // namespace

BenchClip::BenchClip() : BenchClip(movingBars(), "clip-640x480-30fps-60s.avi") {}

BenchClip::BenchClip(const test::EncodedClip& shape, const std::string& fileName)
    : clipPath(directory.file(fileName)) {
  if (directory.path().empty()) {
    why = "no scratch directory";
    return;
  }
  std::fprintf(stderr, "writing the %d-frame benchmark clip %s ...\n", shape.frames,
               clipPath.c_str());
  why = test::writeEncodedClip(clipPath, shape);
}

}  // namespace vantrel::bench
