#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/MediaLimits.h"
#include "platform/MediaStatus.h"

namespace vantrel {

// Facts about the opened video stream. Times are in the stream's time base:
// one unit is timeBaseNum / timeBaseDen seconds.
//
// width and height are those of the pictures as delivered: upright and at their
// display shape. A display matrix that turns or mirrors the stored picture is
// applied, and a sample aspect ratio other than 1:1 stretches the stored width
// to the display width (the height is kept).
struct VideoStreamFacts {
  int width = 0;
  int height = 0;
  int timeBaseNum = 1;
  int timeBaseDen = 1;
  std::int64_t origin = 0;         // movie time 0: the container's start time
  std::int64_t firstPicture = 0;   // time of the first decoded picture
  // End of the stream, -1 when unknown: the container's figure, or the end of
  // the last picture (its time plus its duration) when that lies later.
  std::int64_t end = -1;
  // Frames the stream holds, -1 unknown: for AVI, what the index holds when
  // the file has one (a damaged header may claim any count), else the pictures
  // counted in the file; for other containers the header's count.
  std::int64_t storedFrames = -1;
  // A file cut short (a partial download, a lost tail) holds fewer pictures
  // than it states: end and storedFrames then count only the pictures whose
  // data lies inside the file (as its index tells, or as counted when an AVI
  // file lost its index), and these keep what the file states. -1 otherwise.
  std::int64_t statedEnd = -1;
  std::int64_t statedFrames = -1;
  // The stream holds a single picture (a still image, a one-frame clip).
  bool onePicture = false;
  // The stream's own pictures per second, pictureRateNum / pictureRateDen: its
  // average rate, else the rate its times are counted in; 0 / 0 when unknown.
  int pictureRateNum = 0;
  int pictureRateDen = 0;
  std::string container;           // the demuxer's name, e.g. "avi"
  std::string codec;               // the decoder's name, e.g. "mjpeg"
};

// Decodes the video stream of a media file picture by picture, in
// presentation order: the stream marked default, else the first (cover art
// only when the file has no other picture). A request is answered by the picture shown at the
// requested time: the last picture whose time is not after it (before the
// first picture, the first picture). Requests that move forward decode on from
// the current position; the decoder seeks to the key frame before the target
// only when a request goes backwards, or so far ahead that a key frame lies
// between the current position and the target.
//
// Plain data only: pictures come out as packed bitmaps, times as integers.
class VideoDecoder {
 public:
  VideoDecoder();
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // Opens path and its video stream and decodes the first picture, so a
  // stream that cannot be decoded fails here. riffOnly refuses every container
  // but AVI and WAV (UnknownFormat). NoStream: the file has no video.
  // PictureTooLarge: the pictures exceed the limits of MediaLimits.h. Any
  // earlier stream is closed first; on failure the decoder is closed.
  MediaStatus open(const char* path, bool riffOnly);
  void close();
  bool isOpen() const;
  // errno value of the last SystemError result.
  int systemError() const;
  const VideoStreamFacts& facts() const;

  // Makes the picture shown at time `time` (stream units) the current one.
  // PastEnd when the stream holds no picture at all; ReadFailed when decoding
  // fails.
  MediaStatus decodePictureAt(std::int64_t time);
  // Time of the current picture.
  std::int64_t currentPictureTime() const;
  // Changes whenever another picture becomes the current one (1 after open,
  // 0 when closed), so a caller can keep the copy of a picture it asks for
  // again (a still image held over many frames).
  std::uint64_t currentPictureSerial() const;

  // Writes the current picture, upright and at its display shape (facts().width
  // x facts().height), as a bottom-up bitmap (first row in bits is the bottom
  // row): 32 bits per pixel as bytes blue, green, red, unused, or 24 bits as
  // blue, green, red with rows padded to a multiple of 4 bytes. bits is resized
  // to stride * height. Pictures with an HDR transfer (PQ, HLG) or primaries
  // wider than BT.709 / BT.601 come out as SDR BT.709, tone-mapped from the
  // peak their metadata states (1000 cd/m^2 without) with reference white
  // (203 cd/m^2) at about full white. ConverterFailed when no conversion exists.
  MediaStatus copyPicture(int bitsPerPixel, std::vector<std::uint8_t>& bits);

  // Counters since open, for tests and benchmarks. Skipped pictures are those
  // of an AVI stream whose pictures all stand alone (intra-only codecs such as
  // MJPEG) that a forward request passed over: their packets are read but not
  // decoded, since a later picture replaces them before the requested time.
  int seekCount() const;
  int decodedPictureCount() const;
  int skippedPictureCount() const;

 private:
  struct State;
  std::unique_ptr<State> state;  // null when closed
  int lastSystemError = 0;       // of the last failed open
};

}  // namespace vantrel
