#include "support/FakeAudioSource.h"

#include <algorithm>
#include <cstring>

namespace vantrel {

FakeAudioSource::FakeAudioSource(const AudioStreamInfo& info, std::vector<std::uint8_t> frames,
                                 int firstSample)
    : streamInfo(info), data(std::move(frames)), first(firstSample) {
  frameCount = info.blockAlign > 0 ? static_cast<int>(data.size() / info.blockAlign) : 0;
  streamInfo.length = frameCount;
}

AudioStreamInfo FakeAudioSource::pcmInfo(int samplesPerSecond, int bitsPerSample, int channels,
                                         std::uint16_t formatTag) {
  AudioStreamInfo info;
  info.rate = static_cast<std::uint32_t>(samplesPerSecond);
  info.scale = 1;
  info.bitsPerSample = bitsPerSample;
  info.channels = channels;
  info.blockAlign = channels * ((bitsPerSample + 7) / 8);
  info.samplesPerSecond = samplesPerSecond;
  info.formatTag = formatTag;
  return info;
}

std::vector<std::uint8_t> FakeAudioSource::packInt16(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(samples.size() * 2);
  for (std::int16_t s : samples) {
    const auto u = static_cast<std::uint16_t>(s);
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return bytes;
}

void FakeAudioSource::failReadAt(int sample, int code) {
  failSample = sample;
  failCode = code;
}

int FakeAudioSource::open(const char*) {
  opened = true;
  return 0;
}

int FakeAudioSource::read(int firstSample, int sampleCount, void* buffer, int bufferBytes,
                          int& bytesRead, int& samplesRead) {
  bytesRead = 0;
  samplesRead = 0;
  readLog.emplace_back(firstSample, sampleCount);
  if (!opened) return kAudioNotOpen;
  if (failSample >= 0 && failSample >= firstSample && failSample < firstSample + sampleCount) {
    return failCode;
  }
  // A read that starts before the stream's first frame is a caller's mistake.
  if (firstSample < first || sampleCount < 0) return kAudioReadFailed;
  const int begin = firstSample;
  const int end = std::min(firstSample + sampleCount, first + frameCount);
  if (end <= begin) return 0;
  const int frameBytes = streamInfo.blockAlign;
  const int count = std::min(end - begin, bufferBytes / frameBytes);
  if (count <= 0) return kAudioBufferTooSmall;
  std::memcpy(buffer, data.data() + static_cast<std::size_t>(begin - first) * frameBytes,
              static_cast<std::size_t>(count) * frameBytes);
  bytesRead = count * frameBytes;
  samplesRead = count;
  return 0;
}

int FakeAudioSource::getStreamInfo(AudioStreamInfo& info) {
  if (!opened) return kAudioNotOpen;
  if (streamInfoCode != 0) return streamInfoCode;
  info = streamInfo;
  return 0;
}

}  // namespace vantrel
