// Conversion speed on a long clip: 60 s of 640 x 480 MJPEG at 30 fps converted
// at the default settings (160 x 160, truecolor plus, 15 fps) and with
// -colordepth=16 (enhanced 8-bit: a colour analysis pass, then the frame pass).
// For each the benchmark reports output frames per second and how the time
// divides between decoding, scaling, analysing and compressing, beside the time
// the ffmpeg command-line program needs only to decode the same file.
// Run by hand: build-*/bench/conversion_bench (install ffmpeg with apt-get for
// the comparison; without it the benchmark says so).
//
// How the phases are timed, all in one encode through the real engine:
//   decoding    the video source's readFrame, timed by a source wrapper that
//               the engine hands to its encode driver;
//   scaling     the wrapper composes every delivered frame once more exactly
//               as the driver does (copy, clear, area scaling with the same
//               placement) and times that; the copy is taken out of the totals;
//   analysing   the rest of the colour analysis pass (histogram, pixel keys)
//               plus the palette and codec set-up;
//   compressing the rest of the frame pass (flips, conversion to handheld
//               samples, key and difference frames, writing the records).
// Times are processor time of the process, which a busy machine barely
// changes; wall-clock totals are given as well.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchClip.h"
#include "ConversionTimer.h"
#include "EncoderSettings.h"
#include "FfmpegTimer.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"

namespace vantrel::bench {
namespace {

BenchClip& clip() {
  static BenchClip made;
  return made;
}

const FfmpegTiming& ffmpegTiming() {
  static const FfmpegTiming timing = timeFfmpegDecode(clip().path());
  return timing;
}

std::string summary;

void convert(benchmark::State& state, const char* label, std::vector<std::string> flags) {
  if (!clip().ok()) return state.SkipWithError(("clip not written: " + clip().failure()).c_str());
  const std::string output = clip().scratchFile("movie.pdb");
  flags.insert(flags.begin(), {"conversion_bench", "-vidfile=" + clip().path(), "-outfile=" + output});
  std::vector<const char*> argv;
  for (const std::string& flag : flags) argv.push_back(flag.c_str());
  EncoderSettings settings;
  if (!settings.parseCommandLine(int(argv.size()), argv.data())) {
    return state.SkipWithError("flags refused");
  }
  VideoStreamSourceAVI aviKind;
  VideoStreamSourceQT movieKind;
  VideoSourceList videoKinds{&aviKind, &movieKind};
  AudioSourceList audioKinds;
  ConversionReport report;
  for (auto _ : state) {
    ConversionTimer engine;
    engine.videoSources = &videoKinds;
    engine.audioSources = &audioKinds;
    settings.applyToEngine(engine);
    if (engine.openSources(nullptr, clip().path().c_str()) != nullptr) {
      return state.SkipWithError("the clip does not open");
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(output.c_str(), "wb"),
                                                        &std::fclose);
    if (!file) return state.SkipWithError("no output file");
    engine.encodeMovie(file.get(), "Bench", engine.screenWidth, engine.screenHeight,
                       engine.colorDepth, engine.flipVertical, engine.flipHorizontal,
                       engine.rotate, 0.0f, 0.0f, 0, 0);
    if (!engine.succeeded()) return state.SkipWithError(engine.failure().c_str());
    report = engine.report();
    state.SetIterationTime(report.total.seconds);
  }
  const FfmpegTiming& ffmpeg = ffmpegTiming();
  state.counters["frames"] = report.frames;
  state.counters["frames/s"] = report.frames / report.total.cpuSeconds;
  state.counters["decode%"] = report.share(report.decoding);
  state.counters["scale%"] = report.share(report.scaling);
  state.counters["analyse%"] = report.share(report.analysing);
  state.counters["compress%"] = report.share(report.compressing);
  if (ffmpeg.measured) {
    state.counters["ffmpeg_s"] = ffmpeg.cpuSeconds;
  } else {
    state.SetLabel(ffmpeg.note);
  }
  summary += describeConversion(label, report, ffmpeg);
}

void BM_ConvertDefaultTruecolorPlus(benchmark::State& state) {
  convert(state, "default settings (160 x 160, truecolor plus, 15 fps)", {});
}
BENCHMARK(BM_ConvertDefaultTruecolorPlus)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_ConvertEnhanced8Bit(benchmark::State& state) {
  convert(state, "-colordepth=16 (160 x 160, enhanced 8-bit, 15 fps, two passes)",
          {"-colordepth=16"});
}
BENCHMARK(BM_ConvertEnhanced8Bit)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

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
