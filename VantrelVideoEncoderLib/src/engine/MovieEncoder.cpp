#include "engine/MovieEncoder.h"

#include <algorithm>
#include <cmath>

#include "audio/AudioBlockWriter.h"
#include "database/BigEndian.h"
#include "engine/DisplayPalette.h"
#include "engine/MoviePlan.h"
#include "engine/ProgressEvent.h"
#include "engine/SoundOnlyDriver.h"
#include "engine/VideoEncodeDriver.h"
#include "image/FrameGeometry.h"

namespace vantrel {

namespace {

constexpr int kHistogramCells = 32768;

// Frames of fps that cover the whole sound of source (rounded up); 0 when its
// length or rate cannot be read.
int framesForSound(AudioStreamSource* source, double fps) {
  AudioStreamInfo info;
  if (source == nullptr || source->getStreamInfo(info) != 0 || info.rate == 0 ||
      info.scale == 0) {
    return 0;
  }
  const double seconds = info.length / (double(info.rate) / info.scale);
  const double frames = std::ceil(seconds * fps);
  return frames > 0.0 ? static_cast<int>(std::min(frames, 2147483647.0)) : 0;
}

}  // namespace

MovieEncoder::MovieEncoder()
    : outputFrame(kFrameBufferBytes, 0),
      reconFrames{std::vector<std::uint8_t>(kFrameBufferBytes, 0),
                  std::vector<std::uint8_t>(kFrameBufferBytes, 0)},
      colorHistogram(kHistogramCells, 0),
      pixelKeys(kFrameBufferBytes, 0) {
  setDisplayFormat(kMaxFrameWidth, kMaxStoredHeight, 8);
}

MovieEncoder::~MovieEncoder() {
  // Only the streams are released; the source objects are program-wide.
  vantrel::closeSources(selectedAudio, selectedVideo);
}

AudioStreamSource* MovieEncoder::audioSource() { return selectedAudio; }

VideoStreamSource* MovieEncoder::videoSource() { return selectedVideo; }

void MovieEncoder::closeSources() { vantrel::closeSources(selectedAudio, selectedVideo); }

const char* MovieEncoder::openSources(const char* audioFileName, const char* videoFileName) {
  if (audioSources != nullptr) {
    for (AudioStreamSource* kind : *audioSources) kind->chooseStream(audioStream);
  }
  return vantrel::openSources(audioFileName, videoFileName, audioSources, videoSources,
                              selectedAudio, selectedVideo, showMessage);
}

bool MovieEncoder::hasAudio() {
  AudioStreamSource* source = audioSource();
  return source != nullptr && source->isOpen();
}

bool MovieEncoder::hasVideo() {
  VideoStreamSource* source = videoSource();
  return source != nullptr && source->isOpen();
}

void MovieEncoder::planMovie(int requestedFps, double& fps, int& frameCount,
                             double& frameStep, int& audioRecordCount, int* nativeFps,
                             int& firstFrame, int& lastFrame) {
  fps = 0.0;
  frameCount = 0;
  frameStep = 1.0;
  audioRecordCount = 0;
  VideoStreamSource* source = videoSource();
  if (source != nullptr) {
    source->computeOutputTiming(requestedFps, fps, frameCount, frameStep, nativeFps);
  }
  if (source != nullptr && source->holdsOnePicture() && fps > 0.0) {
    // A single picture (a still image, a one-frame clip) is held: every frame
    // shows it (frame step 0), for the whole sound when there is one, else for
    // one frame.
    frameStep = 0.0;
    frameCount = hasAudio() ? std::max(1, framesForSound(audioSource(), fps)) : 1;
    firstFrame = 0;
    lastFrame = frameCount;
    if (hasAudio())
      audioRecordCount = audioRecordCountFor(frameCount, fps, hifiAudio, adpcmAudio);
    return;
  }
  // The requested range is in source frames; the movie counts output frames.
  if (frameStep > 0.0) {
    firstFrame = static_cast<int>(firstFrame / frameStep);
    lastFrame = static_cast<int>(lastFrame / frameStep + 0.5);
  }
  if (firstFrame < 0) firstFrame = 0;
  if (firstFrame >= frameCount) firstFrame = frameCount - 1;
  if (lastFrame == 0 || lastFrame < firstFrame || lastFrame >= frameCount) {
    lastFrame = frameCount - 1;
  }
  // The range is half-open: a whole source of n frames gives n - 1 movie frames.
  frameCount = lastFrame - firstFrame;
  if (frameCount < 1) frameCount = 1;
  if (hasAudio()) audioRecordCount = audioRecordCountFor(frameCount, fps, hifiAudio, adpcmAudio);
}

void MovieEncoder::computePlacement(int sourceWidth, int sourceHeight, double crop,
                                    Placement& placement, int targetWidth,
                                    int targetHeight) {
  placement = vantrel::computePlacement(sourceWidth, sourceHeight, crop, targetWidth,
                                        targetHeight);
}

void MovieEncoder::encodeSoundOnly(std::FILE* file, const char* databaseName) {
  lastOutcome = EncodeOutcome::None;
  SoundOnlyDriver driver(*this, file, databaseName);
  driver.run();
}

void MovieEncoder::encodeMovie(std::FILE* file, const char* databaseName, int width,
                               int height, int depth, bool flipV, bool flipH, bool turn,
                               float brightness, float contrast, int firstFrame,
                               int lastFrame) {
  VideoEncodeRequest request;
  request.file = file;
  request.databaseName = databaseName;
  request.width = width;
  request.height = height;
  request.colorDepth = depth;
  request.flipVertical = flipV;
  request.flipHorizontal = flipH;
  request.rotate = turn;
  request.brightness = brightness;
  request.contrast = contrast;
  request.firstFrame = firstFrame;
  request.lastFrame = lastFrame;
  lastOutcome = EncodeOutcome::None;
  VideoEncodeDriver driver(*this, request);
  driver.run();
}

const BitmapInfo256* MovieEncoder::displayBitmapInfo() { return &displayInfo; }

void MovieEncoder::clearAbort() { abortRequested = false; }

void MovieEncoder::requestAbort() { abortRequested = true; }

int MovieEncoder::writeAudioBlocks(std::FILE* file, int blockCount,
                                   std::int32_t* recordOffsets, int firstIndex,
                                   int startOffsetMs) {
  AudioStreamSource* source = audioSource();
  if (source == nullptr) return -1;
  AudioBlockParams params;
  params.hifiAudio = hifiAudio;
  params.adpcmAudio = adpcmAudio;
  params.audioBoostOn = audioBoostOn;
  params.audioBoostPercent = audioBoostPercent;
  params.audioPrefilter = audioPrefilter;
  params.startOffsetMicros = startOffsetMicros;
  const ProgressHook hook = [this](int event, int value, std::intptr_t data) {
    return reportProgress(event, value, data);
  };
  return vantrel::writeAudioBlocks(file, *source, params, blockCount, recordOffsets,
                                   firstIndex, startOffsetMs, abortRequested, hook,
                                   encodeWorkers);
}

void MovieEncoder::setDisplayFormat(int width, int height, int bitsPerPixel) {
  BitmapInfoHeader& header = displayInfo.header;
  header.biSize = 40;
  header.biWidth = width;
  header.biHeight = height;  // positive: bottom-up rows
  header.biPlanes = 1;
  header.biBitCount = static_cast<std::uint16_t>(bitsPerPixel);
  header.biCompression = kBiRgb;
  header.biSizeImage = static_cast<std::uint32_t>(
      static_cast<std::int64_t>(width) * height * bitsPerPixel / 8);
  header.biXPelsPerMeter = 40;
  header.biYPelsPerMeter = 40;
  header.biClrUsed = 256;
  header.biClrImportant = 256;
  palette = displayInfo.colours;
  fillColourCube(palette);
}

int MovieEncoder::reportProgress(int, int, std::intptr_t) { return 0; }

void MovieEncoder::noteOutcome(int event) {
  switch (static_cast<ProgressEvent>(event)) {
    case ProgressEvent::Summary:
      lastOutcome = EncodeOutcome::Completed;
      break;
    case ProgressEvent::Error:
      lastOutcome = EncodeOutcome::Failed;
      break;
    case ProgressEvent::Aborted:
      lastOutcome = EncodeOutcome::Aborted;
      break;
    default:
      break;
  }
}

void MovieEncoder::recordListToBigEndian(std::int32_t* entries, int count) {
  for (int i = 0; i < 2 * count; ++i) {
    entries[i] = static_cast<std::int32_t>(toBigEndian32(static_cast<std::uint32_t>(entries[i])));
  }
}

}  // namespace vantrel
