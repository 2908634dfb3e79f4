#include "sources/AudioStreamSourceAVI.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/FileProbe.h"
#include "sources/SourceKinds.h"

namespace vantrel {

namespace {

constexpr const char* kOutOfMemoryText =
    "An out-of-memory error occurred while processing the specified AVI audio file. Make "
    "sure "
    "you have enough free memory and that you have installed the appropriate Video for "
    "Windows "
    "AVI Codec needed by this file.";
constexpr const char* kNoFormatHandlerText =
    "No format handler is registered for this AVI file format";
constexpr const char* kTooManyChannelsText =
    "The audio file contains PCM audio with an unusal number of channels--more than "
    "two--which "
    "we currently cannot handle. This may result from converting 5.1-channel source.  "
    "Please "
    "downmix the audio to two channels or less before encoding this file.";

constexpr int kTagPcm = 1;
constexpr int kTagALaw = 6;
constexpr int kTagMuLaw = 7;

bool isAvisynthScript(const char* name) {
  const std::size_t length = std::strlen(name);
  return length >= 4 && strcasecmp(name + length - 4, ".avs") == 0;
}

// Formats the audio pipeline converts itself: 8- or 16-bit PCM, 8-bit A-law
// and mu-law.
bool pipelineConverts(const RawAudioFacts& facts) {
  if (facts.formatTag == kTagPcm)
    return facts.bitsPerSample == 8 || facts.bitsPerSample == 16;
  if (facts.formatTag == kTagALaw || facts.formatTag == kTagMuLaw)
    return facts.bitsPerSample == 8;
  return false;
}

}  // namespace

void AudioStreamSourceAVI::close() { reader.close(); }

bool AudioStreamSourceAVI::isOpen() { return reader.isOpen(); }

std::uint32_t AudioStreamSourceAVI::kind() { return kAudioKindAvi; }

int AudioStreamSourceAVI::codeFor(MediaStatus status) {
  switch (status) {
    case MediaStatus::Ok:
      return kAudioOk;
    case MediaStatus::FileMissing:
      return kAudioFileMissing;
    case MediaStatus::OutOfMemory:
      return kAudioOutOfMemory;
    case MediaStatus::UnknownFormat:
    case MediaStatus::DecoderMissing:
    case MediaStatus::ConverterFailed:
      return kAudioBadFormat;
    case MediaStatus::NoStream:
      return kAudioNoAudio;
    case MediaStatus::ReadFailed:
    case MediaStatus::PastEnd:
      return kAudioReadFailed;
    case MediaStatus::NotOpen:
      return kAudioNotOpen;
    case MediaStatus::SystemError:
      return setError(kAudioOsError, reader.systemError());
    case MediaStatus::PictureTooLarge:  // a video status; sound has no pictures
      return kAudioBadFormat;
  }
  return kAudioUnknown;
}

int AudioStreamSourceAVI::open(const char* fileName) {
  if (!fileName || fileName[0] == '\0') return kAudioNoFileName;
  // An earlier stream of this object is given up first, so nothing leaks.
  close();
  const FileFacts facts = probeFile(fileName);
  if (!facts.exists && facts.errnoValue == ENOENT) return kAudioFileMissing;
  if (isAvisynthScript(fileName)) return kNoFormatHandler;
  const int code = codeFor(reader.open(fileName, streamNumber));
  if (code != kAudioOk) return code;
  const RawAudioFacts& stream = reader.facts();
  if (!pipelineConverts(stream)) {
    const unsigned long tag = unsigned(stream.formatTag);
    close();
    return setError(kCompressedAudio, tag);
  }
  if (stream.channels > 2) {
    close();
    return kTooManyChannels;
  }
  return kAudioOk;
}

int AudioStreamSourceAVI::read(int firstSample, int sampleCount, void* buffer,
                               int bufferBytes, int& bytesRead, int& samplesRead) {
  bytesRead = 0;
  samplesRead = 0;
  if (!reader.isOpen()) return kAudioNotOpen;
  if (sampleCount <= 0) return kAudioOk;
  const int blockAlign = reader.facts().blockAlign;
  const int fitting = std::min(sampleCount, std::max(bufferBytes, 0) / blockAlign);
  int delivered = 0;
  const MediaStatus status =
      fitting > 0 ? reader.read(firstSample, fitting, static_cast<std::uint8_t*>(buffer),
                                delivered)
                  : MediaStatus::Ok;
  if (status != MediaStatus::Ok) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "Error reading audio data from AVI file at sample %ld, count %ld.",
                  long(firstSample), long(sampleCount));
    showMessageBox(messageSink, "AVI Audio Reading error", text);
    return kAudioReadFailed;
  }
  bytesRead = delivered * blockAlign;
  samplesRead = delivered;
  // Only a buffer too small for the request leaves frames that exist unread.
  const RawAudioFacts& stream = reader.facts();
  const std::int64_t available = stream.firstSample + stream.length - firstSample;
  if (fitting < sampleCount && available > fitting) return kAudioBufferTooSmall;
  return kAudioOk;
}

int AudioStreamSourceAVI::getStreamInfo(AudioStreamInfo& info) {
  if (!reader.isOpen()) return kAudioNotOpen;
  const RawAudioFacts& stream = reader.facts();
  info.rate = std::uint32_t(stream.sampleRate);
  info.scale = 1;
  info.length = sampleCount();
  info.bitsPerSample = stream.bitsPerSample;
  info.blockAlign = stream.blockAlign;
  info.channels = stream.channels;
  info.samplesPerSecond = stream.sampleRate;
  info.formatTag = std::uint16_t(stream.formatTag);
  return kAudioOk;
}

int AudioStreamSourceAVI::firstSample() {
  return reader.isOpen() ? int(reader.facts().firstSample) : 0;
}

int AudioStreamSourceAVI::sampleCount() {
  return reader.isOpen() ? int(std::min<std::int64_t>(reader.facts().length, INT32_MAX))
                         : 0;
}

const char* AudioStreamSourceAVI::errorText(int code) {
  switch (code) {
    case kAudioOutOfMemory:
      return kOutOfMemoryText;
    case kNoFormatHandler:
      return kNoFormatHandlerText;
    case kAvisynthError:
      return avisynthMessage;
    case kCompressedAudio:
      return compressedMessage;
    case kTooManyChannels:
      return kTooManyChannelsText;
    default:
      return AudioStreamSource::errorText(code);
  }
}

int AudioStreamSourceAVI::recordError(int code, va_list args) {
  switch (code) {
    case kAvisynthError: {
      const char* scriptError = va_arg(args, const char*);
      std::snprintf(avisynthMessage, sizeof avisynthMessage,
                    "Avisynth reported an error opening your script:\n\n%.1900s",
                    scriptError ? scriptError : "");
      return code;
    }
    case kCompressedAudio:
      std::snprintf(
          compressedMessage, sizeof compressedMessage,
          "Your audio file contains compressed audio (type 0x%lX), which we currently "
          "cannot handle.  Please use an audio source with uncompressed (PCM) audio.",
          va_arg(args, unsigned long));
      return code;
    default:
      return AudioStreamSource::recordError(code, args);
  }
}

}  // namespace vantrel
