#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "FfmpegTimer.h"
#include "TimedVideoSource.h"
#include "engine/MovieEncoder.h"

namespace vantrel::bench {

// Where the processor time of one conversion went, in seconds.
struct ConversionReport {
  int frames = 0;       // frames encoded
  RunTime total;        // the encode, without the timing's own extra composition
  double decoding = 0.0;
  double scaling = 0.0;
  double analysing = 0.0;    // histogram and pixel keys, palette and codec set-up
  double compressing = 0.0;  // flips, conversion, key and difference frames, writing
  double other = 0.0;        // what the four leave: completing the file, progress

  // part as a percentage of the total processor time.
  double share(double part) const;
};

// An engine that times its own video encode: the selected video source is
// handed to the encode driver inside a TimedVideoSource, and the progress
// events mark where the analysis pass ends and the frame pass begins and ends.
class ConversionTimer : public MovieEncoder {
 public:
  VideoStreamSource* videoSource() override;
  void encodeMovie(std::FILE* file, const char* databaseName, int width, int height,
                   int colorDepth, bool flipVertical, bool flipHorizontal, bool rotate,
                   float brightness, float contrast, int firstFrame, int lastFrame) override;
  int reportProgress(int event, int value, std::intptr_t data) override;

  // True when the last encode ended with its summary; failure() says why not.
  bool succeeded() const { return done; }
  const std::string& failure() const { return why; }
  ConversionReport report() const;

 private:
  TimedVideoSource timed;
  bool wrapped = false;
  bool done = false;
  std::string why;
  int frames = 0;
  RunTimer clock;
  RunTime analysisEnd;  // the analysis pass is over
  RunTime framesStart;  // the header record is written, the frame pass begins
  RunTime framesEnd;    // the last frame is written
  RunTime finish;       // encodeMovie returned
};

// One line for the summary: frames per second, the four shares, and ffmpeg's
// decoding time of the same file.
std::string describeConversion(const char* label, const ConversionReport& report,
                               const FfmpegTiming& ffmpeg);

}  // namespace vantrel::bench
