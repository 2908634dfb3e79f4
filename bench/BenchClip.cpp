#include "BenchClip.h"

#include <cstdio>

#include "support/EncodedClipWriter.h"

namespace vantrel::bench {

BenchClip::BenchClip() : clipPath(directory.file("clip-640x480-30fps-60s.avi")) {
  if (directory.path().empty()) {
    why = "no scratch directory";
    return;
  }
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
  std::fprintf(stderr, "writing the %d-frame benchmark clip %s ...\n", kClipFrames,
               clipPath.c_str());
  why = test::writeEncodedClip(clipPath, clip);
}

}  // namespace vantrel::bench
