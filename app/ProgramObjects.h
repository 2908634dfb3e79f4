#pragma once

// The console program's program-wide objects: the settings, the engine, one
// object per source kind and the two ordered source lists. They are created
// once, before the run starts, and live until the process ends.

#include "ConsoleMovieEncoder.h"
#include "EncoderSettings.h"
#include "sources/AudioStreamSourceAVI.h"
#include "sources/AudioStreamSourceQT.h"
#include "sources/SourceRegistry.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"

namespace vantrel {

class ProgramObjects {
 public:
  // The one set of program-wide objects, created on the first call.
  static ProgramObjects& instance();

  ProgramObjects(const ProgramObjects&) = delete;
  ProgramObjects& operator=(const ProgramObjects&) = delete;

  // Declared before the engine so that they outlive it: the engine closes its
  // selected sources when it is destroyed at process end.
  EncoderSettings settings;
  VideoStreamSourceAVI videoAvi;
  AudioStreamSourceAVI audioAvi;
  VideoStreamSourceQT videoMovie;
  AudioStreamSourceQT audioMovie;
  VideoSourceList videoSources;
  AudioSourceList audioSources;
  ConsoleMovieEncoder engine{settings};

 private:
  ProgramObjects() = default;
};

// The program: one run over the program-wide objects and the standard
// console streams. Returns the exit status (0 or 1).
int runProgram(int argc, char** argv);

}  // namespace vantrel
