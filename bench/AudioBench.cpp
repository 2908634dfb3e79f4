// Speed of the audio conversion: one output block through the 501-tap resampler
// (the dominant cost of a movie's sound) with a worker on each processor as in an
// encode, the filter design done once per movie, and the ADPCM coder.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include "audio/AudioBlockWriter.h"
#include "audio/ImaAdpcmCoder.h"
#include "audio/SincFilterBank.h"
#include "threads/MachineResources.h"
#include "threads/WorkerPool.h"

namespace vantrel {
namespace {

// A 16-bit stereo 44100 Hz tone held in memory.
class ToneSource final : public AudioStreamSource {
 public:
  explicit ToneSource(int frames) : samples(static_cast<std::size_t>(frames) * 2) {
    for (int n = 0; n < frames; ++n) {
      const auto v = static_cast<std::int16_t>(
          12000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * n / 44100.0));
      samples[2 * n] = v;
      samples[2 * n + 1] = v;
    }
  }
  ~ToneSource() = default;

  void close() override {}
  bool isOpen() override { return true; }
  int open(const char*) override { return 0; }
  std::uint32_t kind() override { return 0x42454E43; }  // 'BENC'
  int read(int first, int count, void* buffer, int, int& bytesRead,
           int& samplesRead) override {
    std::memcpy(buffer, samples.data() + 2 * static_cast<std::size_t>(first),
                static_cast<std::size_t>(count) * 4);
    bytesRead = count * 4;
    samplesRead = count;
    return 0;
  }
  int getStreamInfo(AudioStreamInfo& info) override {
    info.rate = 44100;
    info.scale = 1;
    info.length = sampleCount();
    info.bitsPerSample = 16;
    info.blockAlign = 4;
    info.channels = 2;
    info.samplesPerSecond = 44100;
    info.formatTag = 1;
    return 0;
  }
  int firstSample() override { return 0; }
  int sampleCount() override { return static_cast<int>(samples.size() / 2); }

 private:
  std::vector<std::int16_t> samples;
};

void BM_PcmBlockFrom44100Stereo(benchmark::State& state) {
  ToneSource source(150000);
  std::FILE* sink = std::fopen("/dev/null", "wb");
  std::int32_t offsets[2] = {};
  const std::atomic<bool> abortRequested = false;
  AudioBlockParams params;
  WorkerPool workers(usableProcessorCount());
  for (auto _ : state) {
    int result = writeAudioBlocks(sink, source, params, 1, offsets, 0, 0, abortRequested,
                                  ProgressHook(), &workers);
    benchmark::DoNotOptimize(result);
  }
  std::fclose(sink);
  state.SetItemsProcessed(state.iterations() * 32768);  // output samples
}
BENCHMARK(BM_PcmBlockFrom44100Stereo)->Unit(benchmark::kMillisecond);

void BM_FilterBankDesignWithPrefilter(benchmark::State& state) {
  for (auto _ : state) {
    SincFilterBank bank(44100, 10000, true, true, 150);
    float tap = bank.phase(15)[250];
    benchmark::DoNotOptimize(tap);
  }
}
BENCHMARK(BM_FilterBankDesignWithPrefilter)->Unit(benchmark::kMillisecond);

void BM_AdpcmEncodeBlock(benchmark::State& state) {
  std::vector<std::int16_t> samples(65536);
  for (int i = 0; i < 65536; ++i) {
    samples[i] = static_cast<std::int16_t>(16000.0 * std::sin(i * 0.3));
  }
  std::vector<std::uint8_t> codes(32768);
  for (auto _ : state) {
    AdpcmState coder;
    encodeAdpcm(samples.data(), codes.data(), 65536, coder);
    benchmark::DoNotOptimize(codes.data());
  }
  state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_AdpcmEncodeBlock);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
