#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "database/DatabaseWriter.h"
#include "threads/WorkerPool.h"

namespace vantrel {

class MovieEncoder;

// One run of encodeSoundOnly: a sound-only database ('Wave') made of the
// database header, the record list, the movie header record (video fields zero,
// colour mode 2, a nominal 10 frames per second whose frame count is the sound's
// length in tenths of a second) and the audio records the engine's
// writeAudioBlocks produces. Results go to the engine's reportProgress; run()
// never throws. A failed or aborted run leaves an all-zero record list.
class SoundOnlyDriver {
 public:
  // Starts the encode's worker threads and lends them to the engine (its
  // encodeWorkers) until the driver goes.
  SoundOnlyDriver(MovieEncoder& engine, std::FILE* file, const char* databaseName);
  ~SoundOnlyDriver();
  SoundOnlyDriver(const SoundOnlyDriver&) = delete;
  SoundOnlyDriver& operator=(const SoundOnlyDriver&) = delete;

  void run();

 private:
  // Steps of the encode; an abort is thrown as an int, an error as const char*.
  void planSound();
  void writeDatabaseStart();
  void writeSound();
  void completeDatabase();
  void report(int event, int value, std::intptr_t data);

  MovieEncoder& engine;
  WorkerPool workers;
  std::FILE* file;
  const char* databaseName;
  DatabaseWriter writer;
  int nominalFrames = 0;
  int audioRecordCount = 0;
  std::vector<std::int32_t> recordOffsets;
};

}  // namespace vantrel
