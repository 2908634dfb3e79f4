// Peak memory of a whole 320 x 240 conversion against the length of the movie.
// Run by hand: encode_memory_bench [MINUTES...] (default 1 10). Each length is
// encoded in a child process of its own, from generated sources that compute
// every picture and sample when asked (so the input takes no memory that grows
// with its length), into a temporary file; the child reports its peak resident
// size (getrusage ru_maxrss). A converter whose buffers are per run, not per
// frame, shows the same peak for every length.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "engine/MovieEncoder.h"
#include "sources/FrameDelivery.h"

namespace vantrel {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFramesPerSecond = 15;
constexpr int kSampleRate = 22050;

// Moving colour bars with a square that crosses the picture, 15 frames a second.
class GeneratedVideoSource final : public VideoStreamSource {
 public:
  explicit GeneratedVideoSource(int frames) : length(frames) {}
  ~GeneratedVideoSource() = default;

  void close() override { opened = false; }
  bool isOpen() override { return opened; }
  std::uint32_t kind() override { return fourCC('G', 'E', 'N', 'V'); }
  int open(const char*) override {
    opened = true;
    return kVideoOk;
  }
  int readFrame(int frameIndex, FrameImage** image) override {
    if (!opened) return kVideoNotOpen;
    if (frameIndex < 0 || frameIndex >= length) return kVideoReadFailed;
    bits.resize(std::size_t(kWidth) * kHeight * 4);
    const int squareX = (frameIndex * 3) % (kWidth - 40);
    const int squareY = (frameIndex * 2) % (kHeight - 40);
    for (int row = 0; row < kHeight; ++row) {
      for (int x = 0; x < kWidth; ++x) {
        std::uint8_t* p = bits.data() + (std::size_t(row) * kWidth + x) * 4;
        const bool square = x >= squareX && x < squareX + 40 && row >= squareY && row < squareY + 40;
        const int bar = ((x + frameIndex) / 40) % 8;
        p[0] = square ? 20 : std::uint8_t((bar & 1) * 200 + row / 8);
        p[1] = square ? 220 : std::uint8_t((bar & 2) * 100 + x / 16);
        p[2] = square ? 240 : std::uint8_t((bar & 4) * 50 + 30);
        p[3] = 0;
      }
    }
    return deliverFrame(kWidth, kHeight, 32, bits, false, image);
  }
  int getStreamInfo(VideoStreamInfo& info) override {
    info.rate = kFramesPerSecond;
    info.scale = 1;
    info.length = length;
    info.width = kWidth;
    info.height = kHeight;
    return kVideoOk;
  }
  int firstFrame() override { return 0; }
  int frameCount() override { return opened ? length : 0; }

 private:
  int length;
  bool opened = false;
  std::vector<std::uint8_t> bits;
};

// A 16-bit mono tone whose pitch wanders, computed for each read.
class GeneratedAudioSource final : public AudioStreamSource {
 public:
  explicit GeneratedAudioSource(int samples) : length(samples) {}
  ~GeneratedAudioSource() = default;

  void close() override { opened = false; }
  bool isOpen() override { return opened; }
  int open(const char*) override {
    opened = true;
    return kAudioOk;
  }
  std::uint32_t kind() override { return fourCC('G', 'E', 'N', 'A'); }
  int read(int first, int count, void* buffer, int bufferBytes, int& bytesRead,
           int& samplesRead) override {
    bytesRead = 0;
    samplesRead = 0;
    if (!opened) return kAudioNotOpen;
    const int available = std::max(0, std::min(count, length - first));
    const int fitting = std::min(available, bufferBytes / 2);
    auto* out = static_cast<std::int16_t*>(buffer);
    for (int i = 0; i < fitting; ++i) {
      const double t = double(first + i) / kSampleRate;
      out[i] = static_cast<std::int16_t>(9000.0 * std::sin(2.0 * std::numbers::pi * (440.0 + 60.0 * std::sin(t)) * t));
    }
    samplesRead = fitting;
    bytesRead = fitting * 2;
    return kAudioOk;
  }
  int getStreamInfo(AudioStreamInfo& info) override {
    info.rate = kSampleRate;
    info.scale = 1;
    info.length = length;
    info.bitsPerSample = 16;
    info.blockAlign = 2;
    info.channels = 1;
    info.samplesPerSecond = kSampleRate;
    info.formatTag = 1;
    return kAudioOk;
  }
  int firstSample() override { return 0; }
  int sampleCount() override { return opened ? length : 0; }

 private:
  int length;
  bool opened = false;
};

struct RunResult {
  double minutes = 0;
  int frames = 0;
  long long fileBytes = 0;
  double seconds = 0;
  long peakKilobytes = 0;
  bool completed = false;
};

// Encodes minutes of movie with sound; called in a child process.
RunResult encodeFor(double minutes) {
  RunResult result;
  result.minutes = minutes;
  const int frames = static_cast<int>(minutes * 60 * kFramesPerSecond) + 1;
  GeneratedVideoSource video(frames);
  GeneratedAudioSource audio(static_cast<int>(minutes * 60 * kSampleRate));
  video.open("generated");
  audio.open("generated");
  MovieEncoder engine;
  engine.screenWidth = kWidth;
  engine.screenHeight = kHeight;
  engine.keyFrameSeconds = 10;
  engine.selectedVideo = &video;
  engine.selectedAudio = &audio;
  std::FILE* output = std::tmpfile();
  if (output == nullptr) return result;
  const auto start = std::chrono::steady_clock::now();
  engine.encodeMovie(output, "Memory bench", kWidth, kHeight, engine.colorDepth, false, false,
                     false, 0.0f, 0.0f, 0, 0);
  result.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.frames = engine.summary.frameCount;
  result.fileBytes = engine.summary.fileSize;
  result.completed = engine.summary.frameCount == frames - 1;
  std::fclose(output);
  engine.selectedVideo = nullptr;
  engine.selectedAudio = nullptr;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  result.peakKilobytes = usage.ru_maxrss;
  return result;
}

// Runs encodeFor in a child so that each length has its own peak.
bool runInChild(double minutes, RunResult& result) {
  int channel[2];
  if (pipe(channel) != 0) return false;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    close(channel[0]);
    const RunResult measured = encodeFor(minutes);
    const bool sent = write(channel[1], &measured, sizeof measured) == ssize_t(sizeof measured);
    _exit(sent ? 0 : 1);
  }
  close(channel[1]);
  const bool received = read(channel[0], &result, sizeof result) == ssize_t(sizeof result);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return received && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace
}  // namespace vantrel

int main(int argc, char** argv) {
  std::vector<double> lengths;
  for (int i = 1; i < argc; ++i) lengths.push_back(std::atof(argv[i]));
  if (lengths.empty()) lengths = {1.0, 10.0};
  std::printf("320 x 240 conversion, 16-bit palette, 15 fps, 22050 Hz sound to 10000 Hz PCM\n");
  std::printf("%10s %10s %14s %10s %16s\n", "minutes", "frames", "file bytes", "seconds",
              "peak RSS (KiB)");
  bool ok = true;
  for (double minutes : lengths) {
    vantrel::RunResult result;
    if (!vantrel::runInChild(minutes, result) || !result.completed) {
      std::printf("%10g  encode failed\n", minutes);
      ok = false;
      continue;
    }
    std::printf("%10g %10d %14lld %10.1f %16ld\n", minutes, result.frames, result.fileBytes,
                result.seconds, result.peakKilobytes);
  }
  return ok ? 0 : 1;
}
