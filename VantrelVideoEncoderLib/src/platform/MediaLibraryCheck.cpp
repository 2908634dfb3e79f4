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
  LibraryVersion minimum;  // the interfaces this layer calls
};

// The oldest versions whose interfaces this layer calls: FFmpeg 5.1's, or the
// newer ones the headers of the build offered instead (a stream's side data in
// its codec parameters, the pictures' AVFrame.duration).
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
constexpr LibraryVersion kFormatMinimum{60, 15, 100};
constexpr LibraryVersion kCodecMinimum{60, 30, 100};
#else
constexpr LibraryVersion kFormatMinimum{59, 27, 0};
constexpr LibraryVersion kCodecMinimum{59, 37, 0};
#endif
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
constexpr LibraryVersion kUtilityMinimum{57, 30, 100};
#else
constexpr LibraryVersion kUtilityMinimum{57, 28, 0};
#endif

// The media libraries, their versions at build time and the oldest usable.
const std::array<LibraryRow, 5> kLibraries = {{
    {"libavformat", &avformat_version, LIBAVFORMAT_VERSION_INT, kFormatMinimum},
    {"libavcodec", &avcodec_version, LIBAVCODEC_VERSION_INT, kCodecMinimum},
    {"libavutil", &avutil_version, LIBAVUTIL_VERSION_INT, kUtilityMinimum},
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
