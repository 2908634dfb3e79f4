#include "sources/VideoStreamSourceAVI.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "numeric/ExtendedFloat.h"
#include "platform/FileProbe.h"
#include "sources/FrameDelivery.h"
#include "sources/SourceKinds.h"

namespace vantrel {

// The interface promises the platform's picture limits.
static_assert(kMaxSourceSide == kMaxPictureSide && kMaxSourcePixels == kMaxPicturePixels);

namespace {

constexpr const char* kOutOfMemoryText =
    "An out-of-memory error occurred while processing the specified AVI video file. Make "
    "sure "
    "you have enough free memory and that you have installed the appropriate Video for "
    "Windows "
    "AVI Codec needed by this file.";
constexpr const char* kNoFormatHandlerText =
    "No format handler is registered for this AVI file format";
constexpr const char* kNoDecompressorText =
    "No AVI decompressor is available that can provide 32, 24, or 16-bit RGB bitmaps";

bool isAvisynthScript(const char* name) {
  const std::size_t length = std::strlen(name);
  return length >= 4 && strcasecmp(name + length - 4, ".avs") == 0;
}

}  // namespace

void VideoStreamSourceAVI::close() {
  decoder.close();
  bits.clear();
  bits.shrink_to_fit();
}

bool VideoStreamSourceAVI::isOpen() { return decoder.isOpen(); }

std::uint32_t VideoStreamSourceAVI::kind() { return kVideoKindAvi; }

int VideoStreamSourceAVI::codeFor(MediaStatus status) {
  switch (status) {
    case MediaStatus::Ok:
      return kVideoOk;
    case MediaStatus::FileMissing:
      return kVideoFileMissing;
    case MediaStatus::OutOfMemory:
      return kVideoOutOfMemory;
    case MediaStatus::UnknownFormat:
      return kVideoBadFormat;
    case MediaStatus::NoStream:
      return kVideoNoVideo;
    case MediaStatus::DecoderMissing:
    case MediaStatus::ConverterFailed:
      return kNoDecompressor;
    case MediaStatus::ReadFailed:
    case MediaStatus::PastEnd:
      return kVideoReadFailed;
    case MediaStatus::NotOpen:
      return kVideoNotOpen;
    case MediaStatus::SystemError:
      return setOsError(decoder.systemError());
    case MediaStatus::PictureTooLarge:
      return kVideoPictureTooLarge;
  }
  return kVideoUnknown;
}

int VideoStreamSourceAVI::open(const char* fileName) {
  if (!fileName || fileName[0] == '\0') return kVideoNoFileName;
  close();
  const FileFacts facts = probeFile(fileName);
  if (!facts.exists && facts.errnoValue == ENOENT) return kVideoFileMissing;
  // Files of 2 GiB and more are read like any other: offsets are 64-bit.
  if (isAvisynthScript(fileName)) return kNoFormatHandler;
  MediaStatus status = decoder.open(fileName, true);
  if (status == MediaStatus::Ok) {
    // The first picture must also convert to a bitmap, or no frame ever will.
    status = decoder.copyPicture(32, bits);
  }
  const int code = codeFor(status);
  if (code != kVideoOk) close();
  return code;
}

int VideoStreamSourceAVI::readFrame(int frameIndex, FrameImage** image) {
  if (!decoder.isOpen()) return kVideoNotOpen;
  // Frame numbers are compared in 64 bits: a damaged header can put the stream
  // start anywhere in the 32-bit range.
  const std::int64_t offset = std::int64_t(frameIndex) - firstFrame();
  if (offset < 0 || offset >= frameCount()) return kVideoReadFailed;
  MediaStatus status = decoder.decodePictureAt(frameIndex);
  const int bitsPerPixel = flipFrames ? 24 : 32;
  if (status == MediaStatus::Ok) status = decoder.copyPicture(bitsPerPixel, bits);
  if (status != MediaStatus::Ok) return codeFor(status);
  const VideoStreamFacts& facts = decoder.facts();
  return deliverFrame(facts.width, facts.height, bitsPerPixel, bits, flipFrames, image);
}

int VideoStreamSourceAVI::getStreamInfo(VideoStreamInfo& info) {
  if (!decoder.isOpen()) return kVideoNotOpen;
  const VideoStreamFacts& facts = decoder.facts();
  // In an AVI file one unit of the stream's time base is one frame.
  info.rate = facts.timeBaseDen;
  info.scale = facts.timeBaseNum;
  info.length = frameCount();
  info.width = facts.width;
  info.height = facts.height;
  return kVideoOk;
}

int VideoStreamSourceAVI::firstFrame() {
  if (!decoder.isOpen()) return 0;
  return int(std::clamp<std::int64_t>(decoder.facts().firstPicture, 0, INT32_MAX));
}

int VideoStreamSourceAVI::frameCount() {
  if (!decoder.isOpen()) return 0;
  const VideoStreamFacts& facts = decoder.facts();
  // Both ends are 64-bit stream times; their difference is taken in 128 bits so
  // that no pair of stored values can overflow it.
  Int128 count = 0;
  if (facts.storedFrames > 0) {
    count = facts.storedFrames;
  } else if (facts.end >= 0) {
    count = static_cast<Int128>(facts.end) - facts.firstPicture;
  }
  // The last frame number, first + count - 1, stays a 32-bit number.
  return int(std::clamp<Int128>(count, 0, INT32_MAX - firstFrame()));
}

int VideoStreamSourceAVI::statedFrameCount() {
  if (!decoder.isOpen() || decoder.facts().statedFrames < 0) return frameCount();
  return int(std::clamp<std::int64_t>(decoder.facts().statedFrames, 0,
                                      INT32_MAX - firstFrame()));
}

bool VideoStreamSourceAVI::holdsOnePicture() {
  return decoder.isOpen() && decoder.facts().onePicture;
}

const char* VideoStreamSourceAVI::errorText(int code) {
  switch (code) {
    case kVideoOutOfMemory:
      return kOutOfMemoryText;
    case kNoFormatHandler:
      return kNoFormatHandlerText;
    case kAvisynthError:
      return message;
    case kNoDecompressor:
      return kNoDecompressorText;
    default:
      return VideoStreamSource::errorText(code);
  }
}

int VideoStreamSourceAVI::setAvisynthError(const char* scriptError) {
  std::snprintf(message, sizeof message,
                "Avisynth reported an error opening your script:\n\n%.1900s",
                scriptError ? scriptError : "");
  return kAvisynthError;
}

}  // namespace vantrel
