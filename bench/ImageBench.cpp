// Speed of the per-frame picture work: the area scaler from a 640 x 480 source onto
// the two common screens, the conversion of the working image into the handheld
// frame for enhanced 8-bit and truecolor plus, and the inverse colour map built
// once per movie. Counters give frames (or maps) per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "image/ColourGrid.h"
#include "image/ColourReduction.h"
#include "image/FrameImage.h"

namespace vantrel {
namespace {

constexpr int kSourceWidth = 640;
constexpr int kSourceHeight = 480;

// A picture with smooth gradients and some noise, so that no footprint is flat.
std::vector<std::uint32_t> makeSourcePixels(int width, int height) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  std::mt19937 random(12345);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto noise = static_cast<std::uint32_t>(random() & 0x0f);
      const std::uint32_t red = (x * 255 / width + noise) & 0xff;
      const std::uint32_t green = (y * 255 / height + noise) & 0xff;
      const std::uint32_t blue = ((x + y) * 127 / (width + height) + noise * 3) & 0xff;
      pixels[static_cast<std::size_t>(y) * width + x] = red << 16 | green << 8 | blue;
    }
  }
  return pixels;
}

// A palette of 254 spread colours in entries 1 to 254.
std::vector<std::uint32_t> makePalette() {
  std::vector<std::uint32_t> palette(kPaletteEntries, 0);
  palette[0] = 0xffffff;
  std::mt19937 random(777);
  for (int i = 1; i < kPaletteEntries - 1; ++i) {
    palette[i] = static_cast<std::uint32_t>(random() & 0xffffff);
  }
  return palette;
}

void reportFrames(benchmark::State& state) {
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Whole 640 x 480 source onto a targetWidth x targetHeight image, full size.
void scaleWholeFrame(benchmark::State& state, int targetWidth, int targetHeight) {
  std::vector<std::uint32_t> sourcePixels = makeSourcePixels(kSourceWidth, kSourceHeight);
  FrameImage source(sourcePixels.data(), kSourceWidth, kSourceHeight);
  FrameImage target(targetWidth, targetHeight);
  for (auto _ : state) {
    bool done = target.scaleArea(0, 0, targetWidth, targetHeight, source, 0.0, 0.0,
                                 kSourceWidth, kSourceHeight);
    benchmark::DoNotOptimize(done);
    benchmark::ClobberMemory();
  }
  reportFrames(state);
}

void BM_ScaleArea640x480To160x160(benchmark::State& state) { scaleWholeFrame(state, 160, 160); }
BENCHMARK(BM_ScaleArea640x480To160x160)->Unit(benchmark::kMillisecond);

void BM_ScaleArea640x480To320x240(benchmark::State& state) { scaleWholeFrame(state, 320, 240); }
BENCHMARK(BM_ScaleArea640x480To320x240)->Unit(benchmark::kMillisecond);

// The cropped 160 x 160 placement of a 640 x 480 source: a fractional window origin,
// so every footprint has partial edge weights.
void BM_ScaleArea640x480CroppedTo160x160(benchmark::State& state) {
  std::vector<std::uint32_t> sourcePixels = makeSourcePixels(kSourceWidth, kSourceHeight);
  FrameImage source(sourcePixels.data(), kSourceWidth, kSourceHeight);
  FrameImage target(160, 160);
  for (auto _ : state) {
    bool done =
        target.scaleArea(0, 0, 160, 160, source, 640.0 * 27 / 213, 0.0, 480.0, 480.0);
    benchmark::DoNotOptimize(done);
    benchmark::ClobberMemory();
  }
  reportFrames(state);
}
BENCHMARK(BM_ScaleArea640x480CroppedTo160x160)->Unit(benchmark::kMillisecond);

// A 320 x 240 working image converted with the given colour-depth code.
void convertWorkImage(benchmark::State& state, int depthCode) {
  constexpr int kWidth = 320;
  constexpr int kHeight = 240;
  std::vector<std::uint32_t> workPixels = makeSourcePixels(kWidth, kHeight);
  FrameImage workImage(workPixels.data(), kWidth, kHeight);
  const std::vector<std::uint32_t> palette = makePalette();
  std::vector<std::uint8_t> colourMap(kFineGridCells);
  buildColourMap(palette.data(), true, colourMap.data());
  std::vector<std::uint8_t> frame(
      static_cast<std::size_t>(kWidth) * storedFrameHeight(depthCode, kHeight));
  for (auto _ : state) {
    convertFrame(workImage, frame.data(), depthCode, false, kWidth, kHeight, colourMap.data(),
                 true);
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  reportFrames(state);
}

void BM_ConvertFrameEnhanced320x240(benchmark::State& state) {
  convertWorkImage(state, kEnhancedDepth);
}
BENCHMARK(BM_ConvertFrameEnhanced320x240)->Unit(benchmark::kMicrosecond);

void BM_ConvertFrameTruecolorPlus320x240(benchmark::State& state) {
  convertWorkImage(state, kTruecolorPlusDepth);
}
BENCHMARK(BM_ConvertFrameTruecolorPlus320x240)->Unit(benchmark::kMicrosecond);

void BM_BuildColourMapFineGrid(benchmark::State& state) {
  const std::vector<std::uint32_t> palette = makePalette();
  std::vector<std::uint8_t> colourMap(kFineGridCells);
  for (auto _ : state) {
    buildColourMap(palette.data(), true, colourMap.data());
    benchmark::DoNotOptimize(colourMap.data());
    benchmark::ClobberMemory();
  }
  state.counters["maps/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildColourMapFineGrid)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
