#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/DecodeStatus.h"
#include "codec/DisplacementTable.h"

namespace vantrel {

// Decodes the code stream of a difference frame record, exactly as the
// handheld player does, into the target picture by reference to the previous
// picture. Unlike the player it checks every read: a record that ends early,
// a copy whose source leaves the reference, or a malformed run stops decoding
// with a status instead of touching memory outside the record or the pictures.
//
// Pictures are frameWidth x frameHeight bytes, rows top first. The target holds
// the frame two back on entry (the keep code leaves blocks as they are); the
// reference holds the previous frame and is only read.
class DifferenceFrameDecoder {
 public:
  // frameWidth and frameHeight must be positive multiples of 8; see sizeIsValid.
  DifferenceFrameDecoder(int frameWidth, int frameHeight);

  static bool sizeIsValid(int frameWidth, int frameHeight);

  // Decodes the code stream of record (length bytes, header included) from
  // offset 24, every 8 x 8 block in raster order. Reads the short fill colours
  // from the header. Only the code stream is checked here, not the header's
  // kind, length or padding fields; streamEnd() tells where the codes ended.
  DecodeStatus decodeDifferenceFrame(const std::uint8_t* record, std::size_t length,
                                     std::uint8_t* target, const std::uint8_t* reference);

  // Offset in the record just after the last byte read (the end of the code
  // stream after a successful decode, the failing position otherwise).
  std::size_t streamEnd() const { return position; }

  // One block at sample offset (row x frameWidth + column) of its top-left
  // corner; each consumes the block's code and operands. A 4 x 4 quadrant with
  // splitFlag set reads no code and decodes its four 2 x 2 blocks. Return false
  // once decoding has failed (see status()). Usable between the start of a
  // decode and its end; decodeDifferenceFrame calls them.
  bool decodeBlock8(int offset);
  bool decodeQuadrant4(int offset, bool splitFlag);
  bool decodeBlock2(int offset);

  DecodeStatus status() const { return failure; }

 private:
  // The pending run of one block size.
  struct RepeatState {
    int remaining = 0;
    int code = 0;
  };

  bool fail(DecodeStatus status);
  bool readByte(int& value);
  // The code for the next block of level, from a pending run or the stream.
  bool nextCode(int level, int& code);
  bool copyBlock(int offset, int side, int displacement);
  void fillBlock(int offset, int side, int colour);
  bool patternBlock8(int offset);
  bool patternBlock4(int offset);
  bool rawBlock2(int offset);
  // Sample offset of quadrant q (0 top-left, 1 top-right, 2 bottom-right,
  // 3 bottom-left) of the block at offset with side samples per side.
  int quadrantOffset(int offset, int side, int q) const;

  int width;
  int height;
  std::size_t pictureSize;
  DisplacementTable displacements;

  const std::uint8_t* record = nullptr;
  std::size_t recordLength = 0;
  std::size_t position = 0;
  std::uint8_t* target = nullptr;
  const std::uint8_t* reference = nullptr;
  std::array<std::uint8_t, 8> shortColours{};
  std::array<RepeatState, 3> repeats{};
  DecodeStatus failure = DecodeStatus::Ok;
};

}  // namespace vantrel
