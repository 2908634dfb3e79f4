#include "sources/AudioStreamRange.h"

#include <algorithm>

namespace vantrel {

void AudioStreamRange::show(AudioStreamSource& source, std::int64_t first,
                            std::int64_t count) {
  shown = &source;
  const std::int64_t begin = source.firstSample();
  const std::int64_t end = begin + source.sampleCount();
  const std::int64_t from = std::clamp<std::int64_t>(first, begin, end);
  partFirst = static_cast<int>(from);
  partCount = static_cast<int>(std::clamp<std::int64_t>(count, 0, end - from));
}

void AudioStreamRange::close() {
  if (shown != nullptr) shown->close();
}

bool AudioStreamRange::isOpen() { return shown != nullptr && shown->isOpen(); }

int AudioStreamRange::open(const char* fileName) {
  return shown != nullptr ? shown->open(fileName) : kAudioUnknown;
}

std::uint32_t AudioStreamRange::kind() { return shown != nullptr ? shown->kind() : 0; }

int AudioStreamRange::read(int first, int count, void* buffer, int bufferBytes,
                           int& bytesRead, int& samplesRead) {
  bytesRead = 0;
  samplesRead = 0;
  if (!isOpen()) return kAudioNotOpen;
  const std::int64_t end = std::int64_t{partFirst} + partCount;
  if (count < 1 || first < partFirst || first >= end) return kAudioOk;
  const int inside = static_cast<int>(std::min<std::int64_t>(count, end - first));
  return shown->read(first, inside, buffer, bufferBytes, bytesRead, samplesRead);
}

int AudioStreamRange::getStreamInfo(AudioStreamInfo& info) {
  if (shown == nullptr) return kAudioNotOpen;
  const int code = shown->getStreamInfo(info);
  if (code == kAudioOk) info.length = partCount;
  return code;
}

int AudioStreamRange::firstSample() { return partFirst; }

int AudioStreamRange::sampleCount() { return isOpen() ? partCount : 0; }

const char* AudioStreamRange::errorText(int code) {
  return shown != nullptr ? shown->errorText(code) : AudioStreamSource::errorText(code);
}

int AudioStreamRange::statedSampleCount() {
  if (!isOpen()) return 0;
  const std::int64_t heldEnd = std::int64_t{shown->firstSample()} + shown->sampleCount();
  if (std::int64_t{partFirst} + partCount < heldEnd) return partCount;
  const std::int64_t missing =
      std::int64_t{shown->statedSampleCount()} - shown->sampleCount();
  return static_cast<int>(
      std::min<std::int64_t>(partCount + std::max<std::int64_t>(missing, 0), INT32_MAX));
}

}  // namespace vantrel
