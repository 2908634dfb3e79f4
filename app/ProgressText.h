#pragma once

// The console texts of the engine's progress events. Pure functions: they
// return the exact text of an event and which message operation shows it;
// ConsoleMovieEncoder only writes what they return.
//
// Counter lines (analysis, frames, audio blocks) begin with a carriage return
// and end without a line feed, so each rewrites the previous one in place.
// Several arguments pack two 16-bit numbers: low 16 bits the first number,
// high 16 bits the second (argument = first + 65536 x second).

#include <cstdint>
#include <string>

namespace vantrel {

struct EncodeSummary;

// Which console message operation shows a text.
enum class ProgressChannel : int {
  None,   // nothing is shown (unknown event)
  Plain,  // standard output, no prefix
  Info,   // a warning: standard error, program-name prefix when set
  Error,  // standard error, program-name prefix when set
};

struct ProgressMessage {
  ProgressChannel channel = ProgressChannel::None;
  std::string text;
};

// The message for any event of engine/ProgressEvent.h; channel None and an
// empty text for an unknown code. A null text pointer of a Warning or Error
// event shows as an empty text; a null summary shows nothing.
ProgressMessage progressMessage(int event, int value, std::intptr_t data);

// The closing summary block.
std::string summaryText(const EncodeSummary& summary);
// "\rEncoded frame n of N, bytes, quality" for a FrameEncoded event.
std::string frameEncodedText(int value, std::intptr_t data);
// The analysis counter line, or "\nTranslating colors...\n" when data is 0.
std::string analysisText(std::intptr_t data);
// "\rAudio block n of N encoded".
std::string audioBlockText(int value, std::intptr_t data);
// The end-of-phase line for a PhaseComplete value.
std::string phaseCompleteText(int value);

// The share done and the time left of a counter line: "13% done, 0:41 left"
// for done of total after elapsedSeconds. The share is the count's; the time
// left is the whole conversion's: the rest of the count at its pace so far,
// plus laterSeconds for the counts still to come (workAfterCount). The time
// left reads "--:--" within the first second or before anything is done, and
// laterSeconds ("0:00" when nothing comes after) once the count is complete.
std::string progressShareText(int done, int total, double elapsedSeconds,
                              double laterSeconds = 0.0);

// Estimates for the counts an encode has not begun, from conversions timed on
// a desktop machine: a frame of the frame pass takes about twice as long as
// its colour analysis (1.4 times at 160 x 160, 3 times at 320 x 240), and a
// second of sound about 5 ms to decode, resample and write (3 ms for a WAV,
// 5 ms with -hifi; compressed sound adds its decoding).
constexpr double kFramePassPerAnalysedFrame = 2.0;
constexpr double kSoundWorkPerSecond = 0.005;

// Seconds of work after the count of a counter event: after the colour
// analysis, the frame pass (frames at kFramePassPerAnalysedFrame times the
// analysis's secondsPerFrame) and the sound; after the frame pass, the sound
// (soundSeconds of it, at kSoundWorkPerSecond); after the audio blocks, none.
double workAfterCount(int event, int frames, double secondsPerFrame, double soundSeconds);

// A span of time as m:ss, or h:mm:ss from an hour on (seconds rounded up).
std::string timeLeftText(double seconds);

// The quality figure of a FrameEncoded value, in percent: the high 16 bits
// (quality x 10000) / 100 + 0.05 in single precision, capped at 100.0. The
// 0.05 makes the one-decimal display round to nearest.
float displayedQuality(int value);

}  // namespace vantrel
