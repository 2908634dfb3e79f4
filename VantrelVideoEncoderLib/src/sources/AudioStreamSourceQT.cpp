#include "sources/AudioStreamSourceQT.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "platform/FileProbe.h"
#include "platform/MediaLibraryCheck.h"
#include "sources/SourceKinds.h"

namespace vantrel {

namespace {

constexpr const char* kLibraryMissingText =
    "QuickTime is either not installed or the installed version is too old.  In order to "
    "load "
    "QuickTime movies, please install QuickTime version 5.0 or later.";
constexpr const char* kConversionMissingText =
    "QuickTime movie sound export components are not available.  In order to load "
    "QuickTime "
    "audio, please reinstall QuickTime, making sure that the QuickTime Authoring package "
    "is "
    "selected.";
// Longest full path the movie kinds accept.
constexpr std::size_t kMaxPath = 260;

// Time units per second of the sound's time base, chosen so that units x 20000
// still fits the 32-bit rate field.
std::uint32_t unitsPerSecond(int num, int den) {
  std::int64_t units = num > 0 && den % num == 0 ? den / num : den;
  if (units <= 0 || units > std::int64_t(UINT32_MAX / AudioStreamSourceQT::kOutputRate))
    units = 1;
  return std::uint32_t(units);
}

}  // namespace

void AudioStreamSourceQT::close() {
  decoder.close();
  samples.clear();
  samples.shrink_to_fit();
}

bool AudioStreamSourceQT::isOpen() { return decoder.isOpen(); }

std::uint32_t AudioStreamSourceQT::kind() { return kAudioKindMovie; }

int AudioStreamSourceQT::startup() {
  const int result = startQuickTime();
  if (result == kLibraryMissing) return kLibraryMissingCode;
  if (result != 0) return setMacOsError(result);
  if (!soundConversionAvailable()) return kConversionMissing;
  return kAudioOk;
}

int AudioStreamSourceQT::open(const char* fileName) {
  if (const int code = startup(); code != kAudioOk) return code;
  if (!fileName || fileName[0] == '\0') return kAudioNoFileName;
  close();
  std::string path;
  if (!absolutePath(fileName, kMaxPath, path)) return kAudioFileMissing;
  const MediaStatus status = decoder.open(path.c_str(), kOutputRate, streamNumber);
  if (status == MediaStatus::NoStream) return kAudioNoAudio;
  if (status != MediaStatus::Ok)
    return setMacOsError(movieErrorValue(status, decoder.systemError()));
  return kAudioOk;
}

int AudioStreamSourceQT::read(int firstSample, int sampleCount, void* buffer,
                              int bufferBytes, int& bytesRead, int& samplesRead) {
  bytesRead = 0;
  samplesRead = 0;
  if (!decoder.isOpen()) return kAudioNotOpen;
  const std::int64_t length = decoder.facts().length;
  if (sampleCount < 1 || firstSample < 0 || firstSample >= length) return kAudioOk;
  const int existing = int(std::min<std::int64_t>(sampleCount, length - firstSample));
  const int fitting = std::min(existing, std::max(bufferBytes, 0) / 2);
  samples.resize(std::size_t(std::max(fitting, 1)));
  int delivered = 0;
  const MediaStatus status =
      decoder.read(firstSample, fitting, samples.data(), delivered);
  if (status != MediaStatus::Ok) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Quicktime Audio Error:  decoding failed at sample %d, count %d",
                  firstSample, sampleCount);
    reportCheck(__LINE__, text);
    return setMacOsError(movieErrorValue(status, decoder.systemError()));
  }
  // Signed 16-bit little-endian, whatever the host's byte order.
  auto* out = static_cast<std::uint8_t*>(buffer);
  for (int i = 0; i < delivered; ++i) {
    const auto value = std::uint16_t(samples[std::size_t(i)]);
    out[2 * i] = std::uint8_t(value & 0xFF);
    out[2 * i + 1] = std::uint8_t(value >> 8);
  }
  bytesRead = delivered * 2;
  samplesRead = delivered;
  if (fitting < existing) {
    reportCheck(__LINE__, "Quicktime Audio Error:  Sound buffer too small");
    return kAudioBufferTooSmall;
  }
  return kAudioOk;
}

int AudioStreamSourceQT::getStreamInfo(AudioStreamInfo& info) {
  if (!decoder.isOpen()) return kAudioNotOpen;
  const DecodedAudioFacts& facts = decoder.facts();
  const std::uint32_t timeScale = unitsPerSecond(facts.timeBaseNum, facts.timeBaseDen);
  info.rate = timeScale * kOutputRate;
  info.scale = timeScale;
  info.length = sampleCount();
  info.bitsPerSample = 16;
  info.blockAlign = 2;
  info.channels = 1;
  info.samplesPerSecond = kOutputRate;
  info.formatTag = 0;
  return kAudioOk;
}

int AudioStreamSourceQT::firstSample() { return 0; }

int AudioStreamSourceQT::sampleCount() {
  return decoder.isOpen() ? int(std::min<std::int64_t>(decoder.facts().length, INT32_MAX))
                          : 0;
}

int AudioStreamSourceQT::statedSampleCount() {
  if (!decoder.isOpen() || decoder.facts().statedLength < 0) return sampleCount();
  return int(std::min<std::int64_t>(decoder.facts().statedLength, INT32_MAX));
}

const char* AudioStreamSourceQT::errorText(int code) {
  switch (code) {
    case kMacOsError:
    case kQuickDrawError:
      return errorMessage;
    case kLibraryMissingCode:
      return kLibraryMissingText;
    case kConversionMissing:
      return kConversionMissingText;
    default:
      return AudioStreamSource::errorText(code);
  }
}

int AudioStreamSourceQT::setMacOsError(int err) {
  formatMacOsError(err);
  return kMacOsError;
}

int AudioStreamSourceQT::setQuickDrawError(int err) {
  formatQuickDrawError(err);
  return kQuickDrawError;
}

void AudioStreamSourceQT::reportCheck(int line, const std::string& text) {
  sendMessage(messageSink, "AudioStreamSourceQT.cpp line " + std::to_string(line) + ": " +
                               text + "\n");
}

}  // namespace vantrel
