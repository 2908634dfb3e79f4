#include "codec/FrameDecoder.h"

#include <cstring>

#include "codec/FrameRecordFormat.h"

namespace vantrel {

using namespace frame_record;

FrameDecoder::FrameDecoder(int frameWidth, int frameHeight)
    : width(frameWidth),
      height(frameHeight),
      sizeValid(DifferenceFrameDecoder::sizeIsValid(frameWidth, frameHeight)),
      differences(frameWidth, frameHeight) {
  const std::size_t size =
      sizeValid ? static_cast<std::size_t>(frameWidth) * frameHeight : 0;
  pictures[0].assign(size, 0);
  pictures[1].assign(size, 0);
  colours[0] = 0x00FFFFFFu;
}

DecodeStatus FrameDecoder::decodeNextFrame(const std::uint8_t* record,
                                           std::size_t length) {
  const int index = frameCount & 1;
  ++frameCount;
  return decodeFrame(record, length, pictures[index].data(), pictures[index ^ 1].data());
}

const std::uint8_t* FrameDecoder::picture() const {
  return pictures[frameCount == 0 ? 0 : (frameCount - 1) & 1].data();
}

DecodeStatus FrameDecoder::decodeFrame(const std::uint8_t* record, std::size_t length,
                                       std::uint8_t* target, std::uint8_t* reference) {
  lastKind = 0;
  lastPalette = false;
  if (!sizeValid) return DecodeStatus::BadFrameSize;
  if (length < 4) return DecodeStatus::Truncated;
  const std::uint32_t kind = getBigEndian16(record + kKindOffset);
  if (kind != kKeyFrameKind && kind != kDifferenceFrameKind) {
    return DecodeStatus::UnknownFrameKind;
  }
  if (record[kLengthUnitsOffset] != lengthUnits(length) ||
      record[kPaddingFlagOffset] > 1) {
    return DecodeStatus::BadHeader;
  }
  lastKind = static_cast<int>(kind);
  return kind == kKeyFrameKind ? decodeKeyFrame(record, length, target, reference)
                               : decodeDifference(record, length, target, reference);
}

DecodeStatus FrameDecoder::decodeKeyFrame(const std::uint8_t* record, std::size_t length,
                                          std::uint8_t* target, std::uint8_t* reference) {
  if (length < static_cast<std::size_t>(kKeyHeaderSize)) return DecodeStatus::Truncated;
  const std::uint32_t paletteOffset = getBigEndian32(record + kPaletteOffsetOffset);
  const std::uint32_t pixelOffset = getBigEndian32(record + kPixelOffsetOffset);
  const bool withPalette = paletteOffset != 0;
  if (getBigEndian16(record + kFirstPaletteIndexOffset) != kFirstPaletteIndex ||
      getBigEndian16(record + kPaletteCountOffset) != kPaletteEntryCount ||
      (withPalette &&
       (paletteOffset != kKeyHeaderSize ||
        pixelOffset != static_cast<std::uint32_t>(kPixelOffsetWithPalette))) ||
      (!withPalette && pixelOffset != static_cast<std::uint32_t>(kKeyHeaderSize))) {
    return DecodeStatus::BadHeader;
  }
  const bool fullResolution = width == kFullResolutionWidth;
  const std::size_t pixelBytes = fullResolution
                                     ? static_cast<std::size_t>(width) * height
                                     : static_cast<std::size_t>(width / 2) * (height / 2);
  const std::size_t end = pixelOffset + pixelBytes;
  if (length < end) return DecodeStatus::Truncated;
  if (DecodeStatus status = checkEnd(record, length, end); status != DecodeStatus::Ok) {
    return status;
  }

  if (withPalette) {
    const std::uint8_t* entry = record + paletteOffset;
    for (int i = kFirstPaletteIndex; i < kFirstPaletteIndex + kPaletteEntryCount; ++i) {
      colours[i] = static_cast<std::uint32_t>(entry[0]) << 16 |
                   static_cast<std::uint32_t>(entry[1]) << 8 | entry[2];
      entry += 3;
    }
    hasPalette = true;
    lastPalette = true;
  }
  const std::uint8_t* pixels = record + pixelOffset;
  if (fullResolution) {
    std::memcpy(target, pixels, pixelBytes);
  } else {
    for (int y = 0; y < height; y += 2) {
      std::uint8_t* top = target + static_cast<std::size_t>(y) * width;
      for (int x = 0; x < width; x += 2) {
        const std::uint8_t colour = *pixels++;
        top[x] = colour;
        top[x + 1] = colour;
        top[x + width] = colour;
        top[x + width + 1] = colour;
      }
    }
  }
  std::memcpy(reference, target, static_cast<std::size_t>(width) * height);
  return DecodeStatus::Ok;
}

DecodeStatus FrameDecoder::decodeDifference(const std::uint8_t* record,
                                            std::size_t length, std::uint8_t* target,
                                            const std::uint8_t* reference) {
  if (length < static_cast<std::size_t>(kDifferenceHeaderSize)) {
    return DecodeStatus::Truncated;
  }
  if (getBigEndian32(record + kCodeStreamOffsetOffset) !=
      static_cast<std::uint32_t>(kCodeStreamOffset)) {
    return DecodeStatus::BadHeader;
  }
  const DecodeStatus status =
      differences.decodeDifferenceFrame(record, length, target, reference);
  if (status != DecodeStatus::Ok) return status;
  return checkEnd(record, length, differences.streamEnd());
}

DecodeStatus FrameDecoder::checkEnd(const std::uint8_t* record, std::size_t length,
                                    std::size_t end) {
  if (length == end) return DecodeStatus::Ok;
  const bool padded = record[kPaddingFlagOffset] == 1 && length == end + 1 &&
                      (length & 1) == 0 && record[end] == 0;
  return padded ? DecodeStatus::Ok : DecodeStatus::TrailingBytes;
}

}  // namespace vantrel
