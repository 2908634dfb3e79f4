#include "ProgramObjects.h"

#include <csignal>
#include <cstdio>
#include <string>

#include "RunFlow.h"

namespace vantrel {

ProgramObjects& ProgramObjects::instance() {
  static ProgramObjects objects;
  return objects;
}

int runProgram(int argc, char** argv) {
  // A file size limit then fails the write, which the run reports and cleans
  // up after, instead of killing the process with a partial file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  ProgramObjects& objects = ProgramObjects::instance();
  // The audio kinds report read failures the way a message box would: a line on
  // the error stream, naming the files of the conversion under way.
  const EncoderSettings& settings = objects.settings;
  const MessageSink toStandardError = [&settings](const std::string& text) {
    settings.printErrorPlain("%s", text.c_str());
  };
  objects.audioAvi.setMessageSink(toStandardError);
  objects.audioMovie.setMessageSink(toStandardError);
  RunFlow flow(objects.settings, objects.engine, objects.videoSources, objects.audioSources,
               SourceKinds{&objects.audioAvi, &objects.videoAvi, &objects.audioMovie,
                           &objects.videoMovie});
  return flow.run(argc, argv);
}

}  // namespace vantrel
