#pragma once

#include <cstdarg>
#include <cstdint>

#include "platform/RawAudioReader.h"
#include "sources/AudioStreamSource.h"
#include "sources/MessageSink.h"

namespace vantrel {

// The first audio kind (tag AAVI): the first audio stream of a RIFF AVI or WAV
// file, delivered exactly as stored (interleaved sample frames, by absolute
// frame number). It accepts what the audio pipeline converts itself: PCM of 8
// or 16 bits, A-law and mu-law, one or two channels (WAVE_FORMAT_EXTENSIBLE is
// read through its sub-format). Any other format gives 14 with its tag, more
// channels give 15, so the search goes on to the movie kind.
class AudioStreamSourceAVI : public AudioStreamSource {
 public:
  // Codes of this kind on top of the common table.
  static constexpr int kNoFormatHandler = 12;
  static constexpr int kAvisynthError = 13;
  static constexpr int kCompressedAudio = 14;
  static constexpr int kTooManyChannels = 15;

  AudioStreamSourceAVI() = default;
  ~AudioStreamSourceAVI() { close(); }

  // Where the read-error message box goes (dropped while unset).
  void setMessageSink(MessageSink sink) { messageSink = std::move(sink); }

  void close() override;
  bool isOpen() override;
  // 0 opens the file; 2 no name, 3 missing, 4 no audio stream, 5 not an AVI or
  // WAV file or corrupt, 6 read failure, 11 system error, 12 an Avisynth
  // script, 14 a format the pipeline cannot convert, 15 more than two
  // channels. A failed open leaves the source closed.
  int open(const char* fileName) override;
  std::uint32_t kind() override;
  // Copies sampleCount frames from frame firstSample, as many as fit into
  // bufferBytes; fewer only at the end of the stream. A read failure shows the
  // "AVI Audio Reading error" box and returns 6; a buffer too small for the
  // whole request returns 9 with what fitted.
  int read(int firstSample, int sampleCount, void* buffer, int bufferBytes,
           int& bytesRead, int& samplesRead) override;
  // rate / scale = sample frames per second; 8 when closed.
  int getStreamInfo(AudioStreamInfo& info) override;
  int firstSample() override;
  int sampleCount() override;
  const char* errorText(int code) override;
  // 13: the argument is the script's error text (const char*); 14: the format
  // tag (unsigned long); 11: an errno value (int). Other codes are returned.
  int recordError(int code, va_list args) override;

 private:
  int codeFor(MediaStatus status);

  RawAudioReader reader;
  MessageSink messageSink;
  char avisynthMessage[2048] = {};
  char compressedMessage[256] = {};
};

}  // namespace vantrel
