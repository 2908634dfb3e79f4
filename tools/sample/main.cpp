// vantrel-sample: writes the built-in demo clip that `make demo` converts.
// Four seconds of moving colour bars at 320 x 240 and 24 frames per second,
// MJPEG pictures with a 440 Hz tone as 16-bit PCM, in an AVI file.

#include <cstdio>
#include <string>

#include "support/EncodedClipWriter.h"

namespace {

vantrel::test::EncodedClip demoClip() {
  vantrel::test::EncodedClip clip;
  clip.container = "avi";
  clip.video = vantrel::test::ClipVideo::Mjpeg;
  clip.pattern = vantrel::test::ClipPattern::MovingBars;
  clip.width = 320;
  clip.height = 240;
  clip.fpsNum = 24;
  clip.fpsDen = 1;
  clip.frames = 4 * 24;
  clip.keyFrameInterval = 24;
  clip.audio = vantrel::test::ClipAudio::Pcm16;
  clip.sampleRate = 22050;
  clip.channels = 1;
  clip.toneHz = 440.0;
  clip.toneAmplitude = 0.4;
  return clip;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: %s OUTPUT.avi\n", argv[0]);
    return 2;
  }
  const std::string failure = vantrel::test::writeEncodedClip(argv[1], demoClip());
  if (!failure.empty()) {
    std::fprintf(stderr, "%s: can't write %s: %s\n", argv[0], argv[1], failure.c_str());
    return 1;
  }
  std::printf("wrote %s: 4 s of moving colour bars with a tone (MJPEG and PCM in AVI)\n",
              argv[1]);
  return 0;
}
