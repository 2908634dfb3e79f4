#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/MediaStatus.h"

namespace vantrel {

// Facts about a decoded audio stream.
struct DecodedAudioFacts {
  int sourceRate = 0;      // the stream's own sample rate
  int sourceChannels = 0;  // the stream's own channel count
  int outputRate = 0;      // samples per second delivered
  int timeBaseNum = 1;     // the stream's time base (seconds per unit)
  int timeBaseDen = 1;
  std::int64_t length = 0;  // output samples from movie time 0 to the stream's end
  // A file cut short (a partial download) whose index lists sound past its
  // end: length ends where the sound it holds ends, and this keeps the length
  // the file states. -1 otherwise.
  std::int64_t statedLength = -1;
  std::string container;
  std::string codec;
};

// Decodes an audio stream of any media file and converts it to signed
// 16-bit mono at a chosen rate (channels mixed down). Output sample n lies at
// n / outputRate seconds of movie time; movie time 0 is the file's start, and
// time before the first sound is silence. Reading forward continues where the
// last read ended; a read that goes backwards or far ahead seeks.
// How many audio streams path has, as AudioDecoder::open numbers them; -1
// when the file cannot be opened as media.
int countAudioStreams(const char* path);

class AudioDecoder {
 public:
  AudioDecoder();
  ~AudioDecoder();
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;

  // Opens path and an audio stream of it and decodes its first sound, so a
  // stream that cannot be decoded fails here. streamNumber 0 takes the stream
  // marked default, else the first; n > 0 the n-th audio stream of the file.
  // NoStream: the file has no audio (or fewer than streamNumber streams). Any
  // earlier stream is closed first; on failure the decoder is closed.
  MediaStatus open(const char* path, int outputRate, int streamNumber = 0);
  void close();
  bool isOpen() const;
  int systemError() const;
  const DecodedAudioFacts& facts() const;

  // Writes up to maxSamples output samples starting at sample `first` into out;
  // delivered tells how many. Fewer than asked only at the end of the stream.
  MediaStatus read(std::int64_t first, int maxSamples, std::int16_t* out, int& delivered);

  int seekCount() const;

 private:
  struct State;
  std::unique_ptr<State> state;  // null when closed
  int lastSystemError = 0;
};

}  // namespace vantrel
