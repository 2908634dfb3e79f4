#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "sources/AudioStreamSource.h"

namespace vantrel {

// The engine's audio switches, as the block writer reads them.
struct AudioBlockParams {
  bool hifiAudio = false;       // 20000 Hz 8-bit output; ADPCM is then ignored
  bool adpcmAudio = false;      // IMA ADPCM blocks of 65536 samples (10000 Hz only)
  bool audioBoostOn = true;     // scale the signal by audioBoostPercent / 100
  int audioBoostPercent = 150;
  bool audioPrefilter = false;  // remove the bass below 200 Hz
  // The part of a millisecond (0 to 999 microseconds) by which the sound starts
  // after startOffsetMs: the time of a first frame seldom falls on a millisecond.
  int startOffsetMicros = 0;
};

// The engine's progress hook: (event, value, data) as the engine reports them.
using ProgressHook = std::function<int(int event, int value, std::intptr_t data)>;

// Progress events raised by writeAudioBlocks.
constexpr int kAudioBlockEvent = 5;     // value = blocks written so far, data = block count
constexpr int kPhaseCompleteEvent = 1;  // value 1 = audio phase done, data 0

// Output rate of the movie's sound for these switches: 20000 or 10000 Hz.
int audioOutputRate(const AudioBlockParams& params);
// True when the records are IMA ADPCM coded (ADPCM on and hi-fi off).
bool usesAdpcm(const AudioBlockParams& params);
// Bytes of one audio record for these switches: 32768 or 32772.
int audioRecordBytes(const AudioBlockParams& params);

class WorkerPool;

// Reads the sound of source from startOffsetMs on, mixes it to mono, resamples it to
// the output rate, and writes blockCount audio records of full size to file, starting
// at its current position. Before each record its file offset is stored into
// recordOffsets[firstIndex + 2 * b] (b counted from 0); the entries in between are
// not touched. Sound past the end of the stream becomes silence.
//
// Progress: event 5 with (0, blockCount) at the start, then (b + 1, blockCount) after
// record b; event 1 with value 1 after the last record.
//
// Returns 0 when every record was written. Returns -1, with the records written so far
// left in the file and no completion event, when abortRequested is seen before a
// record, when the source's read returns a code (the source has told the user), when
// the stream information cannot be read or describes a format the pipeline cannot
// handle, when the working buffers cannot be allocated, or when a record is not
// written completely (file's error indicator is then set, which tells the caller
// it was the output that failed). Write errors that the stream's buffer hides
// until later stay in the error indicator for the caller's final check.
//
// workers: the threads the resampling is shared with (the records are the same
// for any pool); null does all of it on the calling thread.
int writeAudioBlocks(std::FILE* file, AudioStreamSource& source,
                     const AudioBlockParams& params, int blockCount,
                     std::int32_t* recordOffsets, int firstIndex, int startOffsetMs,
                     const std::atomic<bool>& abortRequested,
                     const ProgressHook& reportProgress, WorkerPool* workers = nullptr);

}  // namespace vantrel
