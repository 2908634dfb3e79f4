#pragma once

#include <cstdint>
#include <vector>

#include "image/FrameImage.h"
#include "image/Placement.h"
#include "sources/VideoStreamSource.h"

namespace vantrel::bench {

// A video source that passes every operation on to a real one and times two
// things per pass of the encoder (0 = colour analysis, 1 = frame pass):
//   decoding  processor seconds inside the real source's readFrame;
//   scaling   processor seconds of composing each delivered frame once more
//             exactly as the encode driver does (copy into a source-sized
//             image, clear the working image, area scaling with the placement
//             computed from the first frame). The copy is extra work that the
//             caller takes out of its totals.
class TimedVideoSource : public VideoStreamSource {
 public:
  TimedVideoSource() = default;

  // The source to pass on to, and the composition to repeat: the engine's
  // cropFraction and working image size (screen size, turned when rotating).
  void wrap(VideoStreamSource* real, double cropFraction, int workWidth, int workHeight);
  // Which pass the following reads belong to.
  void setPass(int pass) { currentPass = pass; }

  double decodingSeconds(int pass) const { return decoding[pass]; }
  double scalingSeconds(int pass) const { return scaling[pass]; }
  int framesRead(int pass) const { return reads[pass]; }

  void close() override;
  void computeOutputTiming(int requestedFps, double& fps, int& frameCount, double& frameStep,
                           int* nativeFps) override;
  bool isOpen() override;
  std::uint32_t kind() override;
  int startup() override;
  int open(const char* fileName) override;
  int readFrame(int frameIndex, FrameImage** image) override;
  int getStreamInfo(VideoStreamInfo& info) override;
  void setFlip(bool flip) override;
  int firstFrame() override;
  int frameCount() override;
  const char* errorText(int code) override;
  int setOsError(int errnoValue) override;

 private:
  void compose(const FrameImage& frame);

  VideoStreamSource* inner = nullptr;
  double crop = 1.0;
  int workWidth = 0;
  int workHeight = 0;
  int currentPass = 0;
  double decoding[2] = {0.0, 0.0};
  double scaling[2] = {0.0, 0.0};
  int reads[2] = {0, 0};
  bool placed = false;
  Placement placement;
  std::vector<std::uint32_t> sourcePixels;
  std::vector<std::uint32_t> workPixels;
  FrameImage sourceImage;
  FrameImage workImage;
};

}  // namespace vantrel::bench
