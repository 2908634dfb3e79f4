#include "sources/QuickTimeClient.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/MediaLibraryCheck.h"

namespace vantrel {

namespace {

// One answer for the whole program, whichever kind asks first.
struct StartupState {
  bool attempted = false;
  bool available = false;
};

StartupState& sharedStartup() {
  static StartupState state;
  return state;
}

}  // namespace

int QuickTimeClient::startQuickTime() {
  StartupState& state = sharedStartup();
  if (state.attempted) return state.available ? 0 : kLibraryMissing;
  state.attempted = true;
  if (!mediaLibrariesUsable()) return kLibraryMissing;
  state.available = true;
  return 0;
}

int QuickTimeClient::movieErrorValue(MediaStatus status, int systemError) {
  switch (status) {
    case MediaStatus::FileMissing:
      return kFileNotFound;
    case MediaStatus::OutOfMemory:
      return kMemoryFull;
    case MediaStatus::UnknownFormat:
    case MediaStatus::NoStream:
      return kNoMovieFound;
    case MediaStatus::DecoderMissing:
      return kNoHandler;
    case MediaStatus::ConverterFailed:
      return kBadPixelDepth;
    case MediaStatus::SystemError:
      if (systemError == ENOENT) return kFileNotFound;
      if (systemError == EACCES || systemError == EPERM) return kPermissionError;
      return kIoError;
    default:
      return kIoError;
  }
}

void QuickTimeClient::formatMacOsError(int err) {
  std::snprintf(errorMessage, sizeof errorMessage, "QuickTime Macintosh OS error %ld",
                long(std::int16_t(err)));
}

void QuickTimeClient::formatQuickDrawError(int err) {
  std::snprintf(errorMessage, sizeof errorMessage, "QuickTime QuickDraw error %ld",
                long(std::int16_t(err)));
}

}  // namespace vantrel
