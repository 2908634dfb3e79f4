// Speed of the frame codec: compressing a moving 160 x 160 clip at the default
// frame sizes (1600 target, 800 minimum, 3000 maximum) with and without fast
// mode, a 320 x 240 clip, decoding the difference frames again, and the codec's
// start-up (colour map and distance table). Counters give frames per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "codec/FrameCodec.h"
#include "codec/FrameDecoder.h"

namespace vantrel {
namespace {

constexpr int kClipFrames = 32;

// A 6 x 6 x 6 colour cube and a gray ramp in entries 1 to 254, white at 0.
std::vector<std::uint32_t> makePalette() {
  std::vector<std::uint32_t> palette(256, 0);
  palette[0] = 0xffffff;
  int entry = 1;
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 6; ++g) {
      for (int b = 0; b < 6; ++b) {
        palette[entry++] =
            static_cast<std::uint32_t>(r * 51 << 16 | g * 51 << 8 | b * 51);
      }
    }
  }
  for (int i = 0; entry < 255; ++i, ++entry) {
    const auto level = static_cast<std::uint32_t>(6 + 6 * i);
    palette[entry] = level << 16 | level << 8 | level;
  }
  return palette;
}

// A textured background panning right with a bright square moving across it.
std::vector<std::vector<std::uint8_t>> makeClip(int width, int height) {
  std::vector<std::vector<std::uint8_t>> clip;
  for (int t = 0; t < kClipFrames; ++t) {
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const int sx = x - 2 * t;
        const int r = (((sx + 4096) / 6) + (y / 11)) % 6;
        const int g = (((sx + 4096) * 3 + y) / 17) % 6;
        const int b = (((sx + 4096) ^ y) / 5) % 6;
        frame[static_cast<std::size_t>(y) * width + x] =
            static_cast<std::uint8_t>(1 + r * 36 + g * 6 + b);
      }
    }
    const int side = width / 5;
    const int left = (3 * t) % (width - side);
    const int top = (5 * t) % (height - side);
    for (int y = top; y < top + side; ++y) {
      for (int x = left; x < left + side; ++x) {
        frame[static_cast<std::size_t>(y) * width + x] =
            static_cast<std::uint8_t>(217 + (x + y + t) % 38);
      }
    }
    clip.push_back(std::move(frame));
  }
  return clip;
}

// Compresses the clip over and over as one long movie; one iteration is one frame.
void compressClip(benchmark::State& state, int width, int height, bool fast) {
  const std::vector<std::uint32_t> palette = makePalette();
  const auto clip = makeClip(width, height);
  FrameCodec codec;
  codec.initFrameCodec(palette.data(), true, width, height, 16);
  std::vector<std::uint8_t> out(FrameCodec::kRecordBufferSize);
  std::vector<std::uint8_t> recon[2] = {std::vector<std::uint8_t>(clip[0].size()),
                                        std::vector<std::uint8_t>(clip[0].size())};
  double quality = 0;
  codec.compressFrame(out.data(), clip[0].data(), recon[0].data(), nullptr, fast, 800,
                      3000, 1600, quality, false, 0, 0);
  recon[1] = recon[0];
  int index = 1;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    const int length = codec.compressFrame(
        out.data(), clip[index % kClipFrames].data(), recon[index % 2].data(),
        recon[(index - 1) % 2].data(), fast, 800, 3000, 1600, quality, false, index, 0);
    bytes += length;
    ++index;
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
  state.counters["bytes/frame"] = benchmark::Counter(
      static_cast<double>(bytes) / static_cast<double>(state.iterations()));
}

void BM_CompressMovingClip160(benchmark::State& state) {
  compressClip(state, 160, 160, state.range(0) != 0);
}
BENCHMARK(BM_CompressMovingClip160)->Arg(0)->Arg(1)->ArgName("fast");

void BM_CompressMovingClip320x240(benchmark::State& state) {
  compressClip(state, 320, 240, state.range(0) != 0);
}
BENCHMARK(BM_CompressMovingClip320x240)->Arg(0)->Arg(1)->ArgName("fast");

// Decodes a stored run of difference records, as a player or a checking tool does.
void BM_DecodeMovingClip160(benchmark::State& state) {
  const std::vector<std::uint32_t> palette = makePalette();
  const auto clip = makeClip(160, 160);
  FrameCodec codec;
  codec.initFrameCodec(palette.data(), true, 160, 160, 16);
  std::vector<std::uint8_t> out(FrameCodec::kRecordBufferSize);
  std::vector<std::uint8_t> recon[2] = {std::vector<std::uint8_t>(160 * 160),
                                        std::vector<std::uint8_t>(160 * 160)};
  std::vector<std::vector<std::uint8_t>> records;
  double quality = 0;
  for (int i = 0; i < kClipFrames; ++i) {
    const int length =
        codec.compressFrame(out.data(), clip[i].data(), recon[i % 2].data(),
                            i == 0 ? nullptr : recon[(i - 1) % 2].data(), false, 800,
                            3000, 1600, quality, false, i, 0);
    if (i == 0) recon[1] = recon[0];
    records.emplace_back(out.begin(), out.begin() + length);
  }
  for (auto _ : state) {
    FrameDecoder decoder(160, 160);
    for (const auto& record : records) {
      benchmark::DoNotOptimize(decoder.decodeNextFrame(record.data(), record.size()));
    }
  }
  state.counters["frames/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kClipFrames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeMovingClip160);

void BM_InitFrameCodec(benchmark::State& state) {
  const std::vector<std::uint32_t> palette = makePalette();
  FrameCodec codec;
  for (auto _ : state) {
    codec.initFrameCodec(palette.data(), state.range(0) != 0, 160, 160, 16);
    benchmark::DoNotOptimize(codec.colourMap());
  }
}
BENCHMARK(BM_InitFrameCodec)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("fine")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
