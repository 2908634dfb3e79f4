#include "ProgramObjects.h"

#include <cstdio>
#include <string>

#include "RunFlow.h"

namespace vantrel {

ProgramObjects& ProgramObjects::instance() {
  static ProgramObjects objects;
  return objects;
}

int runProgram(int argc, char** argv) {
  ProgramObjects& objects = ProgramObjects::instance();
  // The audio kinds report read failures the way a message box would: a line on
  // the error stream.
  const MessageSink toStandardError = [](const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  };
  objects.audioAvi.setMessageSink(toStandardError);
  objects.audioMovie.setMessageSink(toStandardError);
  RunFlow flow(objects.settings, objects.engine, objects.videoSources, objects.audioSources,
               SourceKinds{&objects.audioAvi, &objects.videoAvi, &objects.audioMovie,
                           &objects.videoMovie});
  return flow.run(argc, argv);
}

}  // namespace vantrel
