#include "RunFlow.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "CommandLineFlags.h"
#include "EncoderMenuUI.h"
#include "HostCheck.h"
#include "Interruption.h"
#include "OutputFile.h"

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

}  // namespace vantrel
