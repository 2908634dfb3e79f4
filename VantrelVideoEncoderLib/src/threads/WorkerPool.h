#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel {

// A fixed set of helper threads, started once for a whole encode and used for
// every piece of work it shares out (the blocks of each difference frame, the
// samples of each sound window), so that no thread is started per frame or per
// window. run() splits a piece of work into parts that the calling thread and
// the helpers take one at a time; the results never depend on which thread
// made which part.
class WorkerPool {
 public:
  static constexpr int kMaxThreads = 16;

  // threads: the threads work is spread over, the caller's included, limited
  // to 1 .. kMaxThreads; 1 does every part on the caller's thread. Helpers that
  // cannot be started (no thread or no memory to be had) are simply fewer, down
  // to none; threadCount() says how many threads there are. Never throws.
  explicit WorkerPool(int threads);
  // Stops the helpers and waits for them.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The helpers plus the caller's thread: at least 1.
  int threadCount() const { return static_cast<int>(helpers.size()) + 1; }

  // Runs task(0) .. task(parts - 1), each once, some at the same time, and
  // returns when all are done. When a part throws, no further part is begun and
  // the first exception is rethrown here once every part begun has ended. One
  // caller at a time; a task must not call run() on the same pool.
  template <typename Task>
  void run(int parts, const Task& task) {
    const PartFunction callTask = [](const void* address, int part) {
      (*static_cast<const Task*>(address))(part);
    };
    runParts(parts, callTask, &task);
  }

 private:
  using PartFunction = void (*)(const void* taskAddress, int part);

  void runParts(int parts, PartFunction work, const void* workContext);
  void helperLoop();
  // Takes parts of the current task until none is left; called with guard held,
  // returns with it held.
  void takeParts(std::unique_lock<std::mutex>& guard);

  std::vector<std::thread> helpers;
  std::mutex lock;
  std::condition_variable wake;      // a task arrived, or the pool stops
  std::condition_variable finished;  // the last part of a task ended
  PartFunction function = nullptr;   // the task being shared out, if any
  const void* context = nullptr;
  int partCount = 0;  // parts of the task; after a failure, the parts begun
  int nextPart = 0;
  int partsEnded = 0;
  std::exception_ptr failure;
  bool stopping = false;
};

}  // namespace vantrel
