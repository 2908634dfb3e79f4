#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// Layout of the compressed frame records that the handheld player decodes.
// Every multi-byte field is big-endian.
//
// Both kinds start with:
//   0  2  frame kind (1 key frame, 2 difference frame)
//   2  1  record length in 256-byte units, (length + 255) / 256, low 8 bits kept
//   3  1  padding flag: 1 when records are padded to an even length
//
// Key frame, after the common fields:
//   4  2  first palette index (1)
//   6  2  palette entry count (254)
//   8  4  palette offset: 16 when a palette follows, else 0
//  12  4  pixel offset: 778 when a palette follows, else 16
//  16  762 palette entries 1 to 254 as red, green, blue bytes (first frame only)
//  then the pixels: all samples for 160-column frames, otherwise one byte per
//  2 x 2 group; then a zero padding byte when asked for and the length is odd.
//
// Difference frame, after the common fields:
//   4  8  reserved, zero
//  12  8  short fill colours for codes 246 to 253
//  20  4  code stream offset (24)
//  24  -  code stream, then the optional zero padding byte.
namespace frame_record {

// Every record fits a buffer of this many bytes.
constexpr int kRecordBufferSize = 65536;

constexpr int kKeyFrameKind = 1;
constexpr int kDifferenceFrameKind = 2;

constexpr int kKindOffset = 0;
constexpr int kLengthUnitsOffset = 2;
constexpr int kPaddingFlagOffset = 3;

constexpr int kKeyHeaderSize = 16;
constexpr int kFirstPaletteIndexOffset = 4;
constexpr int kPaletteCountOffset = 6;
constexpr int kPaletteOffsetOffset = 8;
constexpr int kPixelOffsetOffset = 12;
constexpr int kFirstPaletteIndex = 1;
constexpr int kPaletteEntryCount = 254;
constexpr int kPaletteBytes = kPaletteEntryCount * 3;
constexpr int kPixelOffsetWithPalette = kKeyHeaderSize + kPaletteBytes;  // 778

constexpr int kDifferenceHeaderSize = 24;
constexpr int kShortColoursOffset = 12;
constexpr int kShortColourCount = 8;
constexpr int kCodeStreamOffsetOffset = 20;
constexpr int kCodeStreamOffset = 24;

// The width whose key frames carry every sample; other widths send 2 x 2 groups.
constexpr int kFullResolutionWidth = 160;

// Difference frame codes (one byte, operands follow).
constexpr int kLastCopyCode = 224;    // 0..224: copy at that displacement
constexpr int kFirstSplitCode = 225;  // 225..240: split; bit q = quadrant q uncoded
constexpr int kLastSplitCode = 240;
constexpr int kRepeatCode = 243;          // count n, code r: r for the next n + 4 blocks
constexpr int kKeepCode = 244;            // the target block stays as it is
constexpr int kPatternCode = 245;         // pattern index, colour0, colour1
constexpr int kFirstShortFillCode = 246;  // 246..253: fill with short colour (code - 246)
constexpr int kFillCode = 254;            // colour
constexpr int kSplitAllCode = 255;  // split (8 x 8, 4 x 4) or four raw samples (2 x 2)

// Smallest repeat a run code is worth, and the count byte's largest value.
constexpr int kMinRepeat = 4;

inline int lengthUnits(std::size_t length) {
  return static_cast<int>(((length + 255) / 256) & 0xFF);
}

inline void putBigEndian16(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value);
}

inline void putBigEndian32(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 24);
  at[1] = static_cast<std::uint8_t>(value >> 16);
  at[2] = static_cast<std::uint8_t>(value >> 8);
  at[3] = static_cast<std::uint8_t>(value);
}

inline std::uint32_t getBigEndian16(const std::uint8_t* at) {
  return (static_cast<std::uint32_t>(at[0]) << 8) | at[1];
}

inline std::uint32_t getBigEndian32(const std::uint8_t* at) {
  return (static_cast<std::uint32_t>(at[0]) << 24) |
         (static_cast<std::uint32_t>(at[1]) << 16) |
         (static_cast<std::uint32_t>(at[2]) << 8) | at[3];
}

}  // namespace frame_record
}  // namespace vantrel
