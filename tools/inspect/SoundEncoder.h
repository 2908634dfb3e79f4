#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "FfmpegEncoding.h"

struct SwrContext;
struct AVAudioFifo;

namespace vantrel::inspect {

// The sound stream of a preview file: one channel of signed 16-bit samples,
// resampled to the nearest rate the encoder takes (AAC and Opus take neither
// 10000 nor 20000 per second) and cut into the encoder's frames.
class SoundEncoder {
 public:
  SoundEncoder() = default;
  ~SoundEncoder();
  SoundEncoder(const SoundEncoder&) = delete;
  SoundEncoder& operator=(const SoundEncoder&) = delete;

  // Sets up encoder id for sound at sampleRate and adds its stream to output.
  std::string open(AVFormatContext& output, AVCodecID id, int sampleRate);
  // Encodes the next count samples (whole frames; the rest waits for more).
  std::string write(AVFormatContext& output, const std::int16_t* samples,
                    std::size_t count);
  // Encodes what is left, the last frame short or padded with silence, and
  // drains the encoder.
  std::string finish(AVFormatContext& output);

 private:
  std::string encodeWaiting(AVFormatContext& output, bool all);

  CodecPtr encoder;
  AVStream* stream = nullptr;
  SwrContext* resampler = nullptr;
  AVAudioFifo* waiting = nullptr;
  int frameSize = 0;
  std::int64_t nextPts = 0;
};

}  // namespace vantrel::inspect
