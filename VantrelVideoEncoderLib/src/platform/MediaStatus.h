#pragma once

namespace vantrel {

// Outcome of a platform media operation. The source kinds map these onto their
// own error codes; SystemError comes with an errno value from the object that
// reported it.
enum class MediaStatus {
  Ok,
  FileMissing,  // the path does not name a file
  OutOfMemory,
  UnknownFormat,    // not a media file, or a container the caller does not accept
  NoStream,         // the container has no stream of the wanted type
  DecoderMissing,   // no decoder for the stream's codec
  ConverterFailed,  // no pixel or sample conversion for the decoded format
  ReadFailed,       // reading or decoding failed
  PastEnd,          // nothing at or after the requested position
  NotOpen,
  SystemError,  // an operating-system failure; see systemError()
  PictureTooLarge,  // the pictures exceed kMaxPictureSide / kMaxPicturePixels
};

}  // namespace vantrel
