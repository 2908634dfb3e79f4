// Decoding speed of the AVI video kind on a long clip, against the ffmpeg
// command-line program: every third frame of 60 s of 640 x 480 MJPEG at 30 fps
// is read through VideoStreamSourceAVI into a FrameImage (one pass, as the
// encoder reads a 10 fps movie), and ffmpeg decodes the whole file on one
// thread into 32-bit pictures. The goal is at most 1.5 times ffmpeg's time.
// Run by hand: build-*/bench/source_decode_bench
// (install ffmpeg with apt-get for the comparison; without it the benchmark
// says so and reports its own time only).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "BenchClip.h"
#include "FfmpegTimer.h"
#include "image/FrameImage.h"
#include "sources/VideoStreamSourceAVI.h"

namespace vantrel::bench {
namespace {

constexpr int kFrameStep = 3;
constexpr double kGoalRatio = 1.5;

BenchClip& clip() {
  static BenchClip made;
  return made;
}

std::string summary;

void BM_AviKindEveryThirdFrameOf640x480Mjpeg(benchmark::State& state) {
  if (!clip().ok()) return state.SkipWithError(("clip not written: " + clip().failure()).c_str());
  RunTime took;
  int frames = 0;
  int seeks = 0;
  for (auto _ : state) {
    // Opening is part of reading the file, as it is for ffmpeg.
    const RunTimer timer;
    VideoStreamSourceAVI source;
    if (source.open(clip().path().c_str()) != 0) return state.SkipWithError("open failed");
    FrameImage* image = nullptr;
    frames = 0;
    for (int n = source.firstFrame(); n < source.firstFrame() + source.frameCount();
         n += kFrameStep) {
      if (source.readFrame(n, &image) != 0) {
        std::unique_ptr<FrameImage> owner(image);
        return state.SkipWithError("readFrame failed");
      }
      ++frames;
    }
    std::unique_ptr<FrameImage> owner(image);
    seeks = source.decoderSeekCount();
    took = timer.elapsed();
    state.SetIterationTime(took.seconds);
  }
  const FfmpegTiming ffmpeg = timeFfmpegDecode(clip().path());
  state.counters["frames"] = frames;
  state.counters["seeks"] = seeks;
  state.counters["cpu_s"] = took.cpuSeconds;
  if (ffmpeg.measured) {
    state.counters["ffmpeg_s"] = ffmpeg.seconds;
    state.counters["ratio"] = took.seconds / ffmpeg.seconds;
    state.counters["cpu_ratio"] = took.cpuSeconds / ffmpeg.cpuSeconds;
  } else {
    state.SetLabel(ffmpeg.note);
  }
  const char* verdict = "";
  if (ffmpeg.measured) {
    verdict = took.cpuSeconds <= kGoalRatio * ffmpeg.cpuSeconds ? " -> within the 1.5x goal"
                                                                 : " -> over the 1.5x goal";
  }
  char line[512];
  std::snprintf(line, sizeof line,
                "AVI kind, every third frame of %d (%d frames read, %d seeks): %s%s\n",
                kClipFrames, frames, seeks, comparisonText(took, ffmpeg).c_str(), verdict);
  summary += line;
}
BENCHMARK(BM_AviKindEveryThirdFrameOf640x480Mjpeg)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vantrel::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::fputs(vantrel::bench::summary.c_str(), stdout);
  return 0;
}
