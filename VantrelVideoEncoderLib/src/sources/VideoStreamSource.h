#pragma once

#include <cstdint>

#include "image/FrameImage.h"

namespace vantrel {

// Four-character source-kind tags, first character in the most significant byte.
constexpr std::uint32_t fourCC(char a, char b, char c, char d) {
  return (std::uint32_t(std::uint8_t(a)) << 24) | (std::uint32_t(std::uint8_t(b)) << 16) |
         (std::uint32_t(std::uint8_t(c)) << 8) | std::uint32_t(std::uint8_t(d));
}

struct VideoStreamInfo {
  std::int32_t rate = 0;    // frames per second = rate / scale
  std::int32_t scale = 0;
  std::int32_t length = 0;  // frames in the stream
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Common error codes of every video kind; kinds add their own from 11 upward.
enum VideoError : int {
  kVideoOk = 0,
  kVideoNotOpen = 1,
  kVideoOutOfMemory = 2,
  kVideoNoFileName = 3,
  kVideoFileMissing = 4,
  kVideoNoVideo = 5,
  kVideoBadFormat = 6,
  kVideoReadFailed = 7,
  kVideoOpenFailed = 8,
  kVideoUnknown = 9,
  kVideoOsError = 10,
};

// Code of both media kinds for a stream whose pictures are larger than the
// program converts: more than kMaxSourceSide pixels a side or kMaxSourcePixels
// in all. Refusing such a stream at open keeps a damaged or hostile header from
// making the program take memory without bound.
constexpr int kVideoPictureTooLarge = 20;
constexpr int kMaxSourceSide = 8192;
constexpr std::int64_t kMaxSourcePixels = std::int64_t(8192) * 4096;

// Abstract video stream. Every operation reports failure as a small integer code
// (0 = success) and never throws; errorText() of the same object explains a code.
// The virtual operations keep this slot order in every kind.
class VideoStreamSource {
 public:
  VideoStreamSource() = default;
  VideoStreamSource(const VideoStreamSource&) = delete;
  VideoStreamSource& operator=(const VideoStreamSource&) = delete;

  // Releases everything the last open acquired; safe when not open.
  virtual void close() = 0;
  // Output timing shared by all kinds: fps, output frame count and source frames
  // per output frame for a requested rate (0 = derive from the source).
  // nativeFps may be null.
  virtual void computeOutputTiming(int requestedFps, double& fps, int& frameCount,
                                   double& frameStep, int* nativeFps);
  virtual bool isOpen() = 0;
  virtual std::uint32_t kind() = 0;
  // Called once at program start. Returns 0 or an error code.
  virtual int startup();
  // Returns 0 when the file is open and ready to deliver frames.
  virtual int open(const char* fileName) = 0;
  // Decodes absolute stream frame frameIndex. If *image is null a new FrameImage
  // is made (the caller owns it); otherwise *image is reloaded. Returns 0 or a code.
  virtual int readFrame(int frameIndex, FrameImage** image) = 0;
  virtual int getStreamInfo(VideoStreamInfo& info) = 0;
  // Flip flag handed to FrameImage with every frame (default false).
  virtual void setFlip(bool flip);
  virtual int firstFrame() = 0;
  // Stream length in frames; 0 when not open.
  virtual int frameCount() = 0;
  // Text for a code of this kind. Valid until the same source formats the same
  // kind of message again.
  virtual const char* errorText(int code);
  // Stores the system's text for errnoValue as the OS-error text; returns 10.
  virtual int setOsError(int errnoValue);
  // The stream length in frames that the file states. A file cut short (a
  // partial download, a lost tail) states more than it holds: frameCount()
  // counts only the frames whose data lies inside the file. frameCount() by
  // default.
  virtual int statedFrameCount();
  // True when the stream holds a single picture (a still image, a one-frame
  // clip), which a movie shows for as long as it lasts. False by default.
  virtual bool holdsOnePicture();
  // The stream frame that an output frame reads, given its position in stream
  // frames (the output frame's number times the frame step of
  // computeOutputTiming, 0 or more): the position truncated by default.
  virtual int frameForPosition(double position);

 protected:
  ~VideoStreamSource() = default;
  bool flipFrames = false;
  char osErrorText[1024] = {};
  char unknownCodeText[64] = {};
};

}  // namespace vantrel
