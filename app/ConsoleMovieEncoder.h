#pragma once

// The console program's engine: the encoder engine with a progress hook that
// prints every event to the console through the settings' message operations.

#include <cstdint>
#include <functional>

#include "EncoderSettings.h"
#include "engine/MovieEncoder.h"

namespace vantrel {

// How the running counter lines (analysis, frames, audio blocks) are shown.
enum class ProgressStyle {
  Auto,      // Terminal when the output stream is a terminal, else Lines
  Counters,  // the counter texts alone, each rewriting the last in place
  Terminal,  // as Counters, with the share done and the time left added
  Lines,     // whole lines with the share done and the time left, at most one
             // every kLineInterval seconds plus the last of each count; no
             // carriage returns, for logs and pipes
};

class ConsoleMovieEncoder : public MovieEncoder {
 public:
  // Seconds between two counter lines in the Lines style.
  static constexpr double kLineInterval = 5.0;

  // settings is the program's settings object; it must outlive the engine.
  explicit ConsoleMovieEncoder(EncoderSettings& settings);

  // Start the clock of the progress lines, then encode as the engine does.
  void encodeSoundOnly(std::FILE* file, const char* databaseName) override;
  void encodeMovie(std::FILE* file, const char* databaseName, int width, int height,
                   int depth, bool flipV, bool flipH, bool turn, float brightness,
                   float contrast, int firstFrame, int lastFrame) override;

  // Writes the event's text (ProgressText) with printPlain, or printError for
  // warnings and errors, which flush; unknown events print nothing. Counter events
  // are shown in progressStyle. Always returns 0.
  int reportProgress(int event, int value, std::intptr_t data) override;
  // Shows the summary of the last encode (held back by holdSummary) and
  // clears holdSummary.
  void showSummary();

  EncoderSettings& settings;
  ProgressStyle progressStyle = ProgressStyle::Auto;
  // While set, the summary an encode reports is not shown: the encode may be
  // thrown away and done again (-filesize); showSummary() shows a kept one.
  bool holdSummary = false;
  // Seconds on a steady clock; a test may hand in its own.
  std::function<double()> clock;

 private:
  // Shows a counter line of done of total in the resolved style.
  void showCounter(int event, const std::string& text, int done, int total);

  ProgressStyle style = ProgressStyle::Counters;  // progressStyle resolved
  int counterEvent = -1;      // the event of the count under way
  int lastDone = 0;
  double countStart = 0.0;    // when the count under way began
  double lastEvent = 0.0;     // when the last event (or the encode) came
  double lastLine = 0.0;      // when the last Lines counter line was written
  bool lineJustEnded = false; // a Lines counter line was the last output
};

}  // namespace vantrel
