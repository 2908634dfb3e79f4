#include "threads/WorkerPool.h"

#include <algorithm>
#include <utility>

namespace vantrel {

WorkerPool::WorkerPool(int threads) {
  const int wanted = std::clamp(threads, 1, kMaxThreads) - 1;
  try {
    helpers.reserve(static_cast<std::size_t>(wanted));
    for (int i = 0; i < wanted; ++i) helpers.emplace_back([this] { helperLoop(); });
  } catch (...) {
    // Whatever stopped the start-up (no thread, no memory), the helpers that
    // run are used and the caller's thread does the rest.
  }
}

WorkerPool::~WorkerPool() {
  {
    const std::lock_guard<std::mutex> guard(lock);
    stopping = true;
  }
  wake.notify_all();
  for (std::thread& helper : helpers) helper.join();
}

void WorkerPool::helperLoop() {
  std::unique_lock<std::mutex> guard(lock);
  for (;;) {
    wake.wait(guard, [this] {
      return stopping || (function != nullptr && nextPart < partCount);
    });
    if (stopping) return;
    takeParts(guard);
  }
}

void WorkerPool::takeParts(std::unique_lock<std::mutex>& guard) {
  while (nextPart < partCount) {
    const int part = nextPart++;
    const PartFunction current = function;
    const void* currentContext = context;
    guard.unlock();
    std::exception_ptr thrown;
    try {
      current(currentContext, part);
    } catch (...) {
      thrown = std::current_exception();
    }
    guard.lock();
    if (thrown) {
      if (!failure) failure = thrown;
      partCount = nextPart;  // begin no further part
    }
    if (++partsEnded == partCount) finished.notify_all();
  }
}

void WorkerPool::runParts(int parts, PartFunction work, const void* workContext) {
  if (parts <= 0) return;
  if (helpers.empty() || parts == 1) {
    for (int part = 0; part < parts; ++part) work(workContext, part);
    return;
  }
  std::unique_lock<std::mutex> guard(lock);
  function = work;
  context = workContext;
  partCount = parts;
  nextPart = 0;
  partsEnded = 0;
  failure = nullptr;
  wake.notify_all();
  takeParts(guard);
  finished.wait(guard, [this] { return partsEnded == partCount; });
  function = nullptr;
  context = nullptr;
  if (failure) std::rethrow_exception(std::exchange(failure, nullptr));
}

}  // namespace vantrel
