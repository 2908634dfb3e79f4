#include "ConsoleMovieEncoder.h"

#include <unistd.h>

#include <chrono>

#include "ProgressText.h"
#include "engine/ProgressEvent.h"

namespace vantrel {

namespace {

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The counter of a counter event: done and total, false for other events.
bool counterOf(int event, int value, std::intptr_t data, int& done, int& total) {
  switch (static_cast<ProgressEvent>(event)) {
    case ProgressEvent::AudioBlock:
      done = value;
      total = static_cast<int>(data);
      return true;
    case ProgressEvent::Analysis:
      if (static_cast<std::uint32_t>(data) == 0) return false;
      [[fallthrough]];
    case ProgressEvent::FrameEncoded:
      done = lowHalf(data);
      total = highHalf(data);
      return true;
    default:
      return false;
  }
}

std::string withoutTrailingBlanks(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

ConsoleMovieEncoder::ConsoleMovieEncoder(EncoderSettings& programSettings)
    : settings(programSettings), clock(steadySeconds) {}

void ConsoleMovieEncoder::encodeSoundOnly(std::FILE* file, const char* databaseName) {
  lastEvent = clock();
  counterEvent = -1;
  MovieEncoder::encodeSoundOnly(file, databaseName);
}

void ConsoleMovieEncoder::encodeMovie(std::FILE* file, const char* databaseName, int width,
                                      int height, int depth, bool flipV, bool flipH,
                                      bool turn, float brightness, float contrast,
                                      int firstFrame, int lastFrame) {
  lastEvent = clock();
  counterEvent = -1;
  MovieEncoder::encodeMovie(file, databaseName, width, height, depth, flipV, flipH, turn,
                            brightness, contrast, firstFrame, lastFrame);
}

int ConsoleMovieEncoder::reportProgress(int event, int value, std::intptr_t data) {
  if (holdSummary && event == eventCode(ProgressEvent::Summary)) return 0;
  ProgressMessage message = progressMessage(event, value, data);
  int done = 0;
  int total = 0;
  if (message.channel == ProgressChannel::Plain &&
      counterOf(event, value, data, done, total)) {
    showCounter(event, message.text, done, total);
    return 0;
  }
  lastEvent = clock();
  // After a whole counter line, the line end that would close a rewritten one
  // is not needed.
  if (lineJustEnded && message.text.starts_with('\n')) message.text.erase(0, 1);
  if (message.channel != ProgressChannel::None) lineJustEnded = false;
  switch (message.channel) {
    case ProgressChannel::Plain:
      settings.printPlain("%s", message.text.c_str());
      break;
    case ProgressChannel::Info:
      // Warnings: on the error stream, where a batch's failures are looked for.
      settings.printError("%s", message.text.c_str());
      break;
    case ProgressChannel::Error:
      settings.printError("%s", message.text.c_str());
      break;
    case ProgressChannel::None:
      break;
  }
  return 0;
}

void ConsoleMovieEncoder::showSummary() {
  holdSummary = false;
  reportProgress(eventCode(ProgressEvent::Summary), 0,
                 reinterpret_cast<std::intptr_t>(&summary));
}

void ConsoleMovieEncoder::showCounter(int event, const std::string& text, int done,
                                      int total) {
  const double now = clock();
  if (event != counterEvent || done < lastDone) {
    // A new count: its pace is measured from the last thing that happened
    // before it (the analysis reports its first count only after a second).
    counterEvent = event;
    style = progressStyle;
    if (style == ProgressStyle::Auto) {
      style = isatty(fileno(settings.outStream)) != 0 ? ProgressStyle::Terminal
                                                      : ProgressStyle::Lines;
    }
    countStart = done == 0 ? now : lastEvent;
    lastLine = countStart;
  }
  lastDone = done;
  lastEvent = now;
  // The time left covers the whole conversion: the counts to come are
  // estimated from the movie's frames and, with sound, its length.
  const double elapsed = now - countStart;
  const double soundSeconds =
      hasAudio() && summary.frameRate > 0.0 ? total / summary.frameRate : 0.0;
  const double later =
      workAfterCount(event, total, done > 0 ? elapsed / done : 0.0, soundSeconds);
  const std::string share = progressShareText(done, total, elapsed, later);
  switch (style) {
    case ProgressStyle::Auto:
    case ProgressStyle::Counters:
      settings.printPlain("%s", text.c_str());
      break;
    case ProgressStyle::Terminal:
      // Two blanks after the share clear what a longer line left behind.
      settings.printPlain("%s  %s  ", withoutTrailingBlanks(text).c_str(), share.c_str());
      break;
    case ProgressStyle::Lines:
      if (done < total && now - lastLine < kLineInterval) return;
      lastLine = now;
      settings.printPlain("%s  %s\n", withoutTrailingBlanks(text.substr(1)).c_str(),
                          share.c_str());
      lineJustEnded = true;
      break;
  }
}

}  // namespace vantrel
