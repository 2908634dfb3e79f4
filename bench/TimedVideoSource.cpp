#include "TimedVideoSource.h"

#include "FfmpegTimer.h"
#include "image/FrameGeometry.h"

namespace vantrel::bench {

void TimedVideoSource::wrap(VideoStreamSource* real, double cropFraction, int width,
                            int height) {
  inner = real;
  crop = cropFraction;
  workWidth = width;
  workHeight = height;
  // Twice the working size, as the driver allocates it.
  workPixels.assign(std::size_t(width) * height * 2, 0);
  workImage.attachPixels(workPixels.data(), width, height);
  placed = false;
}

void TimedVideoSource::close() { inner->close(); }

void TimedVideoSource::computeOutputTiming(int requestedFps, double& fps, int& frameCount,
                                           double& frameStep, int* nativeFps) {
  inner->computeOutputTiming(requestedFps, fps, frameCount, frameStep, nativeFps);
}

bool TimedVideoSource::isOpen() { return inner != nullptr && inner->isOpen(); }
std::uint32_t TimedVideoSource::kind() { return inner->kind(); }
int TimedVideoSource::startup() { return inner->startup(); }
int TimedVideoSource::open(const char* fileName) { return inner->open(fileName); }
int TimedVideoSource::getStreamInfo(VideoStreamInfo& info) { return inner->getStreamInfo(info); }
void TimedVideoSource::setFlip(bool flip) { inner->setFlip(flip); }
int TimedVideoSource::firstFrame() { return inner->firstFrame(); }
int TimedVideoSource::frameCount() { return inner->frameCount(); }
const char* TimedVideoSource::errorText(int code) { return inner->errorText(code); }
int TimedVideoSource::setOsError(int errnoValue) { return inner->setOsError(errnoValue); }

int TimedVideoSource::readFrame(int frameIndex, FrameImage** image) {
  const double start = processCpuSeconds();
  const int code = inner->readFrame(frameIndex, image);
  const double decoded = processCpuSeconds();
  decoding[currentPass] += decoded - start;
  ++reads[currentPass];
  if (code == 0 && *image != nullptr) {
    compose(**image);
    scaling[currentPass] += processCpuSeconds() - decoded;
  }
  return code;
}

void TimedVideoSource::compose(const FrameImage& frame) {
  if (!placed) {
    sourcePixels.assign(std::size_t((frame.width() + 1) & ~1) * frame.height(), 0);
    sourceImage.attachPixels(sourcePixels.data(), frame.width(), frame.height());
    placement = computePlacement(frame.width(), frame.height(), crop, workWidth, workHeight);
    placed = true;
  }
  sourceImage.copyRect(0, 0, frame, 0, 0, -1, -1);
  workImage.fillRect(0, 0, -1, -1, 0);
  const int bottom = workHeight - placement.destTop - placement.destHeight;
  workImage.scaleArea(placement.destLeft, bottom, placement.destWidth, placement.destHeight,
                      sourceImage, placement.srcX, placement.srcY, placement.srcWidth,
                      placement.srcHeight);
}

}  // namespace vantrel::bench
