#pragma once

#include <string>

namespace vantrel {

// Version of one media library as major.minor.micro.
struct LibraryVersion {
  int major = 0;
  int minor = 0;
  int micro = 0;
};

// True when `linked` can serve a program built against `built` that needs at
// least `minimum`: the same major version (the interface of a major version is
// stable) and not older than the minimum.
bool libraryVersionUsable(const LibraryVersion& linked, const LibraryVersion& built,
                          const LibraryVersion& minimum);

// True when every media library linked at run time (formats, codecs, utilities,
// picture scaling, sound resampling) is usable by this build.
bool mediaLibrariesUsable();

// True when the sound resampler can be set up (it converts every movie sound).
bool soundConversionAvailable();

// "libavformat 59.27.100, libavcodec ..." for the linked libraries.
std::string mediaLibraryVersions();

}  // namespace vantrel
