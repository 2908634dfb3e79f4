#pragma once

// The part of the source a conversion takes (-start and -duration): reading a
// time as typed and turning it into the source frame range of encodeMovie.

#include <cstdint>
#include <string>

namespace vantrel {

class AudioStreamSource;
class VideoStreamSource;

// Reads a time: seconds ("90", "12.5") or [hh:]mm:ss[.fff] ("1:30",
// "01:02:03.250"), minutes and seconds below 60 after the first field.
// Returns false, leaving seconds as it was, for anything else (a sign, an
// empty field, trailing characters, an infinite or huge value).
bool parseTime(const char* text, double& seconds);

// The time as [h:]mm:ss.fff, for messages ("0:04.000", "1:02:03.250").
std::string timeText(double seconds);

// The source frame range of encodeMovie: the whole source is 0 and 0.
struct SourceRange {
  int firstFrame = 0;
  int lastFrame = 0;
};

// The range that starts startSeconds into the source and lasts
// durationSeconds (0: to the end), for movies of requestedFps frames per
// second from source. The first frame is the output frame shown at the start
// (the sound begins at that frame's time), the frame count the duration in
// output frames rounded to nearest, at least one. Returns an empty text, or
// the message when the start lies at or past the end of the source.
std::string sourceRangeFor(VideoStreamSource& source, int requestedFps, double startSeconds,
                           double durationSeconds, SourceRange& range);

// A part of a sound, in the source's sample frames (AudioStreamRange).
struct SoundRange {
  std::int64_t firstSample = 0;
  std::int64_t sampleCount = 0;
};

// The part of source's sound that starts startSeconds into it and lasts
// durationSeconds (0: to the end), for a movie without moving pictures (a
// sound-only movie, a still picture held over its sound), whose sound starts
// exactly there. Returns an empty text, or the message when the start lies at
// or past the end of the sound.
std::string soundRangeFor(AudioStreamSource& source, double startSeconds,
                          double durationSeconds, SoundRange& range);

}  // namespace vantrel
