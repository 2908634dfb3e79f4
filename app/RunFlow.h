#pragma once

// One run of the console program: banner, host check and source start-up,
// settings from the menus or the command line, opening the sources, creating
// the output file, the encode, and the exit status.
//
// In a menu run (no argument, or "-interactive" first) a failure before the
// encode sends the user back to the menus with every setting kept; in a
// command-line run it ends the run with status 1.

#include <cstdio>
#include <functional>
#include <string>

#include "EncoderSettings.h"
#include "FileSizeTarget.h"
#include "sources/MovieRange.h"
#include "engine/MovieEncoder.h"
#include "sources/AudioStreamRange.h"
#include "sources/SourceRegistry.h"

namespace vantrel {

class OutputFile;

// The console streams of a run. Standard streams unless a test hands in its own.
struct RunStreams {
  std::FILE* input = stdin;
  std::FILE* output = stdout;
  std::FILE* error = stderr;
};

// The source kinds to register, one object per kind; a null kind is left out
// (the others keep their order).
struct SourceKinds {
  AudioStreamSource* audioAvi = nullptr;
  VideoStreamSource* videoAvi = nullptr;
  AudioStreamSource* audioMovie = nullptr;
  VideoStreamSource* videoMovie = nullptr;
};

// Exit statuses of a run.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

// The program's version, printed in the banner as v3.90.00.
inline constexpr int kVersionMajor = 3;
inline constexpr int kVersionMinor = 90;
inline constexpr int kVersionBuild = 0;

class RunFlow {
 public:
  // Runs the menus: 0 convert, 1 the user quit, anything else input failed.
  using MenuRunner = std::function<int(EncoderSettings& settings, bool notFirstTime)>;
  // Null when the host is acceptable, otherwise the message to show.
  using HostChecker = std::function<const char*()>;

  // All references are program-wide objects that outlive the run. The
  // settings' console streams are pointed at streams.output / streams.error.
  RunFlow(EncoderSettings& settings, MovieEncoder& engine, VideoSourceList& videoSources,
          AudioSourceList& audioSources, SourceKinds kinds, RunStreams streams = {});
  RunFlow(const RunFlow&) = delete;
  RunFlow& operator=(const RunFlow&) = delete;

  // Replace the menus (default: runMenus on the run's streams) and the host
  // check (default: checkHost).
  void setMenuRunner(MenuRunner runner);
  void setHostChecker(HostChecker checker);

  // The whole run for argc/argv (argv[0] the program path). Returns the exit
  // status: 0 when a movie was written or the user quit the menus; 1 for a
  // failed start-up, rejected flags, a command-line failure before the encode,
  // failed console input in the menus, an encode that failed or was aborted,
  // or an output file that could not be completed; 128 + the signal number
  // when SIGINT or SIGTERM stopped the encode.
  int run(int argc, const char* const* argv);

 private:
  enum class Outcome {
    Encoded,       // the movie is complete under its name
    EncodeFailed,  // the encode ran but failed, was aborted or could not be saved
    Interrupted,   // a signal stopped the encode (interruptSignal)
    Failed,        // a failure before the encode
  };

  void printBanner();
  void registerSources();
  bool startUp();
  // Steps from applying the settings to closing the sources.
  Outcome convert();
  // Reads -start, -duration and -filesize against the opened sources: the
  // source range to encode and, with -filesize, the movie's fixed layout and
  // the first average frame size. Prints the error and returns false when the
  // start lies past the end or the size cannot hold the movie.
  bool planPartAndSize(bool hasVideo, SourceRange& range, MovieLayout& layout);
  // Encodes into the output file (several times under -filesize, until the
  // movie lands just under the size) and puts the movie in place.
  Outcome encodeAndSave(bool hasVideo, const SourceRange& range, const MovieLayout& layout);
  bool checkOutputIsNotASource(const char* videoFileName, const char* audioFileName);
  // False, with the error printed, when -audiotrack asks for an audio stream
  // past those of the audio file.
  bool checkAudioStreamExists(const char* audioFileName);
  // False, with the error printed, when the video or audio file is a folder,
  // or the output is one (or ends with '/').
  bool checkNoFolders(const char* videoFileName, const char* audioFileName);
  // The lines naming the conversion's files that follow each of its errors
  // and warnings; the output's line says why a write to it failed.
  std::string concernedFiles() const;
  void printFileLines(const char* videoFileName, const char* audioFileName,
                      const char* end = "");

  EncoderSettings& settings;
  MovieEncoder& engine;
  VideoSourceList& videoSources;
  AudioSourceList& audioSources;
  SourceKinds kinds;
  RunStreams streams;
  MenuRunner menuRunner;
  HostChecker hostChecker;
  const OutputFile* writingOutput = nullptr;  // the output being written, if any
  int interruptSignal = 0;
  std::int64_t sizeLimit = 0;  // -filesize in bytes; 0 without it
  bool toStandardOutput = false;  // the movie goes to standard output
  // The part of the sound a movie without moving pictures takes (-start,
  // -duration), selected in the engine in place of the sound while it is open.
  AudioStreamRange soundPart;
};

}  // namespace vantrel
