#include "database/MovieHeaderRecord.h"

#include <cmath>
#include <cstring>

#include "database/BigEndian.h"
#include "database/DatabaseFormat.h"

namespace vantrel {

namespace {

// The 16-bit fields cannot carry more; a value that does not fit is held at the
// largest one rather than wrapped into a small, misleading number.
std::uint16_t clamp16(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 65535.0) return 65535;
  return static_cast<std::uint16_t>(value);
}

std::uint16_t clamp16(int value) {
  if (value <= 0) return 0;
  if (value >= 65535) return 65535;
  return static_cast<std::uint16_t>(value);
}

// Stored frame height: the screen height for the 8-bit codes, 1.5 times it
// (truncated) for the truecolor codes, whose frames add colour-difference rows.
int headerFrameHeight(int screenHeight, int colorDepth) {
  return colorDepth >= 24 ? screenHeight + screenHeight / 2 : screenHeight;
}

// Texts stop at their first zero byte: the player reads them as C strings.
std::size_t textLength(const std::string& text) { return std::strlen(text.c_str()); }

}  // namespace

std::vector<std::uint8_t> MovieHeaderRecord::serialize() const {
  const std::size_t titleLength = textLength(title);
  const std::size_t authorLength = textLength(author);
  const std::uint32_t titleOffset = kMovieHeaderSize;
  const std::uint32_t authorOffset = titleOffset + std::uint32_t(titleLength) + 1;
  const std::uint32_t thirdOffset = authorOffset + std::uint32_t(authorLength) + 1;
  const std::uint32_t textEnd = thirdOffset + 1;

  std::vector<std::uint8_t> bytes(textEnd, 0);
  std::uint8_t* out = bytes.data();
  putBigEndian16(out + kMhVersionOffset, kMovieHeaderVersion);
  putBigEndian16(out + kMhSizeOffset, kMovieHeaderSize);
  putBigEndian16(out + kMhWidthOffset, frameWidth);
  putBigEndian16(out + kMhHeightOffset, storedHeight);
  putBigEndian16(out + kMhBitsPerPixelOffset, bitsPerPixel);
  out[kMhAudioFormatOffset] = audioFormat;
  out[kMhColourModeOffset] = colourMode;
  putBigEndian16(out + kMhFramePeriodOffset, framePeriodMs);
  putBigEndian16(out + kMhFramesPerSecondOffset, framesPerSecond);
  putBigEndian16(out + kMhKeyIntervalOffset, keyInterval);
  putBigEndian16(out + kMhFlagsOffset, flags);
  putBigEndian32(out + kMhTitleOffset, titleOffset);
  putBigEndian32(out + kMhAuthorOffset, authorOffset);
  putBigEndian32(out + kMhThirdTextOffset, thirdOffset);
  putBigEndian32(out + kMhTextEndOffset, textEnd);
  putBigEndian16(out + kMhFrameCountOffset, frameCount);
  putBigEndian16(out + kMhFirstAudioRecordOffset, firstAudioRecord);
  putBigEndian32(out + kMhFinePeriodOffset, finePeriod);
  std::memcpy(out + titleOffset, title.c_str(), titleLength);
  std::memcpy(out + authorOffset, author.c_str(), authorLength);
  return bytes;
}

int audioFormatCode(bool hifiAudio, bool adpcmAudio) {
  if (hifiAudio) return kAudioFormatHifiPcm;
  return adpcmAudio ? kAudioFormatAdpcm : kAudioFormatPcm;
}

int colourModeCode(int colorDepth, bool grayscale) {
  // The truecolor layouts keep their own mode: their frames carry gray pictures.
  if (grayscale && colorDepth < 24) return kColourModeGrayscale;
  if (colorDepth <= 12) return kColourModeStandard;
  if (colorDepth < 24) return kColourModeEnhanced;
  if (colorDepth == 24) return kColourModeTruecolor;
  return kColourModeTruecolorPlus;
}

int playbackFlags(bool loopPlayback, bool hasSound, bool holdLastFrame) {
  int flags = kFlagAlways;
  if (loopPlayback) flags |= kFlagLoop;
  if (hasSound) flags |= kFlagHasSound;
  if (holdLastFrame) flags |= kFlagHoldLastFrame;
  return flags;
}

std::uint16_t framePeriodMsFor(double fps) {
  return fps > 0.0 ? clamp16(std::trunc(1000.0 / fps + 0.5)) : 0;
}

std::uint16_t roundedFramesPerSecond(double fps) { return clamp16(std::trunc(fps + 0.5)); }

std::uint32_t finePeriodFor(double fps) {
  if (!(fps > 0.0)) return 0;
  const double period = std::trunc(655360000.0 / fps + 0.5);
  return period >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(period);
}

MovieHeaderRecord movieHeaderForVideo(const VideoHeaderInput& input,
                                      const std::string& title,
                                      const std::string& author) {
  MovieHeaderRecord record;
  record.frameWidth = clamp16(input.screenWidth);
  record.storedHeight = clamp16(headerFrameHeight(input.screenHeight, input.colorDepth));
  record.bitsPerPixel = input.colorDepth < 24 ? 8 : 16;
  record.audioFormat = static_cast<std::uint8_t>(audioFormatCode(input.hifiAudio, input.adpcmAudio));
  record.colourMode = static_cast<std::uint8_t>(colourModeCode(input.colorDepth, input.grayscale));
  record.framePeriodMs = framePeriodMsFor(input.fps);
  record.framesPerSecond = roundedFramesPerSecond(input.fps);
  record.keyInterval = clamp16(input.keyInterval);
  record.flags = static_cast<std::uint16_t>(
      playbackFlags(input.loopPlayback, input.hasSound, input.holdLastFrame));
  record.frameCount = clamp16(input.frameCount);
  record.firstAudioRecord = input.hasSound ? clamp16(input.frameCount + 1) : 0;
  record.finePeriod = finePeriodFor(input.fps);
  record.title = title;
  record.author = author;
  return record;
}

MovieHeaderRecord movieHeaderForSoundOnly(bool hifiAudio, bool adpcmAudio,
                                          bool holdLastFrame, bool loopPlayback,
                                          bool hasSound, int nominalFrames,
                                          const std::string& title,
                                          const std::string& author) {
  MovieHeaderRecord record;
  record.audioFormat = static_cast<std::uint8_t>(audioFormatCode(hifiAudio, adpcmAudio));
  record.colourMode = kColourModeSoundOnly;
  record.framePeriodMs = kSoundOnlyFramePeriodMs;
  record.framesPerSecond = kSoundOnlyFramesPerSecond;
  record.flags = static_cast<std::uint16_t>(playbackFlags(loopPlayback, hasSound, holdLastFrame));
  record.frameCount = clamp16(nominalFrames);
  record.firstAudioRecord = 1;
  record.finePeriod = kSoundOnlyFinePeriod;
  record.title = title;
  record.author = author;
  return record;
}

}  // namespace vantrel
