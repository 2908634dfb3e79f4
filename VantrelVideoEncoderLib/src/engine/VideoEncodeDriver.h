#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "codec/FrameCodec.h"
#include "database/DatabaseWriter.h"
#include "engine/RateControl.h"
#include "image/ClosestSamples.h"
#include "image/FrameImage.h"
#include "image/PaletteRefinement.h"
#include "image/OctreePalette.h"
#include "image/Placement.h"
#include "threads/WorkerPool.h"

namespace vantrel {

class MovieEncoder;
class VideoStreamSource;

// The arguments of MovieEncoder::encodeMovie.
struct VideoEncodeRequest {
  std::FILE* file = nullptr;  // open "wb" at position 0; not closed here
  const char* databaseName = "";
  int width = 160;  // handheld frame size
  int height = 160;
  int colorDepth = 16;  // 12, 16, 24 or 25
  bool flipVertical = false;
  bool flipHorizontal = false;
  bool rotate = false;
  float brightness = 0.0f;  // 0 and 0: no lightness change
  float contrast = 0.0f;
  int firstFrame = 0;  // source frames; 0 and 0 mean the whole source
  int lastFrame = 0;
};

// One run of encodeMovie: plans the movie, writes the database header and a
// zeroed record list, analyses every frame for the palette, writes the header
// record, compresses and writes every frame, lets the engine add the audio
// records, and completes the record list. Progress, errors and aborts go to the
// engine's reportProgress; run() never throws. The per-run buffers are members,
// so every path releases them; a failed or aborted run leaves the file as far as
// it was written, with an all-zero record list.
class VideoEncodeDriver {
 public:
  // Starts the encode's worker threads and lends them to the engine (its
  // encodeWorkers) until the driver goes.
  VideoEncodeDriver(MovieEncoder& engine, const VideoEncodeRequest& request);
  ~VideoEncodeDriver();
  VideoEncodeDriver(const VideoEncodeDriver&) = delete;
  VideoEncodeDriver& operator=(const VideoEncodeDriver&) = delete;

  void run();

 private:
  // The steps of the encode. They raise an abort as a thrown int and an error as
  // a thrown const char*; run() catches both.
  void prepare();
  void planAndFit();
  // One warning line when a source file holds less than it states.
  void warnOfCutSource();
  void writeDatabaseStart();
  void analysisPass();
  void choosePalette(int framesAnalysed);
  void writeHeaderRecord();
  void framePass();
  // Encodes output frame index from the composed picture in pixels (changed).
  void encodeFrame(int index, std::uint32_t* pixels);
  void writeSound();
  void completeDatabase();

  // Raises an abort when the user asked for one: checked before every frame.
  void stopIfAborted() const;
  // Reads output frame index and composes it in target.
  void readAndCompose(int index, FrameImage& target);
  void composeWorkImage(FrameImage& target);
  // Composes output frame index into pixels for the frame pass: a copy of the
  // picture kept from the analysis, or read and composed again.
  void composeForFramePass(int index, std::uint32_t* pixels);
  // Keeps picture index of the analysis pass when the memory allows.
  void keepAnalysedPicture(int index, const std::uint32_t* pixels);
  // Raises an error for a first picture without pixels or over the size limit.
  void refuseUnusableSize(int width, int height);
  void copyPreview(std::uint8_t* preview, const std::uint8_t* frame) const;
  bool secondChanged();
  void report(int event, int value, std::intptr_t data);
  void resetPalette();

  MovieEncoder& engine;
  VideoEncodeRequest request;
  WorkerPool workers;
  VideoStreamSource* source = nullptr;
  DatabaseWriter writer;

  int workWidth = 0;
  int workHeight = 0;
  int storedHeight = 0;
  bool fineGrid = false;
  double fps = 0.0;
  int frameCount = 0;
  double frameStep = 1.0;
  int audioRecordCount = 0;
  int firstFrame = 0;
  int lastFrame = 0;
  int sourceStart = 0;
  int keyInterval = 0;
  double qualitySum = 0.0;
  std::string failureText;  // an error message built by the driver itself
  std::time_t lastReport = 0;

  std::vector<std::uint8_t> compressed;
  std::vector<std::uint32_t> workPixels;
  FrameImage composeImage;  // target of pictures composed outside workImage
  std::unique_ptr<std::uint32_t[]> analysedPictures;
  int keptPictures = 0;  // analysed pictures kept (the first ones)
  int keptCapacity = 0;
  std::vector<std::uint32_t> sourcePixels;
  std::vector<std::int32_t> recordOffsets;
  FrameImage sourceImage;
  FrameImage workImage;
  std::unique_ptr<FrameImage> sourceFrame;
  bool placed = false;
  Placement placement;
  OctreePalette quantiser;
  FrameCodec codec;
  // The best encode runs unless the fast one is asked for too.
  bool bestEncode() const;
  // The best encode's colour reduction, and the one in use (null: the default).
  ClosestSamples closestSamples;
  const ClosestSamples* closest = nullptr;
  std::vector<std::uint8_t> defaultFrame;  // the default reduction's frame
  std::vector<std::int32_t> sampleLeans;   // the best encode's leans of its frame
  // The best encode's pixel sums for refining the palette, and the palette as
  // the colour analysis made it.
  std::unique_ptr<PaletteRefinement> paletteSums;
  std::array<std::uint32_t, 256> defaultPalette{};
  RateControl rateControl;
};

}  // namespace vantrel
