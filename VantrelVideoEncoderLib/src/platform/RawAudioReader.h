#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/MediaStatus.h"

namespace vantrel {

// Facts about a stored (not decoded) audio stream.
struct RawAudioFacts {
  int formatTag = 0;  // wave format tag; for WAVE_FORMAT_EXTENSIBLE the sub-format's
  int channels = 0;
  int sampleRate = 0;            // sample frames per second
  int bitsPerSample = 0;         // bits of one channel's sample as stored
  int blockAlign = 0;            // bytes per sample frame, all channels
  std::int64_t firstSample = 0;  // number of the first sample frame
  std::int64_t length = 0;       // sample frames in the stream
  std::string container;         // "avi" or "wav"
  std::string codec;             // e.g. "pcm_s16le"
};

// Reads an audio stream of an AVI or WAV file as it is stored: whole
// sample frames, channels interleaved, by absolute sample-frame number. Reading
// forward continues from where the last read ended; a read that goes backwards
// or far ahead seeks.
class RawAudioReader {
 public:
  RawAudioReader();
  ~RawAudioReader();
  RawAudioReader(const RawAudioReader&) = delete;
  RawAudioReader& operator=(const RawAudioReader&) = delete;

  // Opens path (AVI or WAV only, else UnknownFormat; NoStream without audio,
  // or with fewer than streamNumber audio streams). streamNumber 0 takes the
  // stream marked default, else the first; n > 0 the n-th audio stream. Any
  // earlier stream is closed first; on failure the reader is closed.
  MediaStatus open(const char* path, int streamNumber = 0);
  void close();
  bool isOpen() const;
  int systemError() const;
  const RawAudioFacts& facts() const;

  // Copies up to maxFrames sample frames starting at frame `first` into out
  // (room for maxFrames * blockAlign bytes); delivered tells how many. Fewer
  // than asked only at the end of the stream (none past it).
  MediaStatus read(std::int64_t first, int maxFrames, std::uint8_t* out, int& delivered);

  int seekCount() const;

 private:
  struct State;
  std::unique_ptr<State> state;  // null when closed
  int lastSystemError = 0;
};

}  // namespace vantrel
