#pragma once

#include <cstdint>
#include <vector>

#include "platform/VideoDecoder.h"
#include "sources/VideoStreamSource.h"

namespace vantrel {

// The first video kind (tag VAVI): the first video stream of a RIFF AVI file,
// any codec the media libraries decode. Frame n is the n-th stored frame; the
// rate and scale come from the stream header. Other containers give code 6, so
// the search goes on to the movie kind; a WAV file (no video) gives 5.
// Avisynth scripts cannot be run here and give 11.
class VideoStreamSourceAVI : public VideoStreamSource {
 public:
  // Codes of this kind on top of the common table.
  static constexpr int kNoFormatHandler = 11;
  static constexpr int kAvisynthError = 12;
  static constexpr int kNoDecompressor = 13;

  VideoStreamSourceAVI() = default;
  ~VideoStreamSourceAVI() { close(); }

  void close() override;
  bool isOpen() override;
  std::uint32_t kind() override;
  // 0 opens the file; 3 no name, 4 missing, 5 no video, 6 not an AVI file or
  // corrupt, 7 read failure, 10 system error, 11 an Avisynth script, 13 no
  // decoder or picture conversion for the stream.
  int open(const char* fileName) override;
  // Absolute frame numbers firstFrame() .. firstFrame() + frameCount() - 1;
  // others give 7. The picture goes to FrameImage as a bottom-up 32-bit bitmap,
  // or 24-bit when the flip flag is set (FrameImage flips only those).
  int readFrame(int frameIndex, FrameImage** image) override;
  // rate / scale is the stored frame rate; length = frameCount(). 1 when closed.
  int getStreamInfo(VideoStreamInfo& info) override;
  int firstFrame() override;
  int frameCount() override;
  const char* errorText(int code) override;
  // The frames the header or the index states, when the file holds fewer.
  int statedFrameCount() override;
  bool holdsOnePicture() override;

  // Formats the Avisynth message with at most 1900 characters of the script's
  // error text as the text of code 12; returns 12.
  int setAvisynthError(const char* scriptError);

  // Seeks made by the decoder since open (for tests and benchmarks).
  int decoderSeekCount() const { return decoder.seekCount(); }

 private:
  // Maps a decoder status to this kind's code.
  int codeFor(MediaStatus status);

  VideoDecoder decoder;
  std::vector<std::uint8_t> bits;
  char message[2048] = {};
};

}  // namespace vantrel
