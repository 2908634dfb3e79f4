#include "sources/VideoStreamSourceQT.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "numeric/ExtendedFloat.h"
#include "platform/FileProbe.h"
#include "sources/FrameDelivery.h"
#include "sources/SourceKinds.h"

namespace vantrel {

namespace {

constexpr const char* kLibraryMissingText =
    "QuickTime is either not installed or the installed version is too old.  In order to "
    "load "
    "QuickTime movies, please install QuickTime version 5.0 or later.";
// Longest full path the movie kinds accept.
constexpr std::size_t kMaxPath = 260;

// Time units per second of a time base of num / den seconds per unit, chosen
// so that units x 60 still fits the 32-bit rate field.
std::int32_t unitsPerSecond(int num, int den) {
  std::int64_t units = num > 0 && den % num == 0 ? den / num : den;
  if (units <= 0 || units > INT32_MAX / VideoStreamSourceQT::kGridRate) units = 1000;
  return std::int32_t(units);
}

}  // namespace

void VideoStreamSourceQT::close() {
  ownRateKept = false;
  decoder.close();
  bitsSerial = 0;
  bits.clear();
  bits.shrink_to_fit();
}

void VideoStreamSourceQT::computeOutputTiming(int requestedFps, double& fps,
                                              int& frameCount, double& frameStep,
                                              int* nativeFps) {
  VideoStreamSource::computeOutputTiming(requestedFps, fps, frameCount, frameStep,
                                         nativeFps);
  ownRateKept = false;
  const VideoStreamFacts& facts = decoder.facts();
  if (!decoder.isOpen() || requestedFps <= 0 || facts.pictureRateNum <= 0 ||
      facts.pictureRateDen <= 0 || facts.onePicture) {
    return;
  }
  // The grid samples the movie 60 times a second: asked for more pictures
  // than the stream has, it would repeat pictures instead.
  const double ownRate = double(facts.pictureRateNum) / facts.pictureRateDen;
  if (ownRate >= kGridRate || ownRate > requestedFps) return;
  VideoStreamInfo info;
  if (getStreamInfo(info) != kVideoOk || info.length <= 0) return;
  fps = ownRate;
  frameStep = kGridRate / ownRate;
  // The pictures are counted from the first one.
  frameCount = int(std::max(double(info.length) - pictureLead(), 0.0) / frameStep);
  ownRateKept = true;
}

bool VideoStreamSourceQT::isOpen() { return decoder.isOpen(); }

std::uint32_t VideoStreamSourceQT::kind() { return kVideoKindMovie; }

int VideoStreamSourceQT::startup() {
  const int result = startQuickTime();
  if (result == kLibraryMissing) return kLibraryMissingCode;
  if (result != 0) return setMacOsError(result);
  return kVideoOk;
}

int VideoStreamSourceQT::open(const char* fileName) {
  if (startup() != kVideoOk) return kLibraryMissingCode;
  timeScaleKnown = false;
  movieBoxKnown = false;
  close();
  std::string path;
  if (!absolutePath(fileName, kMaxPath, path)) return kVideoFileMissing;
  MediaStatus status = decoder.open(path.c_str(), false);
  if (status == MediaStatus::NoStream) return kVideoNoVideo;
  if (status == MediaStatus::PictureTooLarge) return kVideoPictureTooLarge;
  if (status != MediaStatus::Ok)
    return setMacOsError(movieErrorValue(status, decoder.systemError()));
  // The first picture must convert to a bitmap, or no frame ever will.
  if (decoder.copyPicture(32, bits) != MediaStatus::Ok) {
    close();
    return setQuickDrawError(kBadPixelDepth);
  }
  fetchTimeScale();
  fetchMovieBox();
  return kVideoOk;
}

std::int64_t VideoStreamSourceQT::gridTime(int frameIndex) const {
  const VideoStreamFacts& facts = decoder.facts();
  // n / 60 seconds in units of num / den seconds, truncated; rounded up when
  // the frames are the stream's own pictures, whose times are rounded to the
  // nearest unit and may lie up to half a unit after their exact time.
  const std::int64_t unitTicks = std::int64_t(kGridRate) * facts.timeBaseNum;
  const std::int64_t ticks = std::int64_t(frameIndex) * facts.timeBaseDen;
  const std::int64_t units = ownRateKept && ticks > 0 && unitTicks > 0
                                 ? (ticks + unitTicks - 1) / unitTicks
                                 : ticks / unitTicks;
  // A damaged file may put its start anywhere: the time is kept within a range
  // where the decoder's own sums and differences of times cannot overflow.
  constexpr std::int64_t kLimit = INT64_MAX / 4;
  return std::clamp<std::int64_t>(std::clamp(facts.origin, -kLimit, kLimit) + units, -kLimit,
                                  kLimit);
}

int VideoStreamSourceQT::readFrame(int frameIndex, FrameImage** image) {
  if (!decoder.isOpen()) return kVideoNotOpen;
  if (frameIndex < 0 || frameIndex >= frameCount()) return kVideoReadFailed;
  MediaStatus status = decoder.decodePictureAt(gridTime(frameIndex));
  if (status == MediaStatus::OutOfMemory) return kVideoOutOfMemory;
  if (status != MediaStatus::Ok) return kVideoReadFailed;
  const int bitsPerPixel = flipFrames ? 24 : 32;
  // A picture asked for again (a still held over many frames) keeps its copy.
  const std::uint64_t serial = decoder.currentPictureSerial();
  if (serial != bitsSerial || bitsPerPixel != bitsDepth) {
    bitsSerial = 0;
    if (decoder.copyPicture(bitsPerPixel, bits) != MediaStatus::Ok) {
      return setQuickDrawError(kBadPixelDepth);
    }
    bitsSerial = serial;
    bitsDepth = bitsPerPixel;
  }
  fetchMovieBox();
  return deliverFrame(boxWidth, boxHeight, bitsPerPixel, bits, flipFrames, image);
}

int VideoStreamSourceQT::getStreamInfo(VideoStreamInfo& info) {
  if (!decoder.isOpen()) return kVideoNotOpen;
  fetchTimeScale();
  fetchMovieBox();
  info.length = frameCount();
  info.scale = timeScale;
  info.rate = timeScale * kGridRate;
  info.width = boxWidth;
  info.height = boxHeight;
  return kVideoOk;
}

int VideoStreamSourceQT::firstFrame() { return 0; }

int VideoStreamSourceQT::frameCount() {
  if (!decoder.isOpen()) return 0;
  // However short a single picture's time, it makes a frame.
  return std::max(gridFrames(decoder.facts().end), decoder.facts().onePicture ? 1 : 0);
}

int VideoStreamSourceQT::statedFrameCount() {
  if (!decoder.isOpen() || decoder.facts().statedEnd < 0) return frameCount();
  return gridFrames(decoder.facts().statedEnd);
}

bool VideoStreamSourceQT::holdsOnePicture() {
  return decoder.isOpen() && decoder.facts().onePicture;
}

int VideoStreamSourceQT::frameForPosition(double position) {
  if (!ownRateKept || !decoder.isOpen()) {
    return VideoStreamSource::frameForPosition(position);
  }
  // The slack keeps a position that should be whole, but came out a little
  // above, on its own frame.
  constexpr double kSlack = 1.0e-6;
  const double frame = std::ceil(std::min(position + pictureLead(), 2.0e9) - kSlack);
  return std::clamp(static_cast<int>(frame), 0, std::max(frameCount() - 1, 0));
}

double VideoStreamSourceQT::pictureLead() const {
  const VideoStreamFacts& facts = decoder.facts();
  if (facts.timeBaseDen <= 0) return 0.0;
  return std::max(0.0, double(facts.firstPicture - facts.origin) * facts.timeBaseNum *
                           kGridRate / facts.timeBaseDen);
}

int VideoStreamSourceQT::gridFrames(std::int64_t end) const {
  const VideoStreamFacts& facts = decoder.facts();
  if (end < 0 || facts.timeBaseDen <= 0) return 0;
  // Duration in seconds x 60, truncated, in 128-bit integers: exact on every
  // processor, whatever width its floating-point types have.
  const Int128 ticks = static_cast<Int128>(end) - facts.origin;
  const Int128 frames = ticks * facts.timeBaseNum * kGridRate / facts.timeBaseDen;
  return int(std::clamp<Int128>(frames, 0, INT32_MAX));
}

const char* VideoStreamSourceQT::errorText(int code) {
  switch (code) {
    case kMacOsError:
    case kQuickDrawError:
      return errorMessage;
    case kLibraryMissingCode:
      return kLibraryMissingText;
    default:
      return VideoStreamSource::errorText(code);
  }
}

int VideoStreamSourceQT::setMacOsError(int err) {
  formatMacOsError(err);
  return kMacOsError;
}

int VideoStreamSourceQT::setQuickDrawError(int err) {
  formatQuickDrawError(err);
  return kQuickDrawError;
}

void VideoStreamSourceQT::fetchTimeScale() {
  if (timeScaleKnown || !decoder.isOpen()) return;
  const VideoStreamFacts& facts = decoder.facts();
  timeScale = unitsPerSecond(facts.timeBaseNum, facts.timeBaseDen);
  timeScaleKnown = true;
}

void VideoStreamSourceQT::fetchMovieBox() {
  if (movieBoxKnown || !decoder.isOpen()) return;
  boxWidth = decoder.facts().width;
  boxHeight = decoder.facts().height;
  movieBoxKnown = true;
}

}  // namespace vantrel
