#pragma once

#include <cstdint>
#include <vector>

#include "platform/VideoDecoder.h"
#include "sources/QuickTimeClient.h"
#include "sources/VideoStreamSource.h"

namespace vantrel {

// The second video kind (tag "VQT "): the first video stream of any container
// the media libraries open (MOV, MP4, MKV, WebM, MPEG, FLV, OGG, GIF, and AVI
// files the AVI kind refused). It samples the movie on a grid of 60 frames per
// second: frame n is the picture shown at n / 60 s of movie time, where movie
// time 0 is the start of the file (before the first picture, the first picture
// is shown). The movie's time scale is the video stream's time units per second.
class VideoStreamSourceQT : public VideoStreamSource, public QuickTimeClient {
 public:
  // Codes of this kind on top of the common table.
  static constexpr int kMacOsError = 11;
  static constexpr int kQuickDrawError = 12;
  static constexpr int kLibraryMissingCode = 13;
  // Grid frames per second.
  static constexpr int kGridRate = 60;

  VideoStreamSourceQT() = default;
  ~VideoStreamSourceQT() { close(); }

  void close() override;
  // The rule of every kind on the 60-per-second grid, except that a requested
  // rate at or above the stream's own picture rate (below 60) keeps that rate:
  // fps is the stream's own rate and each output frame reads its own picture
  // (frameForPosition), as a stream of the AVI kind does. A grid frame's time
  // is then rounded up to the stream's time unit, as its pictures' times are
  // rounded to the nearest.
  void computeOutputTiming(int requestedFps, double& fps, int& frameCount,
                           double& frameStep, int* nativeFps) override;
  bool isOpen() override;
  std::uint32_t kind() override;
  // 0 when the media libraries are usable; 13 when missing or too old.
  int startup() override;
  // 0 opens the file; 4 no name (or a full path over 260 characters), 5 no
  // video stream, 11 the file cannot be opened or decoded (the text shows the
  // error value), 12 no picture conversion, 13 media libraries missing.
  int open(const char* fileName) override;
  // Grid frames 0 .. frameCount() - 1; others give 7. Bottom-up 32-bit bitmaps
  // go to FrameImage, 24-bit when the flip flag is set.
  int readFrame(int frameIndex, FrameImage** image) override;
  // rate = time scale x 60, scale = time scale, length = frameCount(). 1 when closed.
  int getStreamInfo(VideoStreamInfo& info) override;
  // 0: grid frame 0 is movie time 0.
  int firstFrame() override;
  // trunc(duration x 60 / time scale), at least 1 for a single picture; 0
  // when closed. The duration ends with the last picture the file holds.
  int frameCount() override;
  const char* errorText(int code) override;
  // The grid frames of the duration the file states, when it holds less.
  int statedFrameCount() override;
  bool holdsOnePicture() override;
  // The position truncated; when the last computeOutputTiming kept the
  // stream's own rate, the first grid frame at or after the position, which
  // shows the picture that starts there (a truncated position would fall
  // before it, on the picture before).
  int frameForPosition(double position) override;

  // The four operations of this kind.
  // "QuickTime Macintosh OS error %ld" with err as the text of 11; returns 11.
  virtual int setMacOsError(int err);
  // "QuickTime QuickDraw error %ld" with err as the text of 12; returns 12.
  virtual int setQuickDrawError(int err);
  virtual void fetchTimeScale();
  virtual void fetchMovieBox();

  int decoderSeekCount() const { return decoder.seekCount(); }

 private:
  // Movie time (stream units) of grid frame n.
  std::int64_t gridTime(int frameIndex) const;
  // Grid frames (fractional) from movie time 0 to the first picture, which may
  // come a little after it; 0 when it does not.
  double pictureLead() const;
  // Grid frames from movie time 0 to end (stream units); 0 when end is unknown.
  int gridFrames(std::int64_t end) const;

  VideoDecoder decoder;
  std::vector<std::uint8_t> bits;
  // The decoder's picture (serial, 0 for none) and depth that bits hold.
  std::uint64_t bitsSerial = 0;
  int bitsDepth = 0;
  std::int32_t timeScale = 0;
  bool timeScaleKnown = false;
  int boxWidth = 0;
  int boxHeight = 0;
  bool movieBoxKnown = false;
  // The last computeOutputTiming kept the stream's own picture rate.
  bool ownRateKept = false;
};

}  // namespace vantrel
