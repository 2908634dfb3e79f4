#include "RunFlow.h"

#include <cstring>
#include <filesystem>
#include <string_view>
#include <utility>

#include "CommandLineFlags.h"
#include "ConsoleMovieEncoder.h"
#include "EncoderMenuUI.h"
#include "HostCheck.h"
#include "Interruption.h"
#include "OutputFile.h"
#include "SameFile.h"
#include "audio/AudioBlockWriter.h"
#include "database/MovieHeaderRecord.h"
#include "engine/MoviePlan.h"
#include "image/ColourReduction.h"
#include "platform/AudioDecoder.h"

namespace vantrel {

namespace {

constexpr const char* kNotice = "- converts video and audio files into Palm OS movies";

// A sink that writes to stream; it holds nothing else, so it stays valid in
// the engine after the run is over.
MessageSink errorSink(std::FILE* stream) {
  return [stream](const std::string& text) {
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
  };
}

bool isMenuRun(int argc, const char* const* argv) {
  return argc <= 1 || std::strcmp(argv[1], "-interactive") == 0;
}

// The output the command line names with its last -outfile flag; empty
// without one.
std::string outfileArgument(int argc, const char* const* argv) {
  constexpr std::string_view kFlag = "-outfile=";
  std::string named;
  for (int i = 1; i < argc; ++i) {
    const std::string_view text = argv[i];
    if (text.starts_with(kFlag)) named = text.substr(kFlag.size());
  }
  return named;
}

bool isFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

// Ends the messages' naming of a conversion's files when the conversion ends.
class ConcernedFiles {
 public:
  ConcernedFiles(EncoderSettings& programSettings, std::function<std::string()> lines)
      : settings(programSettings) {
    settings.concerning = std::move(lines);
  }
  ~ConcernedFiles() { settings.concerning = nullptr; }
  ConcernedFiles(const ConcernedFiles&) = delete;
  ConcernedFiles& operator=(const ConcernedFiles&) = delete;

