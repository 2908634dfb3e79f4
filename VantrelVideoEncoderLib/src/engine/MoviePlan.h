#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

class AudioStreamSource;
class VideoStreamSource;
struct AudioStreamInfo;

// Planning rules shared by the two encode drivers: how many audio records a movie
// needs, the key frame interval, the cut that keeps a movie within the
// database's 16-bit record and frame counts, and what an encode may take of
// the machine.

// Audio records per second of movie: one record holds 1.6384 s (hi-fi, which
// wins over ADPCM), 6.5536 s (ADPCM) or 3.2768 s (8-bit PCM) of sound.
double audioRecordsPerSecond(bool hifiAudio, bool adpcmAudio);

// Audio records of a movie of frameCount frames at fps: ceil(frameCount x k / fps).
int audioRecordCountFor(int frameCount, double fps, bool hifiAudio, bool adpcmAudio);

// The nominal frames of a sound-only movie of the sound info describes: its
// length in tenths of a second, truncated; 0 when its rate is 0.
int soundOnlyFrameCount(const AudioStreamInfo& info);

// Audio records of a sound of nominalFrames tenths of a second:
// ceil(nominalFrames x k / 10).
int soundOnlyRecordCountFor(int nominalFrames, bool hifiAudio, bool adpcmAudio);

// Key frame interval in frames: 1 with allKeyFrames; else, with keyFrameSeconds
// set, the larger of (frameCount + 59) / 60 and round(fps) x keyFrameSeconds;
// else 0 (no periodic key frames).
int keyFrameInterval(bool allKeyFrames, int keyFrameSeconds, int frameCount, double fps);

// A movie brought within the database limits: at most 65535 frames and at most
// 65535 records in all (record 0, the frames, the audio records).
struct MovieCut {
  bool cut = false;           // true when frames were dropped
  int originalFrames = 0;     // frames (or tenths of a second) before the cut
  int frameCount = 0;         // frames kept
  int audioRecordCount = 0;   // audio records for the kept frames
};

// Video movie of frameCount frames at fps; hasAudio adds the audio records.
MovieCut fitVideoMovie(int frameCount, double fps, bool hasAudio, bool hifiAudio,
                       bool adpcmAudio);

// Sound-only movie of nominalFrames tenths of a second (the header's frame count).
MovieCut fitSoundOnlyMovie(int nominalFrames, bool hifiAudio, bool adpcmAudio);

// The warning shown when a cut dropped frames: how much of the source is kept.
std::string videoCutWarning(const MovieCut& cut, double fps);
std::string soundCutWarning(const MovieCut& cut);

// The warning for a source file cut short (a partial download, a lost tail):
// the seconds it holds of those it states. Empty when it holds all it states.
std::string cutSourceWarning(VideoStreamSource& source);
std::string cutSourceWarning(AudioStreamSource& source);

// Threads an encode runs on for the engine's workerThreads: that count, or for 0
// (or less) the processors this process may run on.
int encodeThreadCount(int workerThreads);

// Bytes of analysed pictures an encode keeps for its frame pass: requested (the
// engine's analysedPictureBytes; none when not positive), and never more than
// an eighth of physicalBytes, the machine's memory, when that is known (above
// 0). Pictures not kept are read again, so the movie is the same either way.
std::int64_t keptPictureBytes(std::int64_t requested, std::int64_t physicalBytes);

}  // namespace vantrel
