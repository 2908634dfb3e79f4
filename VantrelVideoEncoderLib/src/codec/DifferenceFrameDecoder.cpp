#include "codec/DifferenceFrameDecoder.h"

#include <cstring>

#include "codec/CodecTables.h"
#include "codec/FrameRecordFormat.h"

namespace vantrel {

using namespace frame_record;

namespace {

// Keeps sample offsets well inside int for any accepted size.
constexpr int kMaxSide = 4096;

}  // namespace

DifferenceFrameDecoder::DifferenceFrameDecoder(int frameWidth, int frameHeight)
    : width(frameWidth),
      height(frameHeight),
      pictureSize(sizeIsValid(frameWidth, frameHeight)
                      ? static_cast<std::size_t>(frameWidth) * frameHeight
                      : 0) {
  displacements.build(frameWidth);
}

bool DifferenceFrameDecoder::sizeIsValid(int frameWidth, int frameHeight) {
  return frameWidth > 0 && frameHeight > 0 && frameWidth % 8 == 0 &&
         frameHeight % 8 == 0 && frameWidth <= kMaxSide && frameHeight <= kMaxSide;
}

DecodeStatus DifferenceFrameDecoder::decodeDifferenceFrame(
    const std::uint8_t* data, std::size_t length, std::uint8_t* targetPicture,
    const std::uint8_t* referencePicture) {
  record = data;
  recordLength = length;
  target = targetPicture;
  reference = referencePicture;
  repeats = {};
  failure = DecodeStatus::Ok;
  position = 0;
  if (pictureSize == 0) {
    fail(DecodeStatus::BadFrameSize);
    return failure;
  }
  if (length < static_cast<std::size_t>(kCodeStreamOffset)) {
    fail(DecodeStatus::Truncated);
    return failure;
  }
  std::memcpy(shortColours.data(), data + kShortColoursOffset, kShortColourCount);
  position = kCodeStreamOffset;

  for (int y = 0; y < height; y += 8) {
    for (int x = 0; x < width; x += 8) {
      if (!decodeBlock8(y * width + x)) return failure;
    }
  }
  // A well-formed record never starts a run longer than the blocks left.
  for (const RepeatState& repeat : repeats) {
    if (repeat.remaining != 0) {
      fail(DecodeStatus::RunPastLastBlock);
      return failure;
    }
  }
  return failure;
}

bool DifferenceFrameDecoder::fail(DecodeStatus status) {
  if (failure == DecodeStatus::Ok) failure = status;
  return false;
}

bool DifferenceFrameDecoder::readByte(int& value) {
  if (failure != DecodeStatus::Ok) return false;
  if (position >= recordLength) return fail(DecodeStatus::Truncated);
  value = record[position++];
  return true;
}

bool DifferenceFrameDecoder::nextCode(int level, int& code) {
  RepeatState& repeat = repeats[level];
  if (repeat.remaining == 0) {
    int byte = 0;
    if (!readByte(byte)) return false;
    if (byte != kRepeatCode) {
      code = byte;
      return true;
    }
    int count = 0;
    int repeated = 0;
    if (!readByte(count) || !readByte(repeated)) return false;
    // A run of the run code has no meaning; no writer produces one.
    if (repeated == kRepeatCode) return fail(DecodeStatus::BadRepeat);
    repeat.remaining = count + kMinRepeat;
    repeat.code = repeated;
  }
  --repeat.remaining;
  code = repeat.code;
  return true;
}

int DifferenceFrameDecoder::quadrantOffset(int offset, int side, int q) const {
  const int half = side / 2;
  switch (q) {
    case 0:
      return offset;
    case 1:
      return offset + half;
    case 2:
      return offset + half * width + half;
    default:
      return offset + half * width;
  }
}

bool DifferenceFrameDecoder::decodeBlock8(int offset) {
  int code = 0;
  if (!nextCode(kLevel8x8, code)) return false;
  if (code <= kLastCopyCode) return copyBlock(offset, 8, code);
  if (code >= kFirstSplitCode && code <= kLastSplitCode) {
    const int splitBits = code - kFirstSplitCode;
    for (int q = 0; q < 4; ++q) {
      if (!decodeQuadrant4(quadrantOffset(offset, 8, q), ((splitBits >> q) & 1) != 0)) {
        return false;
      }
    }
    return true;
  }
  if (code == kSplitAllCode) {
    for (int q = 0; q < 4; ++q) {
      if (!decodeQuadrant4(quadrantOffset(offset, 8, q), false)) return false;
    }
    return true;
  }
  if (code == kPatternCode) return patternBlock8(offset);
  if (code >= kFirstShortFillCode && code < kFillCode) {
    fillBlock(offset, 8, shortColours[code - kFirstShortFillCode]);
    return true;
  }
  if (code == kFillCode) {
    int colour = 0;
    if (!readByte(colour)) return false;
    fillBlock(offset, 8, colour);
    return true;
  }
  return true;  // 241, 242, 244: keep
}

bool DifferenceFrameDecoder::decodeQuadrant4(int offset, bool splitFlag) {
  int code = kSplitAllCode;
  if (!splitFlag && !nextCode(kLevel4x4, code)) return false;
  if (code == kSplitAllCode) {
    for (int q = 0; q < 4; ++q) {
      if (!decodeBlock2(quadrantOffset(offset, 4, q))) return false;
    }
    return true;
  }
  if (code <= kLastCopyCode) return copyBlock(offset, 4, code);
  if (code == kPatternCode) return patternBlock4(offset);
  if (code >= kFirstShortFillCode && code < kFillCode) {
    fillBlock(offset, 4, shortColours[code - kFirstShortFillCode]);
    return true;
  }
  if (code == kFillCode) {
    int colour = 0;
    if (!readByte(colour)) return false;
    fillBlock(offset, 4, colour);
    return true;
  }
  return true;  // 225 to 242, 244: keep
}

bool DifferenceFrameDecoder::decodeBlock2(int offset) {
  int code = 0;
  if (!nextCode(kLevel2x2, code)) return false;
  if (code <= kLastCopyCode) return copyBlock(offset, 2, code);
  if (code == kSplitAllCode) return rawBlock2(offset);
  if (code >= kFirstShortFillCode && code < kFillCode) {
    fillBlock(offset, 2, shortColours[code - kFirstShortFillCode]);
    return true;
  }
  if (code == kFillCode) {
    int colour = 0;
    if (!readByte(colour)) return false;
    fillBlock(offset, 2, colour);
    return true;
  }
  return true;  // 225 to 245: keep, and a pattern at this size reads nothing
}

bool DifferenceFrameDecoder::copyBlock(int offset, int side, int displacement) {
  // Rows advance by the frame width, so a source that leaves the picture
  // sideways reads the neighbouring row; only the buffer's ends are limits.
  const long long source =
      static_cast<long long>(offset) + displacements.offset(displacement);
  const long long last = source + static_cast<long long>(side - 1) * (width + 1);
  if (source < 0 || last >= static_cast<long long>(pictureSize)) {
    return fail(DecodeStatus::CopyOutsidePicture);
  }
  for (int r = 0; r < side; ++r) {
    std::memcpy(target + offset + r * width, reference + source + r * width,
                static_cast<std::size_t>(side));
  }
  return true;
}

void DifferenceFrameDecoder::fillBlock(int offset, int side, int colour) {
  for (int r = 0; r < side; ++r) {
    std::memset(target + offset + r * width, colour, static_cast<std::size_t>(side));
  }
}

bool DifferenceFrameDecoder::patternBlock8(int offset) {
  int index = 0;
  int colour0 = 0;
  int colour1 = 0;
  if (!readByte(index) || !readByte(colour0) || !readByte(colour1)) return false;
  const std::uint64_t bits = kPattern8Table[index];
  for (int r = 0; r < 8; ++r) {
    std::uint8_t* row = target + offset + r * width;
    for (int c = 0; c < 8; ++c) {
      row[c] =
          static_cast<std::uint8_t>(((bits >> (8 * r + c)) & 1) != 0 ? colour1 : colour0);
    }
  }
  return true;
}

bool DifferenceFrameDecoder::patternBlock4(int offset) {
  int index = 0;
  int colour0 = 0;
  int colour1 = 0;
  if (!readByte(index) || !readByte(colour0) || !readByte(colour1)) return false;
  const unsigned bits = kPattern4Table[index];
  for (int r = 0; r < 4; ++r) {
    std::uint8_t* row = target + offset + r * width;
    for (int c = 0; c < 4; ++c) {
      row[c] =
          static_cast<std::uint8_t>(((bits >> (4 * r + c)) & 1) != 0 ? colour1 : colour0);
    }
  }
  return true;
}

bool DifferenceFrameDecoder::rawBlock2(int offset) {
  // Samples come top-left, top-right, bottom-left, bottom-right.
  int samples[4] = {};
  for (int& sample : samples) {
    if (!readByte(sample)) return false;
  }
  target[offset] = static_cast<std::uint8_t>(samples[0]);
  target[offset + 1] = static_cast<std::uint8_t>(samples[1]);
  target[offset + width] = static_cast<std::uint8_t>(samples[2]);
  target[offset + width + 1] = static_cast<std::uint8_t>(samples[3]);
  return true;
}

}  // namespace vantrel
