#include "sources/MovieRange.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sources/AudioStreamSource.h"
#include "sources/VideoStreamSource.h"

namespace vantrel {

namespace {

// Times beyond this are no part of any source the database can hold.
constexpr double kLongestTime = 1.0e7;

// Reads an unsigned decimal number at *text (digits, optionally a point and
// more digits; at least one digit before the point) and moves text past it.
bool readNumber(const char*& text, double& value, bool allowFraction) {
  const char* begin = text;
  while (*text >= '0' && *text <= '9') ++text;
  if (text == begin) return false;
  if (allowFraction && *text == '.') {
    ++text;
    while (*text >= '0' && *text <= '9') ++text;
  }
  value = std::strtod(std::string(begin, text).c_str(), nullptr);
  return true;
}

}  // namespace

bool parseTime(const char* text, double& seconds) {
  if (text == nullptr) return false;
  // Up to three fields separated by ':'; only the last takes a fraction.
  double fields[3] = {};
  int count = 0;
  const char* at = text;
  for (;;) {
    if (count == 3) return false;
    const char* fieldStart = at;
    double value = 0.0;
    if (!readNumber(at, value, true)) return false;
    fields[count++] = value;
    if (*at == '\0') break;
    if (*at != ':' || std::memchr(fieldStart, '.', std::size_t(at - fieldStart))) return false;
    ++at;
  }
  // Every field after the first counts below 60.
  for (int i = 1; i < count; ++i) {
    if (fields[i] >= 60.0) return false;
  }
  double total = 0.0;
  for (int i = 0; i < count; ++i) total = total * 60.0 + fields[i];
  if (!(total <= kLongestTime)) return false;
  seconds = total;
  return true;
}

std::string timeText(double seconds) {
  const long long millis = std::llround(seconds * 1000.0);
  const long long hours = millis / 3600000;
  const long long minutes = millis / 60000 % 60;
  const double rest = double(millis % 60000) / 1000.0;
  char text[64];
  if (hours > 0) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%06.3f", hours, minutes, rest);
  } else {
    std::snprintf(text, sizeof text, "%lld:%06.3f", minutes, rest);
  }
  return text;
}

std::string sourceRangeFor(VideoStreamSource& source, int requestedFps, double startSeconds,
                           double durationSeconds, SourceRange& range) {
  range = SourceRange{};
  // A single picture is held for the whole movie: there is no part to take.
  if (source.holdsOnePicture()) return {};
  double fps = 0.0;
  double frameStep = 0.0;
  int frameCount = 0;
  source.computeOutputTiming(requestedFps, fps, frameCount, frameStep, nullptr);
  if (!(fps > 0.0)) return {};
  // A little slack so that a start typed on a frame's time is that frame.
  constexpr double kSlack = 1.0e-6;
  const double sourceSeconds = frameCount / fps;
  if (startSeconds > 0.0 && startSeconds >= sourceSeconds - kSlack) {
    return "the start " + timeText(startSeconds) + " is at or past the end of the source (" +
           timeText(sourceSeconds) + ")";
  }
  const auto first = static_cast<int>(std::floor(startSeconds * fps + kSlack));
  // Source frames that map back to exactly these output frames: the engine
  // truncates first / step and rounds last / step.
  range.firstFrame = static_cast<int>(std::ceil(first * frameStep - kSlack));
  if (durationSeconds > 0.0) {
    const double frames = std::max(1.0, std::floor(durationSeconds * fps + 0.5));
    const double last = std::min(first + frames, double(frameCount));
    range.lastFrame = static_cast<int>(std::lround(last * frameStep));
  }
  return {};
}

std::string soundRangeFor(AudioStreamSource& source, double startSeconds,
                          double durationSeconds, SoundRange& range) {
  range.firstSample = source.firstSample();
  range.sampleCount = source.sampleCount();
  AudioStreamInfo info;
  if (source.getStreamInfo(info) != 0 || info.rate == 0 || info.scale == 0) return {};
  const double perSecond = double(info.rate) / info.scale;
  const double soundSeconds = range.sampleCount / perSecond;
  // Within half a sample of the end nothing is left to play.
  if (startSeconds > 0.0 && startSeconds * perSecond + 0.5 >= double(range.sampleCount)) {
    return "the start " + timeText(startSeconds) +
           " is at or past the end of the sound (" + timeText(soundSeconds) + ")";
  }
  const auto skipped = static_cast<std::int64_t>(std::llround(startSeconds * perSecond));
  range.firstSample += skipped;
  range.sampleCount -= skipped;
  if (durationSeconds > 0.0) {
    const auto wanted =
        static_cast<std::int64_t>(std::llround(durationSeconds * perSecond));
    range.sampleCount = std::min(range.sampleCount, std::max<std::int64_t>(wanted, 1));
  }
  return {};
}

}  // namespace vantrel
