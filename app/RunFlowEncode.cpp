// The run's encode: the part of the sources a movie takes (-start,
// -duration), its size plan (-filesize) and the passes that write it.

#include <cstring>

#include "ConsoleMovieEncoder.h"
#include "Interruption.h"
#include "OutputFile.h"
#include "RunFlow.h"
#include "audio/AudioBlockWriter.h"
#include "database/MovieHeaderRecord.h"
#include "engine/MoviePlan.h"
#include "image/ColourReduction.h"

namespace vantrel {

bool RunFlow::planPartAndSize(bool hasVideo, SourceRange& range, MovieLayout& layout) {
  double startSeconds = 0.0;
  double durationSeconds = 0.0;
  sizeLimit = 0;
  // The texts were checked when they were set; an empty one reads as unset.
  parseTime(settings.start.c_str(), startSeconds);
  parseTime(settings.duration.c_str(), durationSeconds);
  parseSize(settings.filesize.c_str(), sizeLimit);
  // A movie without moving pictures (sound only, or a still picture held over
  // its sound) plays the part of the sound asked for from its first frame; a
  // movie with moving pictures starts its sound at its first frame's time.
  const bool stillPicture = hasVideo && engine.videoSource()->holdsOnePicture();
  if ((!hasVideo || stillPicture) && engine.hasAudio() &&
      (startSeconds > 0.0 || durationSeconds > 0.0)) {
    AudioStreamSource& sound = *engine.audioSource();
    SoundRange part;
    if (const std::string problem =
            soundRangeFor(sound, startSeconds, durationSeconds, part);
        !problem.empty()) {
      settings.printError("Error: %s.\n", problem.c_str());
      return false;
    }
    soundPart.show(sound, part.firstSample, part.sampleCount);
    // The engine reads the sound through the part until the sources close
    // (closing the part closes the sound).
    engine.selectedAudio = &soundPart;
  }
  if (hasVideo) {
    const std::string problem = sourceRangeFor(*engine.videoSource(), engine.frameRate,
                                               startSeconds, durationSeconds, range);
    if (!problem.empty()) {
      settings.printError("Error: %s.\n", problem.c_str());
      return false;
    }
  }
  if (sizeLimit == 0) return true;

  const bool hasAudio = engine.hasAudio();
  AudioBlockParams sound;
  sound.hifiAudio = engine.hifiAudio;
  sound.adpcmAudio = engine.adpcmAudio;
  layout.audioRecordBytes = audioRecordBytes(sound);
  MovieHeaderRecord header;
  header.title = engine.titleText;
  header.author = engine.authorText;
  layout.headerRecordBytes = static_cast<int>(header.serialize().size());
  if (!hasVideo) {
    // A sound-only movie's size follows from the sound's length alone.
    AudioStreamInfo info;
    engine.audioSource()->getStreamInfo(info);
    layout.audioRecordCount =
        fitSoundOnlyMovie(soundOnlyFrameCount(info), engine.hifiAudio, engine.adpcmAudio)
            .audioRecordCount;
  } else {
    // The frames and sound records the engine will plan for this range.
    double fps = 0.0;
    double frameStep = 0.0;
    int frameCount = 0;
    int audioRecordCount = 0;
    int firstFrame = range.firstFrame;
    int lastFrame = range.lastFrame;
    engine.planMovie(engine.frameRate, fps, frameCount, frameStep, audioRecordCount,
                     nullptr, firstFrame, lastFrame);
    const MovieCut cut =
        fitVideoMovie(frameCount, fps, hasAudio, engine.hifiAudio, engine.adpcmAudio);
    layout.frameCount = cut.frameCount;
    layout.audioRecordCount = hasAudio ? cut.audioRecordCount : 0;
    setFrameRecords(layout, engine.screenWidth,
                    storedFrameHeight(engine.colorDepth, engine.screenHeight),
                    keyFrameInterval(engine.allKeyFrames, engine.keyFrameSeconds,
                                     cut.frameCount, fps));
  }
  const std::int64_t smallest = smallestFileSize(layout);
  // Without frames, or with a still picture whose every frame after a key
  // frame keeps every block (the 160-wide screen's key frames are exact), the
  // movie has one size, whatever the frame size.
  const bool oneSize = !hasVideo || (stillPicture && engine.screenWidth == 160);
  if (oneSize && sizeLimit < smallest) {
    settings.printError(
        "Error: -filesize=%s (%lld bytes) cannot hold this movie: it takes %lld bytes "
        "(%lld K), the smallest size that fits.\n",
        settings.filesize.c_str(), static_cast<long long>(sizeLimit),
        static_cast<long long>(smallest),
        static_cast<long long>((smallest + 1023) / 1024));
    return false;
  }
  if (!hasVideo) return true;
  if (sizeLimit < smallest) {
    // How small the frames can get depends on the pictures: one encode with
    // the smallest frames finds the size that fits, and the run then fails
    // with it.
    settings.printInfo(
        "-filesize=%s (%lld bytes) cannot hold this movie: its sound, key frames and "
        "records alone take %lld bytes; encoding it with its smallest frames to find the "
        "size that fits.\n",
        settings.filesize.c_str(), static_cast<long long>(sizeLimit),
        static_cast<long long>(smallest));
    EncoderSettings::applyFrameSize(engine, kSmallestAverageFrameSize);
    return true;
  }
  EncoderSettings::applyFrameSize(engine, firstAverageFrameSize(layout, sizeLimit));
  return true;
}

RunFlow::Outcome RunFlow::encodeAndSave(bool hasVideo, const SourceRange& range,
                                        const MovieLayout& layout) {
  const std::string outputFileName = settings.outfile;
  const std::string databaseName = settings.palmname;
  // Encodes at most this many times under -filesize: each pass corrects the
  // average frame size by what the frames of the last one took.
  constexpr int kMostSizePasses = 4;
  SizeTrial earlier;
  // Under -filesize a pass may be thrown away: its summary is shown only when
  // the movie is kept.
  auto* console = sizeLimit > 0 ? dynamic_cast<ConsoleMovieEncoder*>(&engine) : nullptr;
  struct SummaryHold {
    ConsoleMovieEncoder* console;
    ~SummaryHold() {
      if (console != nullptr) console->holdSummary = false;
    }
  } hold{console};
  for (int pass = 1;; ++pass) {
    if (console != nullptr) console->holdSummary = true;
    // The movie is written under a temporary name and takes the output name
    // only when it is complete: a failed run leaves an earlier file of that
    // name as it was and no partial movie behind.
    OutputFile output;
    writingOutput = &output;
    if (!output.open(outputFileName)) {
      settings.printSystemError("can't open output file %s", outputFileName.c_str());
      return Outcome::Failed;
    }
    engine.clearAbort();
    engine.lastOutcome = EncodeOutcome::None;
    int signalNumber = 0;
    {
      const Interruption interruption(engine.abortRequested, output.writingPath());
      if (hasVideo) {
        engine.encodeMovie(output.stream(), databaseName.c_str(), engine.screenWidth,
                           engine.screenHeight, engine.colorDepth, engine.flipVertical,
                           engine.flipHorizontal, engine.rotate, 0.0f, 0.0f,
                           range.firstFrame, range.lastFrame);
      } else {
        engine.encodeSoundOnly(output.stream(), databaseName.c_str());
      }
      signalNumber = interruption.signalNumber();
    }
    if (signalNumber != 0) {
      output.discard();
      interruptSignal = signalNumber;
      settings.printError("Conversion interrupted (%s); no output file was written.\n",
                          strsignal(signalNumber));
      return Outcome::Interrupted;
    }
    // The driver has reported its error or abort; the incomplete movie goes.
    if (engine.lastOutcome == EncodeOutcome::Failed ||
        engine.lastOutcome == EncodeOutcome::Aborted) {
      output.discard();
      return Outcome::EncodeFailed;
    }
    if (sizeLimit > 0) {
      const std::int64_t written = engine.summary.fileSize;
      const std::int32_t average = engine.targetFrameSize;
      // A device or pipe has the movie already: there is no second encode. A
      // movie under the size whose frames are all but perfect cannot use more.
      const bool fullQuality = engine.summary.averageQuality >= 0.995;
      // Frames at the smallest average cannot shrink: their size is the
      // smallest that fits.
      const bool smallestFrames = average <= kSmallestAverageFrameSize;
      if (written > sizeLimit && smallestFrames && hasVideo) {
        output.discard();
        settings.printError(
            "Error: the movie does not fit in %lld bytes: with its smallest frames it "
            "takes %lld bytes (%lld K), the smallest size that fits.\n",
            static_cast<long long>(sizeLimit), static_cast<long long>(written),
            static_cast<long long>((written + 1023) / 1024));
        return Outcome::EncodeFailed;
      }
      if (!sizeLandsWell(written, sizeLimit) && pass < kMostSizePasses &&
          !output.inPlace() && (written > sizeLimit || !fullQuality)) {
        const SizeTrial last{average, written};
        std::int32_t next =
            nextAverageFrameSize(layout, sizeLimit, last, pass > 1 ? &earlier : nullptr);
        // Over the size, frames that took far more than their average are near
        // their smallest, as is the last pass allowed: the next pass takes the
        // smallest frames, which fit or tell the size that does.
        if (written > sizeLimit &&
            (pass + 1 == kMostSizePasses || framesPassedTheirAverage(layout, last))) {
          next = kSmallestAverageFrameSize;
        }
        earlier = last;
        if (next != average) {
          output.discard();
          EncoderSettings::applyFrameSize(engine, next);
          settings.printInfo(
              "The movie came to %lld bytes for a limit of %lld; encoding again at an "
              "average frame size of %d bytes.\n",
              static_cast<long long>(written), static_cast<long long>(sizeLimit),
              int(next));
          continue;
        }
      }
      if (written > sizeLimit) {
        output.discard();
        settings.printError(
            "Error: the movie does not fit in %lld bytes: at an average frame size of %d "
            "bytes it came to %lld.\n",
            static_cast<long long>(sizeLimit), int(average),
            static_cast<long long>(written));
        return Outcome::EncodeFailed;
      }
      if (console != nullptr) console->showSummary();
      if (hasVideo) {
        settings.printPlain(
            "\tAverage frame size chosen for -filesize=%s: %d bytes (%lld of %lld bytes "
            "used)\n\n",
            settings.filesize.c_str(), int(average), static_cast<long long>(written),
            static_cast<long long>(sizeLimit));
      } else {
        settings.printPlain("\tSize for -filesize=%s: %lld of %lld bytes used\n\n",
                            settings.filesize.c_str(), static_cast<long long>(written),
                            static_cast<long long>(sizeLimit));
      }
    }
    // What is still buffered is written now; a failure here means the movie is
    // incomplete although the encode itself reported success.
    if (!output.commit()) {
      settings.printSystemError("can't write output file %s", outputFileName.c_str());
      return Outcome::EncodeFailed;
    }
    return Outcome::Encoded;
  }
}

}  // namespace vantrel
