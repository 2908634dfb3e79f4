#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "PictureConversion.h"

namespace vantrel::inspect {

// What a preview file holds: pictures of width x height at framesPerSecond,
// sound of one channel at sampleRate; a width of 0 leaves the pictures out, a
// sampleRate of 0 the sound.
struct PreviewShape {
  int width = 0;
  int height = 0;
  double framesPerSecond = 15.0;
  int sampleRate = 0;
};

// The container and codecs a preview file's extension stands for, written
// through FFmpeg's own muxers and encoders:
//   .mp4          H.264 (MPEG-4 Visual when no H.264 encoder is present) + AAC
//   .mkv, .webm   VP9 (else VP8) + Opus (else Vorbis)
//   .gif          pictures only
// The file is written under a temporary name and put in place by finish()
// (see FileReplacement): a preview that is not finished (an error, or the
// writer destroyed before finish()) leaves nothing behind and an earlier file
// of its name untouched.
class PreviewWriter {
 public:
  PreviewWriter();
  ~PreviewWriter();
  PreviewWriter(const PreviewWriter&) = delete;
  PreviewWriter& operator=(const PreviewWriter&) = delete;

  // Creates the file for path (its temporary file, or path itself when that
  // is a device or a pipe) and starts its streams. Returns an empty string, or
  // what went wrong: an unknown extension, a missing encoder (naming it and
  // the extensions this FFmpeg can write), sound or no pictures in a container
  // that cannot hold them, a file that cannot be created.
  std::string open(const std::string& path, const PreviewShape& shape);

  // The next picture (shape's size), shown for one frame period.
  std::string writePicture(const RgbPicture& picture);
  // More of the sound, in order: signed 16-bit samples at shape's sampleRate.
  std::string writeSound(const std::int16_t* samples, std::size_t count);
  // Flushes the encoders, completes the file and puts it in place.
  std::string finish();

  // Stops writing; an unfinished file is removed.
  void abandon();

  // True when path is not a regular file (a device, a pipe) and is written
  // in place; it cannot be read back.
  bool writtenInPlace() const;

  // The codecs in use, e.g. "H.264 + AAC".
  std::string codecNames() const;

 private:
  struct Streams;
  std::unique_ptr<Streams> streams;
};

// True when path's extension stands for a container that holds sound.
bool previewHoldsSound(const std::string& path);

// The preview extensions whose encoders this FFmpeg has, e.g. ".mp4, .gif".
std::string workingPreviewExtensions();

}  // namespace vantrel::inspect
