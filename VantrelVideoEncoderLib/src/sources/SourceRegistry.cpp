#include "sources/SourceRegistry.h"

#include <strings.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/FileProbe.h"
#include "sources/SourceKinds.h"

namespace vantrel {

namespace {

constexpr const char* kVideoListEmpty =
    "Internal Error: A video file was specified but the list of video stream sources is "
    "empty.";
constexpr const char* kAudioListEmpty =
    "Internal Error: An audio file was specified but the list of audio stream sources is "
    "empty.";
constexpr const char* kVideoFileMissing = "The specified video file doesn't exist";
constexpr const char* kAudioFileMissing = "The specified audio file doesn't exist";
constexpr const char* kVideoBoxCaption = "QuickTime Video Source Initialization Error";
constexpr const char* kAudioBoxCaption = "QuickTime Audio Source Initialization Error";

// A movie name is at least five characters long and ends in ".mov" in any case.
bool isMovieName(const char* name) {
  const std::size_t length = std::strlen(name);
  return length >= 5 && strcasecmp(name + length - 4, ".mov") == 0;
}

bool named(const char* name) { return name && name[0] != '\0'; }

// Chooses the video kind; returns an error text or null. videoBoxShown tells
// the audio search whether the movie libraries' box has been shown already.
const char* openVideo(const char* fileName, const VideoSourceList& kinds,
                      VideoStreamSource*& selected, bool& videoBoxShown,
                      const MessageSink& sink) {
  const bool isMovie = isMovieName(fileName);
  if (selected) selected->close();
  selected = nullptr;
  if (kinds.empty()) return kVideoListEmpty;
  // Files of any size are handed on: the media libraries read 64-bit offsets,
  // so there is nothing to warn about for files of 2 GiB and more.
  if (!canOpenForReading(fileName)) return kVideoFileMissing;
  VideoStreamSource* refusedAsTooLarge = nullptr;
  for (VideoStreamSource* kind : kinds) {
    const int code = kind->open(fileName);
    if (code == kVideoOk) {
      selected = kind;
      return nullptr;
    }
    if (code == kVideoNoVideo) return nullptr;  // a sound-only file: no video, no error
    if (code == kVideoPictureTooLarge && refusedAsTooLarge == nullptr) refusedAsTooLarge = kind;
    if (isMovie && kind->kind() == kVideoKindMovie && code == kVideoMovieLibraryMissing) {
      showMessageBox(sink, kVideoBoxCaption, kind->errorText(code));
      videoBoxShown = true;
    }
  }
  // A kind that read the file but refused its picture size says more than
  // "unrecognized format".
  if (refusedAsTooLarge != nullptr) return refusedAsTooLarge->errorText(kVideoPictureTooLarge);
  return kinds.front()->errorText(kVideoBadFormat);
}

const char* openAudio(const char* fileName, const AudioSourceList& kinds,
                      AudioStreamSource*& selected, bool videoBoxShown,
                      const MessageSink& sink) {
  const bool isMovie = isMovieName(fileName);
  if (selected) selected->close();
  selected = nullptr;
  if (kinds.empty()) return kAudioListEmpty;
  if (!canOpenForReading(fileName)) return kAudioFileMissing;
  for (AudioStreamSource* kind : kinds) {
    const int code = kind->open(fileName);
    if (code == kAudioOk) {
      selected = kind;
      return nullptr;
    }
    if (code == kAudioNoAudio) return nullptr;  // a silent file: no sound, no error
    if (isMovie && kind->kind() == kAudioKindMovie &&
        (code == kAudioMovieConversionMissing ||
         (code == kAudioMovieLibraryMissing && !videoBoxShown))) {
      showMessageBox(sink, kAudioBoxCaption, kind->errorText(code));
    }
  }
  return kinds.front()->errorText(kAudioBadFormat);
}

}  // namespace

bool startupSources(const AudioSourceList& audioSources,
                    const VideoSourceList& videoSources, const MessageSink& sink) {
  bool anyStarted = false;
  for (VideoStreamSource* kind : videoSources) {
    if (const int code = kind->startup(); code != kVideoOk) {
      sendMessage(
          sink,
          std::string("WARNING: Video Stream Source Initialization Failed:\n    - ") +
              kind->errorText(code) + "\n\n");
    } else {
      anyStarted = true;
    }
  }
  for (AudioStreamSource* kind : audioSources) {
    if (const int code = kind->startup(); code != kAudioOk) {
      sendMessage(
          sink,
          std::string("WARNING: Audio Stream Source Initialization Failed:\n    - ") +
              kind->errorText(code) + "\n\n");
    } else {
      anyStarted = true;
    }
  }
  if (!anyStarted) {
    sendMessage(
        sink, "\nFATAL ERROR: No stream source was able to initialize successfully\n\n");
  }
  return anyStarted;
}

const char* openSources(const char* audioFileName, const char* videoFileName,
                        const AudioSourceList* audioSources,
                        const VideoSourceList* videoSources,
                        AudioStreamSource*& selectedAudio,
                        VideoStreamSource*& selectedVideo, const MessageSink& sink) {
  bool videoBoxShown = false;
  if (named(videoFileName) && videoSources) {
    // A video error ends the call before the audio file is looked at.
    if (const char* error =
            openVideo(videoFileName, *videoSources, selectedVideo, videoBoxShown, sink)) {
      return error;
    }
  }
  if (named(audioFileName) && audioSources) {
    return openAudio(audioFileName, *audioSources, selectedAudio, videoBoxShown, sink);
  }
  return nullptr;
}

void closeSources(AudioStreamSource*& selectedAudio, VideoStreamSource*& selectedVideo) {
  if (selectedVideo) selectedVideo->close();
  selectedVideo = nullptr;
  if (selectedAudio) selectedAudio->close();
  selectedAudio = nullptr;
}

}  // namespace vantrel
