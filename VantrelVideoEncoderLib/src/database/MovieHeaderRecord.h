#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// Record 0 of a movie database: the fields the player reads before anything
// else, plus the title and author texts. Fill the fields with the helpers below
// (forVideo / forSoundOnly) and turn them into bytes with serialize().
struct MovieHeaderRecord {
  std::uint16_t frameWidth = 0;
  std::uint16_t storedHeight = 0;
  std::uint16_t bitsPerPixel = 0;
  std::uint8_t audioFormat = 0;
  std::uint8_t colourMode = 0;
  std::uint16_t framePeriodMs = 0;
  std::uint16_t framesPerSecond = 0;
  std::uint16_t keyInterval = 0;
  std::uint16_t flags = 0;
  std::uint16_t frameCount = 0;
  std::uint16_t firstAudioRecord = 0;
  std::uint32_t finePeriod = 0;
  std::string title;
  std::string author;

  // The 44-byte fixed part (all fields big-endian, the text offsets derived from
  // the texts' lengths) followed by the text area: title, zero, author, zero,
  // zero. Texts are written byte for byte up to their first zero byte.
  std::vector<std::uint8_t> serialize() const;
};

// What a movie with video needs to describe itself.
struct VideoHeaderInput {
  int screenWidth = 0;
  int screenHeight = 0;
  int colorDepth = 16;  // 12, 16, 24 or 25
  bool grayscale = false;
  bool hifiAudio = false;
  bool adpcmAudio = false;
  double fps = 15.0;
  int keyInterval = 0;
  bool holdLastFrame = false;
  bool loopPlayback = false;
  bool hasSound = false;
  int frameCount = 0;
};

// Audio format byte: 2 with hi-fi on (ADPCM then ignored), 1 with ADPCM on,
// else 0. Written also when the movie has no sound.
int audioFormatCode(bool hifiAudio, bool adpcmAudio);

// Colour mode byte of a movie with video: 1 with grayscale on and a code below
// 24, else 0 for codes up to 12, 3 for 13 to 23, 4 for 24, 5 above 24.
int colourModeCode(int colorDepth, bool grayscale);

// Playback flags: always 4, plus 1 to loop, 2 with sound, 8 to hold the last frame.
int playbackFlags(bool loopPlayback, bool hasSound, bool holdLastFrame);

// fps-derived fields, each rounded to nearest (add 0.5, truncate) and kept within
// the field's width.
std::uint16_t framePeriodMsFor(double fps);
std::uint16_t roundedFramesPerSecond(double fps);
std::uint32_t finePeriodFor(double fps);

// Header record of a movie with video; first audio record N + 1 with sound.
MovieHeaderRecord movieHeaderForVideo(const VideoHeaderInput& input,
                                      const std::string& title,
                                      const std::string& author);

// Header record of a sound-only database: video fields zero, colour mode 2,
// nominal 10 frames per second, frame count = the sound's tenths of a second,
// first audio record 1.
MovieHeaderRecord movieHeaderForSoundOnly(bool hifiAudio, bool adpcmAudio,
                                          bool holdLastFrame, bool loopPlayback,
                                          bool hasSound, int nominalFrames,
                                          const std::string& title,
                                          const std::string& author);

}  // namespace vantrel
