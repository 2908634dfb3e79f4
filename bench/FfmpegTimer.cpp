#include "FfmpegTimer.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace vantrel::bench {

namespace {

// Quotes text for the shell: inside single quotes, ' becomes '\''.
std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

double wallNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Processor time of the finished child processes (the shell and ffmpeg).
double childrenCpuNow() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

FfmpegTiming timeFfmpegDecode(const std::string& path, int runs,
                              const std::string& outputOptions) {
  FfmpegTiming timing;
  if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
    timing.note = "ffmpeg is not installed (Debian package ffmpeg): no comparison";
    return timing;
  }
  const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -threads 1 -filter_threads 1 -i " +
                              shellQuoted(path) + " " + outputOptions + " -f null - >/dev/null";
  for (int run = 0; run < runs; ++run) {
    const double wallStart = wallNow();
    const double cpuStart = childrenCpuNow();
    const int status = std::system(command.c_str());
    const double wall = wallNow() - wallStart;
    const double cpu = childrenCpuNow() - cpuStart;
    if (status != 0) {
      timing.measured = false;
      timing.note = "ffmpeg failed on the clip (status " + std::to_string(status) + ")";
      return timing;
    }
    if (!timing.measured || wall < timing.seconds) timing.seconds = wall;
    if (!timing.measured || cpu < timing.cpuSeconds) timing.cpuSeconds = cpu;
    timing.measured = true;
  }
  return timing;
}

double processCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

RunTimer::RunTimer() : wallStart(wallNow()), cpuStart(processCpuSeconds()) {}

RunTime RunTimer::elapsed() const {
  return RunTime{wallNow() - wallStart, processCpuSeconds() - cpuStart};
}

std::string comparisonText(const RunTime& ours, const FfmpegTiming& ffmpeg) {
  char text[240];
  if (!ffmpeg.measured) {
    std::snprintf(text, sizeof text, "%.2f s (cpu %.2f s); %s", ours.seconds, ours.cpuSeconds,
                  ffmpeg.note.c_str());
  } else {
    std::snprintf(text, sizeof text,
                  "%.2f s (cpu %.2f s); ffmpeg -threads 1 decode %.2f s (cpu %.2f s); "
                  "ratio %.2fx (cpu %.2fx)",
                  ours.seconds, ours.cpuSeconds, ffmpeg.seconds, ffmpeg.cpuSeconds,
                  ours.seconds / ffmpeg.seconds, ours.cpuSeconds / ffmpeg.cpuSeconds);
  }
  return text;
}

}  // namespace vantrel::bench
