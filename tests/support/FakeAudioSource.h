#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "sources/AudioStreamSource.h"

namespace vantrel {

// An audio source over sample frames held in memory, in any format the stream
// information can describe. It is open from construction, serves reads by absolute
// frame number like the real kinds, records every read it is asked for, and can be
// told to fail the read that reaches a given frame.
class FakeAudioSource final : public AudioStreamSource {
 public:
  // frames: the stream's bytes, info.blockAlign per sample frame; the stream holds
  // frames.size() / blockAlign frames numbered from firstSample on. info.length is
  // set to that count.
  FakeAudioSource(const AudioStreamInfo& info, std::vector<std::uint8_t> frames,
                  int firstSample = 0);
  ~FakeAudioSource() = default;

  // Stream information for uncompressed input: blockAlign = channels * bytes per
  // sample, rate = samplesPerSecond, scale 1.
  static AudioStreamInfo pcmInfo(int samplesPerSecond, int bitsPerSample, int channels,
                                 std::uint16_t formatTag = 1);
  // Little-endian bytes of 16-bit samples (interleaved when there are channels).
  static std::vector<std::uint8_t> packInt16(const std::vector<std::int16_t>& samples);

  // The read whose range includes frame `sample` returns `code` and delivers nothing.
  void failReadAt(int sample, int code = kAudioReadFailed);
  // getStreamInfo returns code (0 again when code is 0).
  void failStreamInfo(int code) { streamInfoCode = code; }
  // (first frame, frame count) of every read asked for, in order.
  const std::vector<std::pair<int, int>>& reads() const { return readLog; }

  void close() override { opened = false; }
  bool isOpen() override { return opened; }
  int open(const char* fileName) override;
  std::uint32_t kind() override { return 0x46414B45; }  // 'FAKE'
  int read(int firstSample, int sampleCount, void* buffer, int bufferBytes, int& bytesRead,
           int& samplesRead) override;
  int getStreamInfo(AudioStreamInfo& info) override;
  int firstSample() override { return opened ? first : 0; }
  int sampleCount() override { return opened ? frameCount : 0; }

 private:
  AudioStreamInfo streamInfo;
  std::vector<std::uint8_t> data;
  int first;
  int frameCount;
  bool opened = true;
  int failSample = -1;
  int failCode = 0;
  int streamInfoCode = 0;
  std::vector<std::pair<int, int>> readLog;
};

}  // namespace vantrel
