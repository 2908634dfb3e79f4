#include "sources/AudioStreamSource.h"

#include <array>
#include <cstdio>
#include <string>

#include "platform/SystemErrorText.h"

namespace vantrel {

namespace {

// Texts of the common audio codes 0..10, in code order (11 is the OS text).
constexpr std::array<const char*, 11> kAudioErrorTexts = {
    "No error",
    "An out-of-memory error occurred while processing the specified audio file",
    "The audio file wasn't specified",
    "The audio file doesn't exist",
    "The file doesn't contain audio data",
    "The audio file is corrupt, compressed or is in an unrecognized format",
    "An error occurred while reading from the audio file",
    "An error occurred while opening the audio file",
    "The audio stream isn't open",
    "Specified data buffer is too small, not all data returned",
    "Unknown error",
};
static_assert(kAudioErrorTexts.size() == kAudioOsError,
              "one text per common code below 11");

}  // namespace

int AudioStreamSource::startup() { return kAudioOk; }

int AudioStreamSource::statedSampleCount() { return sampleCount(); }

const char* AudioStreamSource::errorText(int code) {
  if (code >= 0 && code < kAudioOsError) return kAudioErrorTexts[std::size_t(code)];
  if (code == kAudioOsError) return osErrorText;
  std::snprintf(unknownCodeText, sizeof unknownCodeText, "Unknown ErrCode %d", code);
  return unknownCodeText;
}

int AudioStreamSource::recordError(int code, va_list args) {
  if (code != kAudioOsError) return code;
  const int errnoValue = va_arg(args, int);
  std::string message;
  if (!systemErrorMessage(errnoValue, message)) {
    std::snprintf(osErrorText, sizeof osErrorText, "OS error 0x%x", unsigned(errnoValue));
    return code;
  }
  // The message goes on one line after its prefix, without trailing blanks.
  std::string text = "OS Error: " + message;
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  std::snprintf(osErrorText, sizeof osErrorText, "%s", text.c_str());
  return code;
}

int AudioStreamSource::setError(int code, ...) {
  va_list args;
  va_start(args, code);
  const int result = recordError(code, args);
  va_end(args);
  return result;
}

void AudioStreamSource::formatOsError(int errnoValue) {
  std::string message;
  if (systemErrorMessage(errnoValue, message)) {
    std::snprintf(osErrorText, sizeof osErrorText, "%s", message.c_str());
  } else {
    std::snprintf(osErrorText, sizeof osErrorText, "OS error 0x%x", unsigned(errnoValue));
  }
}

}  // namespace vantrel
