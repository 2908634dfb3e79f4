#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/DecodeStatus.h"
#include "codec/DifferenceFrameDecoder.h"

namespace vantrel {

// Decodes the frame records of a movie, key frames and difference frames, the
// way the handheld player shows them. Every record is checked as it is decoded;
// a damaged one gives a status other than Ok and never makes the decoder read
// or write outside the record or its pictures.
//
// Typical use (a checking tool): one FrameDecoder per movie, decodeNextFrame for
// each frame record in order, picture() after each, palette() to turn samples
// into colours.
class FrameDecoder {
 public:
  // Frames of frameWidth x frameHeight samples (the stored height for truecolor
  // movies). An unsupported size makes every decode return BadFrameSize.
  FrameDecoder(int frameWidth, int frameHeight);

  // Decodes the next record of the movie: frame k goes into picture k mod 2 and
  // refers to picture (k - 1) mod 2, as the player's two buffers alternate. A
  // key frame is copied into both pictures. Both pictures start all zero. The
  // frame counter advances even when decoding fails.
  DecodeStatus decodeNextFrame(const std::uint8_t* record, std::size_t length);

  // The picture of the last frame given to decodeNextFrame (frameWidth x
  // frameHeight bytes, top row first), or picture 0 before the first.
  const std::uint8_t* picture() const;
  int framesDecoded() const { return frameCount; }

  // Decodes one record into target, referring to reference (distinct buffers of
  // frameWidth x frameHeight bytes). target holds the frame two back on entry.
  // A key frame fills target and is copied into reference as well. A key frame
  // that carries a palette updates palette().
  DecodeStatus decodeFrame(const std::uint8_t* record, std::size_t length,
                           std::uint8_t* target, std::uint8_t* reference);

  // The palette as last received: entry 0 white, 1 to 254 from the latest key
  // frame with a palette (black before one arrives), 255 black.
  const std::array<std::uint32_t, 256>& palette() const { return colours; }
  bool paletteReceived() const { return hasPalette; }

  // Kind of the last record decoded (1 key, 2 difference, 0 none or unknown) and
  // whether it carried a palette.
  int lastFrameKind() const { return lastKind; }
  bool lastFrameHadPalette() const { return lastPalette; }

 private:
  DecodeStatus decodeKeyFrame(const std::uint8_t* record, std::size_t length,
                              std::uint8_t* target, std::uint8_t* reference);
  DecodeStatus decodeDifference(const std::uint8_t* record, std::size_t length,
                                std::uint8_t* target, const std::uint8_t* reference);
  // Checks what follows the end of the frame data at offset end: nothing, or
  // one zero padding byte that makes a flagged record even.
  static DecodeStatus checkEnd(const std::uint8_t* record, std::size_t length,
                               std::size_t end);

  int width;
  int height;
  bool sizeValid;
  DifferenceFrameDecoder differences;
  std::vector<std::uint8_t> pictures[2];
  int frameCount = 0;
  std::array<std::uint32_t, 256> colours{};
  bool hasPalette = false;
  int lastKind = 0;
  bool lastPalette = false;
};

}  // namespace vantrel
