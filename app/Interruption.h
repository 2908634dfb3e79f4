#pragma once

// SIGINT and SIGTERM during a conversion. While an Interruption object lives,
// the first of these signals asks the encode to stop (the engine's abort flag,
// polled before every frame and audio block) and is remembered, so that the run
// can remove its partial output and end with the status of that signal. A
// second signal, for an encode stuck in a read, removes the partial output at
// once and ends the process as the signal normally would. Outside that time
// the signals keep their usual meaning.

#include <atomic>
#include <string>

namespace vantrel {

class Interruption {
 public:
  // abortFlag is set by the first signal; partialPath (may be empty) is the
  // file a second signal removes. Both must outlive the object.
  Interruption(std::atomic<bool>& abortFlag, const std::string& partialPath);
  // Puts the signals' earlier handling back.
  ~Interruption();
  Interruption(const Interruption&) = delete;
  Interruption& operator=(const Interruption&) = delete;

  // The first signal that arrived, or 0.
  int signalNumber() const;
};

// The exit status of a run ended by signal number: 128 + the number (130 for
// SIGINT, 143 for SIGTERM), as shells report it.
constexpr int interruptedExitStatus(int signalNumber) { return 128 + signalNumber; }

}  // namespace vantrel
