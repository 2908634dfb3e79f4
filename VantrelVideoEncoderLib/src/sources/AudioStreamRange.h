#pragma once

#include <cstdint>

#include "sources/AudioStreamSource.h"

namespace vantrel {

// A part of an open audio source shown as a whole stream: the sample frames
// [first, first + count) of the source, numbered as the source numbers them.
// firstSample() is first, sampleCount() and the stream information's length
// are count, and reads stop at the end of the part, so a reader that asks for
// more gets silence there. Everything else (the format, the error texts,
// closing) is the source's: closing the part closes the source.
//
// It does not own the source, which must outlive every use of the part.
class AudioStreamRange : public AudioStreamSource {
 public:
  AudioStreamRange() = default;
  ~AudioStreamRange() = default;

  // Shows the sample frames [first, first + count) of source, kept within
  // the source's own frames (a part past the end is empty).
  void show(AudioStreamSource& source, std::int64_t first, std::int64_t count);
  // The source shown, or null before show().
  AudioStreamSource* source() const { return shown; }

  void close() override;
  bool isOpen() override;
  // Reopens the source with fileName (the part stays as it was set).
  int open(const char* fileName) override;
  std::uint32_t kind() override;
  // The source's samples inside the part; none, without error, outside it.
  int read(int firstSample, int sampleCount, void* buffer, int bufferBytes,
           int& bytesRead, int& samplesRead) override;
  // The source's information with length = the part's count.
  int getStreamInfo(AudioStreamInfo& info) override;
  int firstSample() override;
  int sampleCount() override;
  const char* errorText(int code) override;
  // The part's count, plus what the source states beyond the sound it holds
  // when the part reaches the end of what it holds.
  int statedSampleCount() override;

 private:
  AudioStreamSource* shown = nullptr;
  int partFirst = 0;
  int partCount = 0;
};

}  // namespace vantrel
