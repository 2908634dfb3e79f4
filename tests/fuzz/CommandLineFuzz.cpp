// Fuzz entry: an argument list through the flag parser, the settings and a
// short encode with whatever the flags asked for.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CommandLineFlags.h"
#include "ConsoleMovieEncoder.h"
#include "DiscardingStream.h"
#include "EncoderSettings.h"
#include "FuzzTargets.h"
#include "SettingsSummary.h"
#include "support/FakeAudioSource.h"
#include "support/FakeVideoSource.h"

namespace vantrel::fuzz {
namespace {

// Bytes before the arguments: the generated clip's width, height, rate and length.
constexpr std::size_t kClipBytes = 4;
constexpr std::size_t kMaxArguments = 64;
// Longer movies add nothing but time: a plan with more frames is not encoded.
constexpr int kMaxEncodedFrames = 4;

std::vector<std::string> splitArguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments{"vantrel"};
  std::string current;
  for (std::size_t i = 0; i < size && arguments.size() < kMaxArguments; ++i) {
    if (data[i] == 0 || data[i] == '\n') {
      arguments.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (!current.empty() && arguments.size() < kMaxArguments) arguments.push_back(current);
  return arguments;
}

// A short sound for movies whose flags name an audio file.
FakeAudioSource shortSound() {
  std::vector<std::int16_t> samples(2000);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>((i % 40) * 800 - 16000);
  }
  return FakeAudioSource(FakeAudioSource::pcmInfo(8000, 16, 1), FakeAudioSource::packInt16(samples));
}

// The encode the flags describe, over a generated clip instead of the named
// files, into a memory stream.
void encodeWithSettings(EncoderSettings& settings, const std::uint8_t* clip) {
  ConsoleMovieEncoder engine(settings);
  settings.applyToEngine(engine);
  // One thread: the coverage counters are shared, and two threads updating them
  // made a short encode with sound take from 2 to 20 s, over the time limit.
  engine.workerThreads = 1;
  FakeVideoSource video;
  VideoStreamInfo info;
  info.width = 1 + clip[0] % 48;
  info.height = 1 + clip[1] % 48;
  info.rate = 1 + clip[2] % 60;
  info.scale = 1;
  info.length = 1 + clip[3] % 6;
  video.setStream(info);
  video.setFlip(settings.vflip);
  if (video.open("clip") != 0) return;
  FakeAudioSource sound = shortSound();
  engine.selectedVideo = &video;
  if (!settings.audfile.empty()) engine.selectedAudio = &sound;

  double fps = 0.0;
  int frames = 0;
  double step = 0.0;
  int records = 0;
  int first = 0;
  int last = 0;
  engine.planMovie(engine.frameRate, fps, frames, step, records, nullptr, first, last);
  if (frames <= kMaxEncodedFrames) {
    char* bytes = nullptr;
    std::size_t length = 0;
    std::FILE* output = open_memstream(&bytes, &length);
    if (output != nullptr) {
      engine.encodeMovie(output, settings.palmname.c_str(), engine.screenWidth,
                         engine.screenHeight, engine.colorDepth, engine.flipVertical,
                         engine.flipHorizontal, engine.rotate, 0.0f, 0.0f, 0, 0);
      std::fclose(output);
    }
    std::free(bytes);
  }
  engine.selectedVideo = nullptr;
  engine.selectedAudio = nullptr;
}

}  // namespace

int fuzzCommandLine(const std::uint8_t* data, std::size_t size) {
  if (size < kClipBytes) return 0;
  const std::vector<std::string> arguments = splitArguments(data + kClipBytes, size - kClipBytes);
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);

  EncoderSettings settings;
  settings.outStream = discardingStream();
  settings.errStream = discardingStream();
  if (settings.outStream == nullptr) return 0;
  const bool accepted =
      settings.parseCommandLine(static_cast<int>(arguments.size()), argv.data());
  settings.deriveDatabaseName();
  (void)settingsSummaryText(settings);
  if (accepted) encodeWithSettings(settings, data);
  return 0;
}

}  // namespace vantrel::fuzz
