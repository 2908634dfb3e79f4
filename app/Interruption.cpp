#include "Interruption.h"

#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace vantrel {

namespace {

// What the handler may touch: lock-free atomics and a fixed buffer written
// before the handler is installed.
std::atomic<int> caughtSignal = 0;
std::atomic<std::atomic<bool>*> abortTarget = nullptr;
char partialFile[PATH_MAX + 1];
struct sigaction previousInterrupt {};
struct sigaction previousTerminate {};

static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onSignal(int number) {
  int none = 0;
  if (caughtSignal.compare_exchange_strong(none, number)) {
    if (std::atomic<bool>* flag = abortTarget.load(); flag != nullptr) flag->store(true);
    return;
  }
  // Second signal: the encode has not reached its next check. unlink, signal
  // and raise are safe to call here.
  if (partialFile[0] != '\0') unlink(partialFile);
  signal(number, SIG_DFL);
  raise(number);
}

}  // namespace

Interruption::Interruption(std::atomic<bool>& abortFlag, const std::string& partialPath) {
  caughtSignal.store(0);
  abortTarget.store(&abortFlag);
  const std::size_t length = partialPath.size() < PATH_MAX ? partialPath.size() : 0;
  std::memcpy(partialFile, partialPath.data(), length);
  partialFile[length] = '\0';
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &previousInterrupt);
  sigaction(SIGTERM, &action, &previousTerminate);
}

Interruption::~Interruption() {
  sigaction(SIGINT, &previousInterrupt, nullptr);
  sigaction(SIGTERM, &previousTerminate, nullptr);
  abortTarget.store(nullptr);
  partialFile[0] = '\0';
}

int Interruption::signalNumber() const { return caughtSignal.load(); }

}  // namespace vantrel
