#pragma once

// The console program run in-process, as main() runs it: the real settings,
// console engine, the four real source kinds in their program order and the
// real host check and menus, with the console streams replaced by a scripted
// input and captured output and error streams. Media files live in a scratch
// directory that goes away with the object.

#include <memory>
#include <string>
#include <vector>

#include "ConsoleMovieEncoder.h"
#include "EncoderSettings.h"
#include "ScriptedConsole.h"
#include "sources/AudioStreamSourceAVI.h"
#include "sources/AudioStreamSourceQT.h"
#include "sources/SourceRegistry.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"
#include "support/TestClips.h"

namespace vantrel::test {

class ProgramRun {
 public:
  ProgramRun() = default;
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // Runs the program with these arguments after the program path "vantrel";
  // input is everything typed on the console. Returns the exit status. The
  // settings and the engine are kept from run to run, as the process keeps
  // its singletons; the console is new for each run.
  int run(std::vector<std::string> arguments, std::string input = "");

  // Standard output and standard error of the last run.
  std::string output();
  std::string errors();

  // Path of name in the scratch directory.
  std::string file(const std::string& name) const { return scratch.file(name); }

  // The program's objects. The source kinds come before the engine, which
  // closes its selections when it goes.
  ScratchDirectory scratch;
  VideoStreamSourceAVI videoAvi;
  AudioStreamSourceAVI audioAvi;
  VideoStreamSourceQT videoMovie;
  AudioStreamSourceQT audioMovie;
  VideoSourceList videoSources;
  AudioSourceList audioSources;
  EncoderSettings settings;
  ConsoleMovieEncoder engine{settings};

 private:
  std::unique_ptr<ScriptedConsole> console;
  std::unique_ptr<ScriptedConsole> errorConsole;
};

}  // namespace vantrel::test
