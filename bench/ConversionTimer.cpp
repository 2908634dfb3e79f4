#include "ConversionTimer.h"

#include "engine/ProgressEvent.h"

namespace vantrel::bench {

double ConversionReport::share(double part) const {
  return total.cpuSeconds > 0.0 ? 100.0 * part / total.cpuSeconds : 0.0;
}

VideoStreamSource* ConversionTimer::videoSource() {
  if (selectedVideo == nullptr) return nullptr;
  return wrapped ? static_cast<VideoStreamSource*>(&timed) : selectedVideo;
}

void ConversionTimer::encodeMovie(std::FILE* file, const char* databaseName, int width,
                                  int height, int depth, bool vflip, bool hflip, bool turn,
                                  float brightness, float contrast, int first, int last) {
  // The driver composes in source orientation: the working image is turned.
  timed.wrap(selectedVideo, cropFraction, turn ? height : width, turn ? width : height);
  timed.setPass(0);
  wrapped = true;
  done = false;
  why.clear();
  clock = RunTimer();
  MovieEncoder::encodeMovie(file, databaseName, width, height, depth, vflip, hflip, turn,
                            brightness, contrast, first, last);
  finish = clock.elapsed();
  wrapped = false;
}

int ConversionTimer::reportProgress(int event, int value, std::intptr_t data) {
  if (event == eventCode(ProgressEvent::Analysis) && data == 0) {
    analysisEnd = clock.elapsed();
    timed.setPass(1);
  } else if (event == eventCode(ProgressEvent::FrameEncoded) && lowHalf(data) == 0) {
    framesStart = clock.elapsed();
  } else if (event == eventCode(ProgressEvent::PhaseComplete) && value == 0) {
    framesEnd = clock.elapsed();
  } else if (event == eventCode(ProgressEvent::Summary)) {
    done = true;
    frames = reinterpret_cast<const EncodeSummary*>(data)->frameCount;
  } else if (event == eventCode(ProgressEvent::Error)) {
    why = reinterpret_cast<const char*>(data);
  } else if (event == eventCode(ProgressEvent::Aborted)) {
    why = "the encode was aborted";
  }
  return 0;
}

ConversionReport ConversionTimer::report() const {
  ConversionReport r;
  r.frames = frames;
  // The repeated composition ran inside both passes: it is taken out of the
  // totals once, and each pass also holds the driver's own composition.
  const double extra = timed.scalingSeconds(0) + timed.scalingSeconds(1);
  r.total.cpuSeconds = finish.cpuSeconds - extra;
  r.total.seconds = finish.seconds - extra;
  r.decoding = timed.decodingSeconds(0) + timed.decodingSeconds(1);
  r.scaling = extra;
  r.analysing = analysisEnd.cpuSeconds - timed.decodingSeconds(0) -
                2.0 * timed.scalingSeconds(0) +
                (framesStart.cpuSeconds - analysisEnd.cpuSeconds);
  r.compressing = framesEnd.cpuSeconds - framesStart.cpuSeconds - timed.decodingSeconds(1) -
                  2.0 * timed.scalingSeconds(1);
  r.other = r.total.cpuSeconds - r.decoding - r.scaling - r.analysing - r.compressing;
  return r;
}

std::string describeConversion(const char* label, const ConversionReport& r,
                               const FfmpegTiming& ffmpeg) {
  char line[1024];
  std::snprintf(line, sizeof line,
                "%s:\n  %d frames in %.2f s cpu (%.2f s wall): %.1f output frames/s\n"
                "  decoding %.2f s (%.0f%%), scaling %.2f s (%.0f%%), analysing %.2f s "
                "(%.0f%%), compressing %.2f s (%.0f%%), other %.2f s\n",
                label, r.frames, r.total.cpuSeconds, r.total.seconds,
                r.total.cpuSeconds > 0.0 ? r.frames / r.total.cpuSeconds : 0.0, r.decoding,
                r.share(r.decoding), r.scaling, r.share(r.scaling), r.analysing,
                r.share(r.analysing), r.compressing, r.share(r.compressing), r.other);
  std::string text = line;
  if (ffmpeg.measured) {
    std::snprintf(line, sizeof line,
                  "  ffmpeg -threads 1 decoding the same file: %.2f s cpu (%.2f s wall)\n",
                  ffmpeg.cpuSeconds, ffmpeg.seconds);
  } else {
    std::snprintf(line, sizeof line, "  %s\n", ffmpeg.note.c_str());
  }
  return text + line;
}

}  // namespace vantrel::bench
