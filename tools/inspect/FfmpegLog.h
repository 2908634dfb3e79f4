#pragma once

#include <ostream>

namespace vantrel::inspect {

// FFmpeg's own messages (warnings and errors of its demuxers, muxers and
// codecs). The inspector takes them over from FFmpeg's default printing,
// whatever log level is set (the converter's source kinds set it quiet): none
// is shown, except while a ShownFfmpegLog lives.

// Routes FFmpeg's messages through the inspector. Call before using FFmpeg;
// repeated calls do nothing.
void takeFfmpegLog();

// While it lives, FFmpeg's warnings and errors go to out, one line each
// starting "ffmpeg: ". One at a time; lines may come from FFmpeg's threads.
class ShownFfmpegLog {
 public:
  explicit ShownFfmpegLog(std::ostream& out);
  ~ShownFfmpegLog();
  ShownFfmpegLog(const ShownFfmpegLog&) = delete;
  ShownFfmpegLog& operator=(const ShownFfmpegLog&) = delete;
};

}  // namespace vantrel::inspect
