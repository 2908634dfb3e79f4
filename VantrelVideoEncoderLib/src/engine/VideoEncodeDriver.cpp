#include "engine/VideoEncodeDriver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "database/DatabaseFormat.h"
#include "database/HandheldName.h"
#include "engine/DisplayPalette.h"
#include "engine/MovieEncoder.h"
#include "engine/MoviePlan.h"
#include "engine/PictureQueue.h"
#include "engine/ProgressEvent.h"
#include "image/ColourHistogram.h"
#include "image/ColourReduction.h"
#include "image/PicturePlacement.h"
#include "sources/VideoStreamSource.h"
#include "threads/MachineResources.h"

namespace vantrel {

namespace {

constexpr int kAbortBeforeFrame = 0;
constexpr int kAbortInAudio = 1;
constexpr std::uint32_t kWhite = 0x00FFFFFF;
// Rounds of the best encode's palette refinement.
constexpr int kPaletteRounds = 4;
constexpr const char* kNoVideoText = "The video stream isn't open";
constexpr const char* kBadRateText = "The video stream reports no usable frame rate.";
constexpr const char* kOutOfMemoryText = "Not enough memory to encode the movie.";
constexpr const char* kUnexpectedText = "The encode failed unexpectedly.";

// Handheld frames must fit the engine's frame buffers and the codec's blocks.
bool frameSizeSupported(int width, int storedHeight) {
  return width > 0 && width <= kMaxFrameWidth && storedHeight > 0 &&
         storedHeight <= kMaxStoredHeight &&
         FrameCodec::frameSizeIsSupported(width, storedHeight);
}

}  // namespace

VideoEncodeDriver::VideoEncodeDriver(MovieEncoder& owner, const VideoEncodeRequest& args)
    : engine(owner),
      request(args),
      workers(encodeThreadCount(owner.workerThreads)),
      writer(args.file),
      rateControl(owner.targetFrameSize) {
  engine.encodeWorkers = &workers;
}

VideoEncodeDriver::~VideoEncodeDriver() { engine.encodeWorkers = nullptr; }

void VideoEncodeDriver::run() {
  try {
    prepare();
    planAndFit();
    writeDatabaseStart();
    analysisPass();
    writeHeaderRecord();
    framePass();
    report(eventCode(ProgressEvent::PhaseComplete), 0, 0);
    writeSound();
    completeDatabase();
    if (engine.summary.frameCount != 0) {
      engine.summary.averageQuality = qualitySum / engine.summary.frameCount;
    }
    quantiser.endPaletteAnalysis();
    codec.releaseFrameCodec();
    report(eventCode(ProgressEvent::Summary), 0,
           reinterpret_cast<std::intptr_t>(&engine.summary));
  } catch (int) {
    quantiser.endPaletteAnalysis();
    codec.releaseFrameCodec();
    report(eventCode(ProgressEvent::Aborted), 0, 0);
  } catch (const char* text) {
    quantiser.endPaletteAnalysis();
    codec.releaseFrameCodec();
    report(eventCode(ProgressEvent::Error), 0, reinterpret_cast<std::intptr_t>(text));
  } catch (const std::bad_alloc&) {
    quantiser.endPaletteAnalysis();
    codec.releaseFrameCodec();
    report(eventCode(ProgressEvent::Error), 0, reinterpret_cast<std::intptr_t>(kOutOfMemoryText));
  } catch (...) {
    quantiser.endPaletteAnalysis();
    codec.releaseFrameCodec();
    report(eventCode(ProgressEvent::Error), 0, reinterpret_cast<std::intptr_t>(kUnexpectedText));
  }
}

void VideoEncodeDriver::report(int event, int value, std::intptr_t data) {
  engine.noteOutcome(event);
  engine.reportProgress(event, value, data);
}

bool VideoEncodeDriver::secondChanged() {
  const std::time_t now = std::time(nullptr);
  if (now == lastReport) return false;
  lastReport = now;
  return true;
}

void VideoEncodeDriver::prepare() {
  source = engine.videoSource();
  if (source == nullptr || !source->isOpen()) throw kNoVideoText;
  sourceStart = source->firstFrame();
  compressed.assign(FrameCodec::kRecordBufferSize, 0);
  lastReport = std::time(nullptr);

  // The picture is composed in source orientation and turned when converted.
  workWidth = request.rotate ? request.height : request.width;
  workHeight = request.rotate ? request.width : request.height;
  storedHeight = storedFrameHeight(request.colorDepth, request.height);
  fineGrid = engine.colorDepth >= 16 || request.colorDepth >= 24;
  if (!frameSizeSupported(request.width, storedHeight)) {
    failureText = "The handheld frame size " + std::to_string(request.width) + " x " +
                  std::to_string(request.height) + " is not supported.";
    throw failureText.c_str();
  }
  workPixels.assign(std::size_t(workWidth) * workHeight * 2, 0);
  workImage.attachPixels(workPixels.data(), workWidth, workHeight);

  // The name as the handheld will show it (its character set, 31 at most).
  std::memset(engine.summary.databaseName, 0, sizeof engine.summary.databaseName);
  if (request.databaseName != nullptr) {
    const std::string shown = handheldNameText(handheldNameBytes(request.databaseName));
    std::strncpy(engine.summary.databaseName, shown.c_str(),
                 sizeof engine.summary.databaseName - 1);
  }
  engine.summary.averageQuality = 0.0;
  engine.summary.frameCount = 0;
  engine.summary.fileSize = 0;
  qualitySum = 0.0;
}

void VideoEncodeDriver::planAndFit() {
  firstFrame = request.firstFrame;
  lastFrame = request.lastFrame;
  engine.planMovie(engine.frameRate, engine.summary.frameRate, frameCount, frameStep,
                   audioRecordCount, nullptr, firstFrame, lastFrame);
  fps = engine.summary.frameRate;
  // Frame step 0 holds a single picture for the whole movie.
  if (!(fps > 0.0) || !(frameStep >= 0.0)) throw kBadRateText;
  warnOfCutSource();

  // The database counts records and frames in 16 bits: cut a longer movie.
  const MovieCut cut = fitVideoMovie(frameCount, fps, engine.hasAudio(), engine.hifiAudio,
                                     engine.adpcmAudio);
  if (cut.cut) {
    const std::string warning = videoCutWarning(cut, fps);
    report(eventCode(ProgressEvent::Warning), 0, reinterpret_cast<std::intptr_t>(warning.c_str()));
    frameCount = cut.frameCount;
    lastFrame = firstFrame + frameCount;
  }
  if (engine.hasAudio()) audioRecordCount = cut.audioRecordCount;
  recordOffsets.assign(std::size_t(2) * (1 + frameCount + audioRecordCount), 0);
}

void VideoEncodeDriver::warnOfCutSource() {
  // One line, the video's first: the same file cut short often gives both.
  std::string warning = cutSourceWarning(*source);
  if (warning.empty() && engine.hasAudio()) {
    warning = cutSourceWarning(*engine.audioSource());
  }
  if (warning.empty()) return;
  report(eventCode(ProgressEvent::Warning), 0,
         reinterpret_cast<std::intptr_t>(warning.c_str()));
}

void VideoEncodeDriver::writeDatabaseStart() {
  const int records = 1 + frameCount + audioRecordCount;
  if (!writer.writeHeader(request.databaseName, kTypeMovie, records, palmTimeNow()) ||
      !writer.writeZeroRecordList(records)) {
    throw kWriteFailedText;
  }
}

void VideoEncodeDriver::stopIfAborted() const {
  if (engine.abortRequested) throw kAbortBeforeFrame;
}

void VideoEncodeDriver::readAndCompose(int index, FrameImage& target) {
  const int frameIndex =
      source->frameForPosition((firstFrame + index) * frameStep) + sourceStart;
  if (!sourceFrame) sourceFrame = std::make_unique<FrameImage>();
  FrameImage* frame = sourceFrame.get();
  const int code = source->readFrame(frameIndex, &frame);
  if (frame != sourceFrame.get()) sourceFrame.reset(frame);
  if (code != 0) throw source->errorText(code);
  if (!placed) {
    // The first frame fixes the source picture's size and its placement.
    const int width = sourceFrame->width();
    const int height = sourceFrame->height();
    refuseUnusableSize(width, height);
    sourcePixels.assign(std::size_t((width + 1) & ~1) * std::max(height, 0), 0);
    sourceImage.attachPixels(sourcePixels.data(), width, height);
    engine.computePlacement(width, height, engine.cropFraction, placement, workWidth,
                            workHeight);
    placed = true;
  }
  composeWorkImage(target);
}

void VideoEncodeDriver::refuseUnusableSize(int width, int height) {
  // The kinds refuse such streams at open; a host's own source may not.
  if (width <= 0 || height <= 0) {
    failureText = "The video source delivered a picture without pixels.";
    throw failureText.c_str();
  }
  if (width > kMaxSourceSide || height > kMaxSourceSide ||
      std::int64_t(width) * height > kMaxSourcePixels) {
    failureText = "The video's pictures of " + std::to_string(width) + " x " +
                  std::to_string(height) + " pixels are too large to convert.";
    throw failureText.c_str();
  }
}

void VideoEncodeDriver::composeWorkImage(FrameImage& target) {
  composePlacedPicture(*sourceFrame, sourceImage, target, placement, request.brightness,
                       request.contrast, carriesGrayPictures(request.colorDepth, engine.grayscale));
}

bool VideoEncodeDriver::bestEncode() const { return engine.bestEncode && !engine.fastEncode; }

void VideoEncodeDriver::analysisPass() {
  std::fill(engine.colorHistogram.begin(), engine.colorHistogram.end(), 0u);
  quantiser.beginPaletteAnalysis();
  const bool fixedPalette = request.colorDepth >= 24 || engine.grayscale;
  paletteSums.reset();
  if (bestEncode() && !fixedPalette) {
    paletteSums = std::make_unique<PaletteRefinement>();
  }
  // The fixed palettes need no statistics: one frame proves the source reads.
  const int toAnalyse = fixedPalette ? std::min(frameCount, 1) : frameCount;
  const std::size_t pictureWords = std::size_t(workWidth) * workHeight;
  const std::int64_t pictureBytes = std::int64_t(pictureWords) * 4;
  const std::int64_t keptBytes =
      keptPictureBytes(engine.analysedPictureBytes, physicalMemoryBytes());
  keptCapacity =
      static_cast<int>(std::min<std::int64_t>(toAnalyse, keptBytes / pictureBytes));
  if (keptCapacity > 0) {
    // Without the memory the frame pass reads the pictures again, as it can.
    try {
      analysedPictures = std::make_unique_for_overwrite<std::uint32_t[]>(pictureWords *
                                                                         keptCapacity);
    } catch (const std::bad_alloc&) {
      keptCapacity = 0;
    }
  }

  // The first picture fixes the placement, so it is read here; the rest may
  // come from the picture thread.
  std::unique_ptr<PictureQueue> queue;
  int analysed = 0;
  for (int i = 0; i < toAnalyse; ++i) {
    stopIfAborted();
    if (i == 0 || workers.threadCount() < 2) {
      readAndCompose(i, workImage);
    } else {
      if (!queue) {
        queue = std::make_unique<PictureQueue>(
            1, toAnalyse, pictureWords, 3, [this](int index, std::uint32_t* pixels) {
              composeImage.attachPixels(pixels, workWidth, workHeight);
              readAndCompose(index, composeImage);
            });
      }
      workImage.attachPixels(queue->take(i), workWidth, workHeight);
    }
    keepAnalysedPicture(i, workImage.pixels);
    analysed = i + 1;
    if (fixedPalette) break;
    addFrameToHistogram(workImage, fineGrid, engine.colorHistogram.data(),
                        engine.pixelKeys.data(), i == 0);
    if (paletteSums) paletteSums->addPicture(workImage);
    if (secondChanged() || i == frameCount - 1) {
      report(eventCode(ProgressEvent::Analysis), 0,
             static_cast<std::intptr_t>(packPair(i + 1, frameCount)));
    }
  }
  queue.reset();
  workImage.attachPixels(workPixels.data(), workWidth, workHeight);
  report(eventCode(ProgressEvent::Analysis), 0, 0);
  choosePalette(analysed);
}

void VideoEncodeDriver::keepAnalysedPicture(int index, const std::uint32_t* pixels) {
  if (index >= keptCapacity) return;
  const std::size_t words = std::size_t(workWidth) * workHeight;
  std::memcpy(analysedPictures.get() + words * index, pixels, words * 4);
  keptPictures = index + 1;
}

void VideoEncodeDriver::composeForFramePass(int index, std::uint32_t* pixels) {
  const std::size_t words = std::size_t(workWidth) * workHeight;
  if (index < keptPictures) {
    std::memcpy(pixels, analysedPictures.get() + words * index, words * 4);
    return;
  }
  composeImage.attachPixels(pixels, workWidth, workHeight);
  readAndCompose(index, composeImage);
}

void VideoEncodeDriver::resetPalette() {
  // Entries the palette builder leaves unset keep a new engine's colours, so
  // the result never depends on an earlier encode.
  fillColourCube(engine.palette);
  std::fill(engine.palette + 252, engine.palette + kPaletteEntries, 0u);
}

void VideoEncodeDriver::choosePalette(int framesAnalysed) {
  std::uint32_t* palette = engine.palette;
  if (request.colorDepth >= 24) {
    truecolorPalette(palette, request.colorDepth);
  } else if (engine.grayscale) {
    grayPalette(palette, fineGrid);
  } else {
    resetPalette();
    discountStaticPixels(engine.colorHistogram.data(), engine.pixelKeys.data(),
                         workWidth * workHeight, framesAnalysed);
    feedPalette(engine.colorHistogram.data(), fineGrid, quantiser);
    quantiser.buildPalette(palette);
  }
  palette[0] = kWhite;
  const bool best = bestEncode();
  // The best encode refines a computed palette to the movie's pixels; the
  // default encode it runs beside itself keeps the palette as it was.
  const bool refined = paletteSums != nullptr;
  if (refined) {
    std::copy(palette, palette + kPaletteEntries, defaultPalette.begin());
    paletteSums->refine(palette, kPaletteRounds);
    paletteSums.reset();
  }
  codec.setDefaultPalette(refined ? defaultPalette.data() : nullptr);
  codec.setWorkers(&workers);
  codec.setBestEncode(best);
  closest = nullptr;
  if (best) {
    closestSamples.build(palette, request.colorDepth);
    closest = &closestSamples;
    defaultFrame.resize(engine.outputFrame.size());
  }
  codec.setDefaultFrame(best ? defaultFrame.data() : nullptr);
  const bool leaning = best && request.colorDepth >= 24;
  sampleLeans.assign(leaning ? engine.outputFrame.size() : 0, 0);
  codec.setSampleLeans(leaning ? sampleLeans.data() : nullptr);
  codec.initFrameCodec(palette, fineGrid, request.width, storedHeight, request.colorDepth);
}

void VideoEncodeDriver::writeHeaderRecord() {
  report(eventCode(ProgressEvent::FrameEncoded), 0,
         static_cast<std::intptr_t>(packPair(0, frameCount)));
  recordOffsets[0] = static_cast<std::int32_t>(writer.position());
  keyInterval = keyFrameInterval(engine.allKeyFrames, engine.keyFrameSeconds, frameCount, fps);

  VideoHeaderInput header;
  header.screenWidth = request.width;
  header.screenHeight = request.height;
  header.colorDepth = request.colorDepth;
  header.grayscale = engine.grayscale;
  header.hifiAudio = engine.hifiAudio;
  header.adpcmAudio = engine.adpcmAudio;
  header.fps = fps;
  header.keyInterval = keyInterval;
  header.holdLastFrame = engine.holdLastFrame;
  header.loopPlayback = engine.loopPlayback;
  header.hasSound = engine.hasAudio();
  header.frameCount = frameCount;
  if (!writer.writeMovieHeaderRecord(
          movieHeaderForVideo(header, engine.titleText, engine.authorText))) {
    throw kWriteFailedText;
  }
}

void VideoEncodeDriver::framePass() {
  const bool allKept = keptPictures >= frameCount;
  if (workers.threadCount() < 2 || allKept) {
    for (int i = 0; i < frameCount; ++i) {
      stopIfAborted();
      composeForFramePass(i, workPixels.data());
      encodeFrame(i, workPixels.data());
    }
  } else {
    PictureQueue queue(
        0, frameCount, workPixels.size(), 3,
        [this](int index, std::uint32_t* pixels) { composeForFramePass(index, pixels); });
    for (int i = 0; i < frameCount; ++i) {
      stopIfAborted();
      encodeFrame(i, queue.take(i));
    }
    workImage.attachPixels(workPixels.data(), workWidth, workHeight);
  }
  analysedPictures.reset();
  keptPictures = 0;
}

void VideoEncodeDriver::encodeFrame(int i, std::uint32_t* pixels) {
  workImage.attachPixels(pixels, workWidth, workHeight);
  flipForOutput(pixels, workWidth, workHeight, request.colorDepth, request.flipVertical,
                request.flipHorizontal, request.rotate);
  convertFrame(workImage, engine.outputFrame.data(), request.colorDepth, request.rotate,
               request.width, request.height, codec.colourMap(), fineGrid, closest,
               sampleLeans.empty() ? nullptr : sampleLeans.data());
  if (closest != nullptr) {
    // The best encode's byte targets come from the default encode of the
    // default reduction's frames.
    convertFrame(workImage, defaultFrame.data(), request.colorDepth, request.rotate,
                 request.width, request.height, codec.defaultColourMap(), fineGrid);
  }
  recordOffsets[std::size_t(2) * (i + 1)] = static_cast<std::int32_t>(writer.position());

  const int targetSize = rateControl.nextTargetSize(engine.maxFrameSize);
  std::uint8_t* recon = engine.reconFrames[i % 2].data();
  std::uint8_t* previous = i == 0 ? nullptr : engine.reconFrames[(i + 1) % 2].data();
  double quality = 0.0;
  const int bytes = codec.compressFrame(compressed.data(), engine.outputFrame.data(), recon,
                                        previous, engine.fastEncode, engine.minFrameSize,
                                        engine.maxFrameSize, targetSize, quality, false, i,
                                        keyInterval);
  if (i == 0) {
    std::memcpy(engine.reconFrames[1].data(), engine.reconFrames[0].data(),
                std::size_t(request.width) * storedHeight);
  }
  rateControl.frameWritten(i, bytes);
  if (!writer.writeBytes(compressed.data(), std::size_t(bytes))) throw kWriteFailedText;

  if (engine.previewFrame != nullptr) copyPreview(engine.previewFrame, engine.outputFrame.data());
  if (engine.previewReference != nullptr) copyPreview(engine.previewReference, recon);
  if (secondChanged() || i == frameCount - 1) {
    const int q = static_cast<int>(quality * 10000.0 + 0.5);
    report(eventCode(ProgressEvent::FrameEncoded),
           static_cast<int>(packPair(std::min(bytes, 0xFFFF), q)),
           static_cast<std::intptr_t>(packPair(i + 1, frameCount)));
  }
  qualitySum += quality;
  engine.summary.frameCount += 1;
}

void VideoEncodeDriver::copyPreview(std::uint8_t* preview, const std::uint8_t* frame) const {
  // Previews are bottom-up with a 320-byte stride, like the display bitmap.
  for (int r = 0; r < storedHeight; ++r) {
    std::memcpy(preview + std::size_t(storedHeight - 1 - r) * kMaxFrameWidth,
                frame + std::size_t(r) * request.width, std::size_t(request.width));
  }
}

void VideoEncodeDriver::writeSound() {
  if (!engine.hasAudio()) return;
  const int startOffsetMs = static_cast<int>(firstFrame * 1000 / fps);
  // The rest of the first frame's time, so the sound starts with it to within
  // a sample; frame 0 starts on a millisecond.
  const auto extraMicros = static_cast<int>(
      std::lround((firstFrame * 1000 / fps - startOffsetMs) * 1000.0));
  engine.startOffsetMicros = std::clamp(extraMicros, 0, 999);
  const int written = engine.writeAudioBlocks(request.file, audioRecordCount,
                                              recordOffsets.data(), 2 * (frameCount + 1),
                                              startOffsetMs);
  engine.startOffsetMicros = 0;
  if (written != 0) {
    // A full disk is a write error, not an abort the user asked for.
    if (std::ferror(request.file) != 0) throw kWriteFailedText;
    throw kAbortInAudio;
  }
}

void VideoEncodeDriver::completeDatabase() {
  engine.summary.fileSize = static_cast<std::int32_t>(writer.position());
  const int entries = 1 + frameCount + audioRecordCount;
  engine.recordListToBigEndian(recordOffsets.data(), entries);
  if (!writer.completeRecordList(recordOffsets.data(), entries)) throw kWriteFailedText;
}

}  // namespace vantrel
