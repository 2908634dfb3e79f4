// Decoding speed of the source kinds: the encoder reads every frameStep-th
// frame of a clip twice (analysis pass, then frame pass), and the sound in
// runs of up to 32768 samples. Run by hand: build-*/bench/sources_bench

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "image/FrameImage.h"
#include "sources/AudioStreamSourceQT.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"
#include "support/EncodedClipWriter.h"
#include "support/TestClips.h"

namespace {

using namespace vantrel;

// Clips written once per run: 4 s at 320 x 240, 24 frames per second.
struct BenchClips {
  test::ScratchDirectory directory;
  std::string mjpegAvi = directory.file("mjpeg.avi");
  std::string h264Mp4 = directory.file("h264.mp4");
  bool haveH264 = false;

  BenchClips() {
    test::EncodedClip clip;
    clip.pattern = test::ClipPattern::MovingBars;
    clip.width = 320;
    clip.height = 240;
    clip.frames = 96;
    clip.keyFrameInterval = 48;
    clip.container = "avi";
    clip.audio = test::ClipAudio::Pcm16;
    writeEncodedClip(mjpegAvi, clip);
    if (test::clipEncoderAvailable(test::ClipVideo::H264)) {
      clip.container = "mp4";
      clip.video = test::ClipVideo::H264;
      clip.audio = test::ClipAudio::Aac;
      haveH264 = writeEncodedClip(h264Mp4, clip).empty();
    }
  }
};

BenchClips& clips() {
  static BenchClips made;
  return made;
}

// Two passes over every step-th frame, as the encode driver reads them.
void readTwoPasses(VideoStreamSource& source, int step, benchmark::State& state) {
  FrameImage* image = nullptr;
  std::int64_t frames = 0;
  for (auto _ : state) {
    for (int pass = 0; pass < 2; ++pass) {
      for (int n = 0; n < source.frameCount(); n += step) {
        if (source.readFrame(n, &image) != 0) state.SkipWithError("readFrame failed");
        ++frames;
      }
    }
  }
  std::unique_ptr<FrameImage> owner(image);
  state.counters["frames/s"] =
      benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}

void BM_AviKindMjpegEveryThirdFrame(benchmark::State& state) {
  VideoStreamSourceAVI source;
  if (source.open(clips().mjpegAvi.c_str()) != 0)
    return state.SkipWithError("open failed");
  readTwoPasses(source, 3, state);
}
BENCHMARK(BM_AviKindMjpegEveryThirdFrame)->Unit(benchmark::kMillisecond);

void BM_MovieKindH264EverySixthGridFrame(benchmark::State& state) {
  if (!clips().haveH264) return state.SkipWithError("no H.264 encoder for the clip");
  VideoStreamSourceQT source;
  if (source.open(clips().h264Mp4.c_str()) != 0)
    return state.SkipWithError("open failed");
  readTwoPasses(source, 6, state);
}
BENCHMARK(BM_MovieKindH264EverySixthGridFrame)->Unit(benchmark::kMillisecond);

void BM_MovieKindAacSound(benchmark::State& state) {
  if (!clips().haveH264) return state.SkipWithError("no clip with AAC sound");
  AudioStreamSourceQT source;
  if (source.open(clips().h264Mp4.c_str()) != 0)
    return state.SkipWithError("open failed");
  std::vector<std::uint8_t> buffer(2 * 32768);
  std::int64_t samples = 0;
  for (auto _ : state) {
    for (int first = 0; first < source.sampleCount(); first += 32768) {
      int bytes = 0;
      int got = 0;
      if (source.read(first, 32768, buffer.data(), int(buffer.size()), bytes, got) != 0) {
        state.SkipWithError("read failed");
      }
      samples += got;
    }
  }
  state.counters["samples/s"] =
      benchmark::Counter(double(samples), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MovieKindAacSound)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
