#include "ProgramObjects.h"

#include "RunFlow.h"

namespace vantrel {

ProgramObjects& ProgramObjects::instance() {
  static ProgramObjects objects;
  return objects;
}

int runProgram(int argc, char** argv) {
  ProgramObjects& objects = ProgramObjects::instance();
  RunFlow flow(objects.settings, objects.engine, objects.videoSources, objects.audioSources,
               SourceKinds{&objects.audioAvi, &objects.videoAvi, &objects.audioMovie,
                           &objects.videoMovie});
  return flow.run(argc, argv);
}

}  // namespace vantrel
