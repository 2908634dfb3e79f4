#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/BitmapInfoHeader.h"
#include "image/Placement.h"
#include "sources/AudioStreamSource.h"
#include "sources/SourceRegistry.h"
#include "sources/VideoStreamSource.h"

namespace vantrel {

class WorkerPool;

// What the last encode produced.
struct EncodeSummary {
  char databaseName[128] = {};  // as the handheld shows it, in UTF-8
  double frameRate = 0.0;       // output frames per second
  double averageQuality = 0.0;  // 0 to 1
  std::int32_t frameCount = 0;  // frames encoded
  std::int32_t fileSize = 0;    // bytes in the output file
};

// How the last encode ended, as its driver reported it.
enum class EncodeOutcome {
  None,       // no driver has reported an end since the outcome was cleared
  Completed,  // the summary was reported: the file is complete
  Failed,     // an error was reported: the file is incomplete
  Aborted,    // the encode stopped on request: the file is incomplete
};

// Maximum handheld frame: 320 pixels wide, 720 stored rows.
constexpr int kMaxFrameWidth = 320;
constexpr int kMaxStoredHeight = 720;
constexpr int kFrameBufferBytes = kMaxFrameWidth * kMaxStoredHeight;
// Memory for the analysed pictures kept for the frame pass, by default (an
// encode also keeps them within an eighth of the machine's memory).
constexpr std::int64_t kAnalysedPictureBytes = std::int64_t{512} << 20;

// The engine that turns opened sources into a movie database. One object exists
// for the whole run. No exception leaves an engine operation: encode errors and
// aborts are reported through reportProgress. The virtual operations keep their
// slot order; a host replaces reportProgress to show progress.
class MovieEncoder {
 public:
  MovieEncoder();
  virtual ~MovieEncoder();
  MovieEncoder(const MovieEncoder&) = delete;
  MovieEncoder& operator=(const MovieEncoder&) = delete;

  virtual AudioStreamSource* audioSource();
  virtual VideoStreamSource* videoSource();
  // Closes both selected sources; the selections become none.
  virtual void closeSources();
  // Selects a kind for each named file (either may be null or empty). Returns null
  // on success, else the error text (valid until the next call).
  virtual const char* openSources(const char* audioFileName, const char* videoFileName);
  virtual bool hasAudio();
  virtual bool hasVideo();
  virtual void planMovie(int requestedFps, double& fps, int& frameCount,
                         double& frameStep, int& audioRecordCount, int* nativeFps,
                         int& firstFrame, int& lastFrame);
  virtual void computePlacement(int sourceWidth, int sourceHeight, double cropFraction,
                                Placement& placement, int targetWidth, int targetHeight);
  virtual void encodeSoundOnly(std::FILE* file, const char* databaseName);
  virtual void encodeMovie(std::FILE* file, const char* databaseName, int width,
                           int height, int colorDepth, bool flipVertical,
                           bool flipHorizontal, bool rotate, float brightness,
                           float contrast, int firstFrame, int lastFrame);
  virtual const BitmapInfo256* displayBitmapInfo();
  virtual void clearAbort();
  virtual void requestAbort();
  // Writes blockCount audio records; returns 0 on success, nonzero on failure or abort.
  virtual int writeAudioBlocks(std::FILE* file, int blockCount, std::int32_t* recordOffsets,
                               int firstIndex, int startOffsetMs);
  virtual void setDisplayFormat(int width, int height, int bitsPerPixel);
  // The progress hook; data carries an integer, a const char* text or an
  // EncodeSummary*, depending on the event. The base version does nothing.
  virtual int reportProgress(int event, int value, std::intptr_t data);
  // Remembers in lastOutcome how an encode ended, for the end events (summary,
  // error, abort) of the progress hook; other events leave it as it is. The
  // drivers call it for every event they report.
  void noteOutcome(int event);

  // Byte-swaps both 32-bit halves of each of count 8-byte entries in place.
  virtual void recordListToBigEndian(std::int32_t* entries, int count);

  // Parameters, replaced by the settings before every encode.
  const VideoSourceList* videoSources = nullptr;
  const AudioSourceList* audioSources = nullptr;
  // Where source selection sends its message boxes (empty: they are dropped).
  MessageSink showMessage;
  std::string authorText;
  std::string titleText;
  std::int32_t maxFrameSize = 3000;
  std::int32_t targetFrameSize = 1600;
  std::int32_t minFrameSize = 800;
  std::int32_t colorDepth = 16;
  std::int32_t keyFrameSeconds = 0;
  std::int32_t screenWidth = 160;
  std::int32_t screenHeight = 160;
  double cropFraction = 0.0;
  bool allKeyFrames = false;
  bool flipVertical = false;
  bool flipHorizontal = false;
  bool rotate = false;
  bool holdLastFrame = false;
  bool loopPlayback = false;
  std::int32_t frameRate = 15;
  bool fastEncode = false;
  // Slower difference frames with better pictures in the same bytes.
  bool bestEncode = false;
  bool grayscale = false;
  bool hifiAudio = false;
  bool audioBoostOn = true;
  std::int32_t audioBoostPercent = 150;
  bool audioPrefilter = false;
  bool adpcmAudio = false;
  // The microseconds (0 to 999) the sound starts after the milliseconds given to
  // writeAudioBlocks; the video driver sets them for the time of its first frame
  // and puts back 0 afterwards.
  std::int32_t startOffsetMicros = 0;
  // The audio stream openSources takes from the audio file: 0 the one marked
  // default (else the first), n > 0 the n-th audio stream of the file.
  std::int32_t audioStream = 0;
  // Threads an encode may use: 0 follows the processors this process may run
  // on, 1 keeps every step on the caller's thread. The written file is the
  // same for any count.
  std::int32_t workerThreads = 0;
  // The composed pictures of the palette analysis are kept for the frame pass
  // up to this many bytes (and an eighth of the machine's memory), so that
  // those pictures are read only once.
  std::int64_t analysedPictureBytes = kAnalysedPictureBytes;

  // State.
  std::uint8_t* previewFrame = nullptr;      // 320-byte stride, set by a host
  std::uint8_t* previewReference = nullptr;  // 320-byte stride, set by a host
  VideoStreamSource* selectedVideo = nullptr;
  AudioStreamSource* selectedAudio = nullptr;
  // Set from outside a running encode (another thread, a signal handler); the
  // encode loops poll it between frames and between audio records.
  std::atomic<bool> abortRequested = false;
  EncodeOutcome lastOutcome = EncodeOutcome::None;
  // The threads of the encode under way, started once for it and shared by its
  // frame codec and its sound resampling; set by the encode driver for its
  // lifetime, null otherwise (writeAudioBlocks then works on the caller's thread).
  WorkerPool* encodeWorkers = nullptr;
  std::vector<std::uint8_t> outputFrame;
  std::vector<std::uint8_t> reconFrames[2];
  BitmapInfo256 displayInfo;
  std::uint32_t* palette = nullptr;  // the colour table of displayInfo
  EncodeSummary summary;
  std::vector<std::uint32_t> colorHistogram;  // 32768 counters
  std::vector<std::int16_t> pixelKeys;        // 320 x 720 keys
};

}  // namespace vantrel