 private:
  EncoderSettings& settings;
};

}  // namespace

RunFlow::RunFlow(EncoderSettings& programSettings, MovieEncoder& programEngine,
                 VideoSourceList& videoList, AudioSourceList& audioList,
                 SourceKinds sourceKinds, RunStreams runStreams)
    : settings(programSettings),
      engine(programEngine),
      videoSources(videoList),
      audioSources(audioList),
      kinds(sourceKinds),
      streams(runStreams),
      menuRunner([runStreams](EncoderSettings& menuSettings, bool notFirstTime) {
        return runMenus(menuSettings, notFirstTime, runStreams.input, runStreams.output);
      }),
      hostChecker(checkHost) {
  settings.outStream = streams.output;
  settings.errStream = streams.error;
}

void RunFlow::setMenuRunner(MenuRunner runner) { menuRunner = std::move(runner); }

void RunFlow::setHostChecker(HostChecker checker) { hostChecker = std::move(checker); }

int RunFlow::run(int argc, const char* const* argv) {
  const bool menuRun = isMenuRun(argc, argv);
  // A movie sent to standard output must not have console text mixed into
  // it: every message of the run goes to the error stream instead.
  if (!menuRun &&
      OutputFile::namesStandardOutput(outfileArgument(argc, argv), streams.output)) {
    toStandardOutput = true;
    streams.output = streams.error;
    settings.outStream = streams.error;
  }
  // Files are binary by default on this system: no file mode to set.
  printBanner();
  if (asksForHelp(argc, argv)) {
    settings.printUsage();
    return kExitSuccess;
  }
  registerSources();
  if (!startUp()) return kExitFailure;

  bool interactive = false;
  for (;;) {
    if (menuRun) {
      const int choice = menuRunner(settings, interactive);
      if (choice == 1) return kExitSuccess;
      if (choice != 0) return kExitFailure;
      interactive = true;
    } else {
      if (!settings.parseCommandLine(argc, argv)) return kExitFailure;
      // Without -palmname the name comes from the output file, as in the menus,
      // or from the file converted when the movie goes to standard output
      // (whose name, "-" or "stdout", says nothing of the movie).
      if (toStandardOutput && settings.palmname.empty()) {
        settings.palmname =
            programNameFromPath(settings.vidfile.empty() ? settings.audfile : settings.vidfile);
      }
      settings.deriveDatabaseName();
    }

    const Outcome outcome = convert();
    if (outcome == Outcome::Interrupted) return interruptedExitStatus(interruptSignal);
    if (outcome != Outcome::Failed) {
      if (menuRun) {
        settings.printPlain("Encode complete, press Return to exit...");
        std::fgetc(streams.input);
      }
      return outcome == Outcome::Encoded ? kExitSuccess : kExitFailure;
    }
    if (!interactive) return kExitFailure;
  }
}

void RunFlow::printBanner() {
  std::fprintf(streams.output, "Vantrel Encoder v%d.%02d.%02d %s\n\n", kVersionMajor,
               kVersionMinor, kVersionBuild, kNotice);
  std::fflush(streams.output);
}

void RunFlow::registerSources() {
  if (kinds.audioAvi != nullptr) audioSources.push_back(kinds.audioAvi);
  if (kinds.videoAvi != nullptr) videoSources.push_back(kinds.videoAvi);
  if (kinds.audioMovie != nullptr) audioSources.push_back(kinds.audioMovie);
  if (kinds.videoMovie != nullptr) videoSources.push_back(kinds.videoMovie);
  engine.videoSources = &videoSources;
  engine.audioSources = &audioSources;
  // The sources' message boxes go to the error stream, naming the files of the
  // conversion under way. The settings outlive the run, as the engine does.
  EncoderSettings& programSettings = settings;
  engine.showMessage = [&programSettings](const std::string& text) {
    programSettings.printErrorPlain("%s", text.c_str());
  };
}

bool RunFlow::startUp() {
  const MessageSink sink = errorSink(streams.error);
  if (const char* problem = hostChecker(); problem != nullptr) {
    sink(std::string("\n") + problem + "\n\n");
    return false;
  }
  return startupSources(audioSources, videoSources, sink);
}

RunFlow::Outcome RunFlow::convert() {
  // Every error and warning from here on names the files it concerns.
  const ConcernedFiles concerned(settings, [this] { return concernedFiles(); });
  settings.applyToEngine(engine);
  const std::string outputFileName = settings.outfile;
  const std::string databaseName = settings.palmname;
  const char* video = settings.vidfile.empty() ? nullptr : settings.vidfile.c_str();
  const char* audio = settings.audfile.empty() ? nullptr : settings.audfile.c_str();

  if (video == nullptr && audio == nullptr) {
    settings.printError("a video file, audio file, or both must be specified");
    return Outcome::Failed;
  }
  // Checked before anything is opened: without an output the whole encode
  // would run for nothing.
  if (outputFileName.empty()) {
    settings.printError(
        "Error: no output file is named; give one with -outfile=movie.pdb, or name the "
        "file to convert alone (vantrel clip.mp4 writes clip.pdb).\n");
    return Outcome::Failed;
  }
  if (!checkNoFolders(video, audio)) return Outcome::Failed;
  // A database without a name cannot be installed on the handheld; this
  // happens when -outfile gives no usable base name and -palmname is absent.
  if (!outputFileName.empty() && databaseName.empty()) {
    settings.printError(
        "Error: the Palm database name must be specified (use -palmname=name).\n");
    return Outcome::Failed;
  }
  if (!checkAudioStreamExists(audio)) return Outcome::Failed;
  if (video != nullptr && audio != nullptr) {
    settings.printInfo("Performing video and audio conversion...\n");
  } else if (video != nullptr) {
    settings.printInfo("Performing video-only conversion...\n");
  } else {
    settings.printInfo("Performing audio-only conversion...\n");
  }
  printFileLines(video, audio);

  if (const char* error = engine.openSources(audio, video); error != nullptr) {
    settings.printError("Error: %s\n", error);
    engine.closeSources();
    return Outcome::Failed;
  }

  VideoStreamSource* videoSource = engine.videoSource();
  AudioStreamSource* audioSource = engine.audioSource();
  const bool hasVideo = videoSource != nullptr && videoSource->isOpen();
  const bool hasAudio = audioSource != nullptr && audioSource->isOpen();
  bool usable = true;
  if (video != nullptr && audio != nullptr) {
    if (!hasVideo && !hasAudio) {
      // Nothing could be written: an error rather than an empty output file.
      settings.printPlain("\n");
      settings.printError(
          "Error: the video file has no video and the audio file has no audio; there "
          "is nothing to convert.\n");
      usable = false;
    } else if (!hasVideo) {
      settings.printPlain("\n");
      settings.printError(
          "Warning: the video file has no video; the output movie will not have "
          "video.\n");
    } else if (!hasAudio) {
      settings.printPlain("\n");
      settings.printError(
          "Warning: the audio file has no audio; the output movie will not have "
          "audio.\n");
    }
  } else if (audio != nullptr && !hasAudio) {
    settings.printPlain("\n");
    settings.printError(
        "Error: the audio file has no audio and cannot be used as the only source.\n");
    usable = false;
  } else if (video != nullptr && !hasVideo) {
    settings.printPlain("\n");
    settings.printError(
        "Error: the video file has no video and cannot be used as the only source.\n");
    usable = false;
  }
  if (!usable || !checkOutputIsNotASource(video, audio)) {
    engine.closeSources();
    return Outcome::Failed;
  }

  SourceRange range;
  MovieLayout layout;
  if (!planPartAndSize(hasVideo, range, layout)) {
    engine.closeSources();
    return Outcome::Failed;
  }
  const Outcome outcome = encodeAndSave(hasVideo, range, layout);
  writingOutput = nullptr;
  engine.closeSources();
  return outcome;
}

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
                           engine.flipHorizontal, engine.rotate, 0.0f, 0.0f, range.firstFrame,
                           range.lastFrame);
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
      if (!sizeLandsWell(written, sizeLimit) && pass < kMostSizePasses && !output.inPlace() &&
          (written > sizeLimit || !fullQuality)) {
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
              static_cast<long long>(written), static_cast<long long>(sizeLimit), int(next));
          continue;
        }
      }
      if (written > sizeLimit) {
        output.discard();
        settings.printError(
            "Error: the movie does not fit in %lld bytes: at an average frame size of %d "
            "bytes it came to %lld.\n",
            static_cast<long long>(sizeLimit), int(average), static_cast<long long>(written));
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

bool RunFlow::checkOutputIsNotASource(const char* videoFileName, const char* audioFileName) {
  const char* role = nullptr;
  if (videoFileName != nullptr && isSameFile(settings.outfile, videoFileName)) {
    role = "video";
  } else if (audioFileName != nullptr && isSameFile(settings.outfile, audioFileName)) {
    role = "audio";
  }
  if (role == nullptr) return true;
  settings.printError(
      "Error: the output file is the %s source file; writing it would destroy the "
      "source.\n",
      role);
  return false;
}

bool RunFlow::checkNoFolders(const char* videoFileName, const char* audioFileName) {
  const char* what = nullptr;
  if (videoFileName != nullptr && isFolder(videoFileName)) {
    what = "video file";
  } else if (audioFileName != nullptr && isFolder(audioFileName)) {
    what = "audio file";
  }
  if (what != nullptr) {
    settings.printError("Error: the %s is a folder, not a file.\n", what);
    return false;
  }
  const std::string& output = settings.outfile;
  if (output.ends_with('/') || isFolder(output)) {
    settings.printError(
        "Error: the output file is a folder; name the movie file to write (such as "
        "%s%smovie.pdb).\n",
        output.c_str(), output.ends_with('/') ? "" : "/");
    return false;
  }
  return true;
}

std::string RunFlow::concernedFiles() const {
  std::string lines;
  if (!settings.vidfile.empty())
    lines += "    - video file \"" + settings.vidfile + "\"\n";
  if (!settings.audfile.empty())
    lines += "    - audio file \"" + settings.audfile + "\"\n";
  if (!settings.outfile.empty()) {
    lines += "    - output file \"" + settings.outfile + "\"";
    // Why a write failed (a full disk), which the engine's message cannot say.
    if (writingOutput != nullptr && writingOutput->writeError() != 0) {
      lines += std::string(": ") + std::strerror(writingOutput->writeError());
    }
    lines += "\n";
  }
  return lines;
}

bool RunFlow::checkAudioStreamExists(const char* audioFileName) {
  const int wanted = settings.audiotrack;
  if (audioFileName == nullptr || wanted <= 0) return true;
  // A file that is no media file at all fails later, with its own message.
  const int count = countAudioStreams(audioFileName);
  if (count < 0 || wanted <= count) return true;
  settings.printError(
      "Error: -audiotrack=%d asks for audio stream %d, but the audio file has "
      "%d audio stream%s.\n",
      wanted, wanted, count, count == 1 ? "" : "s");
  return false;
}

void RunFlow::printFileLines(const char* videoFileName, const char* audioFileName,
                             const char* end) {
  if (videoFileName != nullptr) settings.printPlain("    - video file \"%s\"\n", videoFileName);
  if (audioFileName != nullptr) settings.printPlain("    - audio file \"%s\"\n", audioFileName);
  settings.printPlain("%s", end);
}

}  // namespace vantrel
