#pragma once

// The yardstick of the speed benchmarks: how long the ffmpeg command-line
// program (Debian package "ffmpeg") takes to decode a file on one thread (and
// filter it on one) into 32-bit pictures that it throws away:
//   ffmpeg -threads 1 -filter_threads 1 -i FILE -pix_fmt bgra -f null -

#include <string>

namespace vantrel::bench {

struct FfmpegTiming {
  bool measured = false;     // false: see note
  double seconds = 0.0;      // wall-clock time of the run
  double cpuSeconds = 0.0;   // processor time (user and system) of the run
  std::string note;          // why there is no time (ffmpeg missing or failed)
};

// Runs the command above on path, runs times, and keeps the fastest run.
// outputOptions replaces "-pix_fmt bgra" (for instance "-vf fps=10,scale=160:160").
FfmpegTiming timeFfmpegDecode(const std::string& path, int runs = 1,
                              const std::string& outputOptions = "-pix_fmt bgra");

// Wall-clock and processor time of a piece of our own work, so that a loaded
// machine (the processor time barely changes) can be told from a slow program.
struct RunTime {
  double seconds = 0.0;
  double cpuSeconds = 0.0;
};

// Processor time of every thread of this process, in seconds.
double processCpuSeconds();

// Starts timing on construction; elapsed() gives the time since.
class RunTimer {
 public:
  RunTimer();
  RunTime elapsed() const;

 private:
  double wallStart;
  double cpuStart;
};

// "1.23 s (cpu 1.20 s); ffmpeg -threads 1 decode 0.90 s (cpu 0.88 s); ratio 1.37x
// (cpu 1.36x)", or our times and the note when ffmpeg gave no time.
std::string comparisonText(const RunTime& ours, const FfmpegTiming& ffmpeg);

}  // namespace vantrel::bench
