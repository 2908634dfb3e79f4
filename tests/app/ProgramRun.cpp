#include "ProgramRun.h"

#include <cstdio>
#include <utility>

#include "RunFlow.h"

namespace vantrel::test {

int ProgramRun::run(std::vector<std::string> arguments, std::string input) {
  console = std::make_unique<ScriptedConsole>(std::move(input));
  errorConsole = std::make_unique<ScriptedConsole>("");
  // A process registers its kinds once; a second run here starts from empty
  // lists so that each kind stays listed once.
  videoSources.clear();
  audioSources.clear();
  std::FILE* errorStream = errorConsole->output;
  const MessageSink toErrors = [errorStream](const std::string& text) {
    std::fputs(text.c_str(), errorStream);
    std::fflush(errorStream);
  };
  audioAvi.setMessageSink(toErrors);
  audioMovie.setMessageSink(toErrors);

  RunFlow flow(settings, engine, videoSources, audioSources,
               SourceKinds{&audioAvi, &videoAvi, &audioMovie, &videoMovie},
               RunStreams{console->input, console->output, errorStream});
  // The counter texts as the codec reports them, free of the clock.
  engine.progressStyle = ProgressStyle::Counters;
  arguments.insert(arguments.begin(), "vantrel");
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  return flow.run(static_cast<int>(argv.size()), argv.data());
}

std::string ProgramRun::output() { return console ? console->text() : std::string(); }

std::string ProgramRun::errors() {
  return errorConsole ? errorConsole->text() : std::string();
}

}  // namespace vantrel::test
