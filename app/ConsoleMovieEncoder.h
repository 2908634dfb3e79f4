#pragma once

// The console program's engine: the encoder engine with a progress hook that
// prints every event to the console through the settings' message operations.

#include <cstdint>

#include "EncoderSettings.h"
#include "engine/MovieEncoder.h"

namespace vantrel {

class ConsoleMovieEncoder : public MovieEncoder {
 public:
  // settings is the program's settings object; it must outlive the engine.
  explicit ConsoleMovieEncoder(EncoderSettings& settings);

  // Writes the event's text (ProgressText) with printPlain or printInfo,
  // which flush; unknown events print nothing. Keeps no state and always
  // returns 0.
  int reportProgress(int event, int value, std::intptr_t data) override;

  EncoderSettings& settings;
};

}  // namespace vantrel
