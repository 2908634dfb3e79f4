#include "sources/VideoStreamSource.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/SystemErrorText.h"

namespace vantrel {

namespace {

// Texts of the common video codes 0..9, in code order (10 is the OS text).
constexpr std::array<const char*, 10> kVideoErrorTexts = {
    "No error",
    "The video stream isn't open",
    "An out-of-memory error occurred while processing the specified video file",
    "The video file wasn't specified",
    "The video file doesn't exist",
    "The file doesn't contain video data",
    "The video file is corrupt or is an unrecognized format",
    "An error occurred while reading from the video file",
    "An error occurred while opening the video file",
    "Unknown error",
};
static_assert(kVideoErrorTexts.size() == kVideoOsError,
              "one text per common code below 10");

constexpr const char* kPictureTooLargeText =
    "The video's pictures are too large to convert (at most 8192 pixels wide or high, "
    "and 8192 x 4096 pixels in all)";

}  // namespace

void VideoStreamSource::computeOutputTiming(int requestedFps, double& fps,
                                            int& frameCount, double& frameStep,
                                            int* nativeFps) {
  VideoStreamInfo info;
  getStreamInfo(info);
  const double nativeRate =
      info.scale != 0 ? double(info.rate) / double(info.scale) : 0.0;
  frameCount = info.length;
  if (nativeFps) *nativeFps = int(nativeRate);
  // A stream without a usable rate keeps every frame instead of dividing by zero.
  if (!(nativeRate > 0.0)) {
    fps = nativeRate;
    frameStep = 1.0;
    return;
  }
  if (requestedFps != 0) {
    if (nativeRate > requestedFps) {
      fps = requestedFps;
    } else {
      fps = nativeRate;
      frameStep = 1.0;
      return;
    }
  } else {
    fps = nativeRate;
    // Above 15 frames per second the rate is divided by a whole number chosen so
    // that the result lands near 12 or below.
    if (nativeRate > 15.0) fps = nativeRate / std::ceil(nativeRate / 12.0 + 0.5);
  }
  frameStep = double(info.rate) / (double(info.scale) * fps);
  frameCount = int(double(info.length) / frameStep);
}

int VideoStreamSource::startup() { return kVideoOk; }

void VideoStreamSource::setFlip(bool flip) { flipFrames = flip; }

const char* VideoStreamSource::errorText(int code) {
  if (code >= 0 && code < kVideoOsError) return kVideoErrorTexts[std::size_t(code)];
  if (code == kVideoOsError) return osErrorText;
  if (code == kVideoPictureTooLarge) return kPictureTooLargeText;
  std::snprintf(unknownCodeText, sizeof unknownCodeText, "Unknown ErrCode %d", code);
  return unknownCodeText;
}

int VideoStreamSource::setOsError(int errnoValue) {
  std::string message;
  if (systemErrorMessage(errnoValue, message)) {
    std::snprintf(osErrorText, sizeof osErrorText, "%s", message.c_str());
  } else {
    std::snprintf(osErrorText, sizeof osErrorText, "OS error 0x%x", unsigned(errnoValue));
  }
  return kVideoOsError;
}

int VideoStreamSource::statedFrameCount() { return frameCount(); }

bool VideoStreamSource::holdsOnePicture() { return false; }

int VideoStreamSource::frameForPosition(double position) {
  return static_cast<int>(position);
}

}  // namespace vantrel
