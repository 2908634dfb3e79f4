#include "ProgressText.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/MovieEncoder.h"
#include "engine/ProgressEvent.h"

namespace vantrel {

namespace {

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, pattern, measure);
  va_end(measure);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, pattern, args);
  va_end(args);
  return text;
}

const char* textOf(std::intptr_t data) {
  const auto* text = reinterpret_cast<const char*>(data);
  return text != nullptr ? text : "";
}

}  // namespace

float displayedQuality(int value) {
  float quality = static_cast<float>(highHalf(value)) / 100.0f + 0.05f;
  if (quality > 100.0f) quality = 100.0f;
  return quality;
}

std::string timeLeftText(double seconds) {
  const long long whole = seconds > 0.0 ? static_cast<long long>(std::ceil(seconds)) : 0;
  if (whole >= 3600) {
    return format("%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  }
  return format("%lld:%02lld", whole / 60, whole % 60);
}

std::string progressShareText(int done, int total, double elapsedSeconds,
                              double laterSeconds) {
  const int percent = total > 0 ? static_cast<int>(std::int64_t{done} * 100 / total) : 0;
  std::string left = "--:--";
  if (total > 0 && done >= total) {
    left = timeLeftText(laterSeconds);
  } else if (elapsedSeconds >= 1.0 && done > 0) {
    left = timeLeftText(elapsedSeconds * (total - done) / done + laterSeconds);
  }
  return format("%d%% done, %s left", percent, left.c_str());
}

double workAfterCount(int event, int frames, double secondsPerFrame,
                      double soundSeconds) {
  const double sound = soundSeconds * kSoundWorkPerSecond;
  switch (static_cast<ProgressEvent>(event)) {
    case ProgressEvent::Analysis:
      return frames * secondsPerFrame * kFramePassPerAnalysedFrame + sound;
    case ProgressEvent::FrameEncoded:
      return sound;
    default:
      return 0.0;
  }
}

std::string summaryText(const EncodeSummary& summary) {
  // The name field may be full to its last byte; never read past it.
  const std::string name(summary.databaseName,
                         strnlen(summary.databaseName, sizeof summary.databaseName));
  return format(
      "\nEncode complete.  Summary:\n\tDatabase name:     %s\n\tFrame Rate:        %g "
      "fps\n\tAverage Quality:   %1.01f%%\n\tTotal frame Count: %d\n\tOutput file size:  "
      "%d bytes\n\n",
      name.c_str(), summary.frameRate, summary.averageQuality * 100.0 + 0.05,
      static_cast<int>(summary.frameCount), static_cast<int>(summary.fileSize));
}

std::string frameEncodedText(int value, std::intptr_t data) {
  return format("\rEncoded frame %d of %d, %4d bytes, quality = %1.01f%%  ", lowHalf(data),
                highHalf(data), lowHalf(value),
                static_cast<double>(displayedQuality(value)));
}

std::string analysisText(std::intptr_t data) {
  if (static_cast<std::uint32_t>(data) == 0) return "\nTranslating colors...\n";
  return format("\rAnalyzing frame %d of %d for color optimization", lowHalf(data),
                highHalf(data));
}

std::string audioBlockText(int value, std::intptr_t data) {
  return format("\rAudio block %d of %d encoded", value, static_cast<int>(data));
}

std::string phaseCompleteText(int value) {
  switch (value) {
    case 0:
      return "\nVideo encoding complete.\n";
    case 1:
      return "\nAudio encoding complete.\n";
    default:
      return "\nEncoding complete.\n";
  }
}

ProgressMessage progressMessage(int event, int value, std::intptr_t data) {
  switch (static_cast<ProgressEvent>(event)) {
    case ProgressEvent::Summary: {
      const auto* summary = reinterpret_cast<const EncodeSummary*>(data);
      if (summary == nullptr) return {};
      return {ProgressChannel::Plain, summaryText(*summary)};
    }
    case ProgressEvent::PhaseComplete:
      return {ProgressChannel::Plain, phaseCompleteText(value)};
    case ProgressEvent::Aborted:
      return {ProgressChannel::Plain, "\nEncode aborted.\n"};
    case ProgressEvent::Warning:
      return {ProgressChannel::Info, format("\nEncode warning: %s\n", textOf(data))};
    case ProgressEvent::Error:
      return {ProgressChannel::Error, format("\nEncode error occurred: %s\n", textOf(data))};
    case ProgressEvent::AudioBlock:
      return {ProgressChannel::Plain, audioBlockText(value, data)};
    case ProgressEvent::Analysis:
      return {ProgressChannel::Plain, analysisText(data)};
    case ProgressEvent::FrameEncoded:
      return {ProgressChannel::Plain, frameEncodedText(value, data)};
  }
  return {};
}

}  // namespace vantrel
