#include "platform/MediaLibraryCheck.h"

#include <array>
#include <tuple>

#include "platform/FfmpegHandles.h"

namespace vantrel {

namespace {

LibraryVersion split(unsigned version) {
  return {int(AV_VERSION_MAJOR(version)), int(AV_VERSION_MINOR(version)),
          int(AV_VERSION_MICRO(version))};
}

struct LibraryRow {
  const char* name;
  unsigned (*linked)();
  unsigned built;
  LibraryVersion minimum;  // the FFmpeg 5.1 interfaces this layer calls
};

// The media libraries, their versions at build time and the oldest usable.
const std::array<LibraryRow, 5> kLibraries = {{
    {"libavformat", &avformat_version, LIBAVFORMAT_VERSION_INT, {59, 27, 0}},
    {"libavcodec", &avcodec_version, LIBAVCODEC_VERSION_INT, {59, 37, 0}},
    {"libavutil", &avutil_version, LIBAVUTIL_VERSION_INT, {57, 28, 0}},
    {"libswscale", &swscale_version, LIBSWSCALE_VERSION_INT, {6, 7, 0}},
    {"libswresample", &swresample_version, LIBSWRESAMPLE_VERSION_INT, {4, 7, 0}},
}};

}  // namespace

bool libraryVersionUsable(const LibraryVersion& linked, const LibraryVersion& built,
                          const LibraryVersion& minimum) {
  if (linked.major != built.major) return false;
  return std::tie(linked.major, linked.minor, linked.micro) >=
         std::tie(minimum.major, minimum.minor, minimum.micro);
}

bool mediaLibrariesUsable() {
  for (const LibraryRow& row : kLibraries) {
    if (!libraryVersionUsable(split(row.linked()), split(row.built), row.minimum))
      return false;
  }
  return true;
}

bool soundConversionAvailable() {
  ffmpeg::ResamplerPtr resampler(swr_alloc());
  return resampler != nullptr;
}

std::string mediaLibraryVersions() {
  std::string text;
  for (const LibraryRow& row : kLibraries) {
    const LibraryVersion v = split(row.linked());
    if (!text.empty()) text += ", ";
    text += std::string(row.name) + " " + std::to_string(v.major) + "." +
            std::to_string(v.minor) + "." + std::to_string(v.micro);
  }
  return text;
}

}  // namespace vantrel
