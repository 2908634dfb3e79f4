#include "engine/MoviePlan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "database/DatabaseFormat.h"
#include "sources/AudioStreamSource.h"
#include "sources/VideoStreamSource.h"
#include "threads/MachineResources.h"

namespace vantrel {

namespace {

// Records per second for each audio format: output rate / samples per record.
constexpr double kHifiRecordsPerSecond = 0.6103515625;   // 20000 / 32768
constexpr double kAdpcmRecordsPerSecond = 0.152587890625;  // 10000 / 65536
constexpr double kPcmRecordsPerSecond = 0.30517578125;   // 10000 / 32768

// The same factors per tenth of a second, the sound-only movie's nominal frame.
constexpr double kHifiRecordsPerTenth = 0.06103515625;
constexpr double kAdpcmRecordsPerTenth = 0.0152587890625;
constexpr double kPcmRecordsPerTenth = 0.030517578125;

int ceilToInt(double value) {
  const double rounded = std::ceil(value);
  if (!(rounded > 0.0)) return 0;
  return rounded >= 2147483647.0 ? 2147483647 : static_cast<int>(rounded);
}

std::string formatSeconds(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", seconds);
  return text;
}

std::string cutWarning(const char* what, double heldSeconds, double statedSeconds) {
  return std::string("The ") + what + " is cut short: it holds " +
         formatSeconds(heldSeconds) + " of the " + formatSeconds(statedSeconds) +
         " seconds it states (" + formatSeconds(statedSeconds - heldSeconds) +
         " seconds are missing); the movie keeps what it holds.";
}

}  // namespace

double audioRecordsPerSecond(bool hifiAudio, bool adpcmAudio) {
  if (hifiAudio) return kHifiRecordsPerSecond;
  return adpcmAudio ? kAdpcmRecordsPerSecond : kPcmRecordsPerSecond;
}

int audioRecordCountFor(int frameCount, double fps, bool hifiAudio, bool adpcmAudio) {
  if (!(fps > 0.0)) return 0;
  return ceilToInt(frameCount * audioRecordsPerSecond(hifiAudio, adpcmAudio) / fps);
}

int soundOnlyFrameCount(const AudioStreamInfo& info) {
  if (info.rate == 0 || info.scale == 0) return 0;
  const double tenths = info.length / (info.rate / (info.scale * 10.0));
  return tenths > 0.0 ? static_cast<int>(std::min(tenths, 2147483647.0)) : 0;
}

int soundOnlyRecordCountFor(int nominalFrames, bool hifiAudio, bool adpcmAudio) {
  const double perTenth = hifiAudio    ? kHifiRecordsPerTenth
                          : adpcmAudio ? kAdpcmRecordsPerTenth
                                       : kPcmRecordsPerTenth;
  return ceilToInt(nominalFrames * perTenth);
}

int keyFrameInterval(bool allKeyFrames, int keyFrameSeconds, int frameCount, double fps) {
  if (allKeyFrames) return 1;
  if (keyFrameSeconds == 0) return 0;
  // The first term keeps the interval at no less than a sixtieth of the movie.
  const int sixtieth = (frameCount + 59) / 60;
  const int periodic = static_cast<int>(fps + 0.5) * keyFrameSeconds;
  return std::max(sixtieth, periodic);
}

MovieCut fitVideoMovie(int frameCount, double fps, bool hasAudio, bool hifiAudio,
                       bool adpcmAudio) {
  MovieCut plan;
  plan.originalFrames = frameCount;
  const auto recordsFor = [&](int frames) {
    return hasAudio ? audioRecordCountFor(frames, fps, hifiAudio, adpcmAudio) : 0;
  };
  int frames = std::min(frameCount, kMaxFrameCount);
  // Records grow with the frames, so shrink to the largest count that fits.
  // Start near the answer: each frame brings k / fps audio records with it.
  if (1 + frames + recordsFor(frames) > kMaxRecordCount) {
    const double perFrame = hasAudio ? audioRecordsPerSecond(hifiAudio, adpcmAudio) / fps : 0.0;
    frames = std::min(frames, static_cast<int>((kMaxRecordCount - 1) / (1.0 + perFrame)));
    while (frames > 1 && 1 + frames + recordsFor(frames) > kMaxRecordCount) --frames;
    while (frames < std::min(frameCount, kMaxFrameCount) &&
           1 + (frames + 1) + recordsFor(frames + 1) <= kMaxRecordCount) {
      ++frames;
    }
  }
  plan.frameCount = frames;
  plan.audioRecordCount = recordsFor(frames);
  plan.cut = frames < frameCount;
  return plan;
}

MovieCut fitSoundOnlyMovie(int nominalFrames, bool hifiAudio, bool adpcmAudio) {
  MovieCut plan;
  plan.originalFrames = nominalFrames;
  int frames = std::min(nominalFrames, kMaxFrameCount);
  while (frames > 0 &&
         1 + soundOnlyRecordCountFor(frames, hifiAudio, adpcmAudio) > kMaxRecordCount) {
    --frames;
  }
  plan.frameCount = frames;
  plan.audioRecordCount = soundOnlyRecordCountFor(frames, hifiAudio, adpcmAudio);
  plan.cut = frames < nominalFrames;
  return plan;
}

std::string videoCutWarning(const MovieCut& cut, double fps) {
  return "The movie is too long for a handheld database (at most 65535 frames and "
         "65535 records): only the first " +
         std::to_string(cut.frameCount) + " of " + std::to_string(cut.originalFrames) +
         " frames (" + formatSeconds(cut.frameCount / fps) + " of " +
         formatSeconds(cut.originalFrames / fps) + " seconds) are kept.";
}

std::string soundCutWarning(const MovieCut& cut) {
  return "The sound is too long for a handheld database (at most 6553.5 seconds): "
         "only the first " +
         formatSeconds(cut.frameCount / 10.0) + " of " +
         formatSeconds(cut.originalFrames / 10.0) + " seconds are kept.";
}

std::string cutSourceWarning(VideoStreamSource& source) {
  const int held = source.frameCount();
  const int stated = source.statedFrameCount();
  VideoStreamInfo info;
  if (stated <= held || source.getStreamInfo(info) != 0 || info.rate <= 0 ||
      info.scale <= 0) {
    return {};
  }
  const double secondsPerFrame = double(info.scale) / info.rate;
  return cutWarning("video file", held * secondsPerFrame, stated * secondsPerFrame);
}

std::string cutSourceWarning(AudioStreamSource& source) {
  const int stated = source.statedSampleCount();
  AudioStreamInfo info;
  if (source.getStreamInfo(info) != 0 || stated <= info.length || info.rate == 0 ||
      info.scale == 0) {
    return {};
  }
  const double perSecond = info.rate / double(info.scale);
  return cutWarning("audio file", info.length / perSecond, stated / perSecond);
}

int encodeThreadCount(int workerThreads) {
  return workerThreads > 0 ? workerThreads : usableProcessorCount();
}

std::int64_t keptPictureBytes(std::int64_t requested, std::int64_t physicalBytes) {
  // With overcommit a machine short of memory does not refuse the allocation,
  // it kills the process later; so the share is taken before asking.
  constexpr int kMemoryShare = 8;
  const std::int64_t wanted = std::max<std::int64_t>(requested, 0);
  return physicalBytes > 0 ? std::min(wanted, physicalBytes / kMemoryShare) : wanted;
}

}  // namespace vantrel
