#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantrel::inspect {

// What FFmpeg reads in a media file: its first video and first audio stream
// (codec names as FFmpeg gives them, e.g. "h264", "aac"; empty when there is
// none), the number of video packets, the duration and the file's size.
struct MediaFacts {
  std::string videoCodec;
  int width = 0;
  int height = 0;
  int videoFrames = 0;
  std::string audioCodec;
  int sampleRate = 0;
  double seconds = 0.0;
  std::uintmax_t bytes = 0;
};

// Opens path with libavformat and reads it through; no value when it cannot
// be opened or read.
std::optional<MediaFacts> probeMedia(const std::string& path);

}  // namespace vantrel::inspect
