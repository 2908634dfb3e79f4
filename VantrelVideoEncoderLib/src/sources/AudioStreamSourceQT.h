#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/AudioDecoder.h"
#include "sources/AudioStreamSource.h"
#include "sources/MessageSink.h"
#include "sources/QuickTimeClient.h"

namespace vantrel {

// The second audio kind (tag "AQT "): the first audio stream of any file the
// media libraries open, in any codec they decode (AAC, MP3, Vorbis, Opus, FLAC,
// float or 24-bit PCM, many channels), converted to signed 16-bit little-endian
// mono at 20000 samples per second. Sample n lies at n / 20000 s of movie time;
// movie time 0 is the start of the file. A file without sound gives 4.
class AudioStreamSourceQT : public AudioStreamSource, public QuickTimeClient {
 public:
  // Codes of this kind on top of the common table.
  static constexpr int kMacOsError = 12;
  static constexpr int kQuickDrawError = 13;
  static constexpr int kLibraryMissingCode = 14;
  static constexpr int kConversionMissing = 15;
  // Samples per second delivered.
  static constexpr int kOutputRate = 20000;

  AudioStreamSourceQT() = default;
  ~AudioStreamSourceQT() { close(); }

  // Where reports of failed reads go (dropped while unset).
  void setMessageSink(MessageSink sink) { messageSink = std::move(sink); }

  void close() override;
  bool isOpen() override;
  // 0 opens the file; 2 no name, 3 no full path (over 260 characters), 4 no
  // audio stream, 12 the file cannot be opened or decoded (the text shows the
  // error value), 14 media libraries missing, 15 sound conversion missing.
  int open(const char* fileName) override;
  std::uint32_t kind() override;
  // 0 when the media libraries and the sound conversion are usable; else 14 or 15.
  int startup() override;
  // sampleCount samples from firstSample, as many as fit into bufferBytes;
  // fewer (or none) at and past the end of the sound, without error. 9 when the
  // buffer is too small for the samples that exist; 12 when decoding fails.
  int read(int firstSample, int sampleCount, void* buffer, int bufferBytes,
           int& bytesRead, int& samplesRead) override;
  // 16-bit mono at 20000 per second, formatTag 0; 8 when closed.
  int getStreamInfo(AudioStreamInfo& info) override;
  int firstSample() override;
  int sampleCount() override;
  // The length the file states, when it holds less sound.
  int statedSampleCount() override;
  const char* errorText(int code) override;

  // The two operations of this kind.
  // "QuickTime Macintosh OS error %ld" with err as the text of 12; returns 12.
  virtual int setMacOsError(int err);
  // "QuickTime QuickDraw error %ld" with err as the text of 13; returns 13.
  virtual int setQuickDrawError(int err);

  int decoderSeekCount() const { return decoder.seekCount(); }

 private:
  // Sends a failed-check report naming this source and the line of the check.
  void reportCheck(int line, const std::string& text);

  AudioDecoder decoder;
  std::vector<std::int16_t> samples;
  MessageSink messageSink;
};

}  // namespace vantrel
