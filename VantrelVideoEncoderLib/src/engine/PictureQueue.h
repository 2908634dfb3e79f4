#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel {

// Composes the pictures of a pass on a second thread, a few ahead of the
// picture the encoder works on, so that reading, decoding and scaling the next
// pictures overlap with encoding the current one. Pictures are made and taken
// strictly in order; a failure to make one is handed to the taker of that
// picture, exactly where the single-threaded pass would have met it.
class PictureQueue {
 public:
  // compose(index, pixels) fills pixels (pixelCount words) with picture index
  // or throws; it runs on the queue's thread only.
  using Compose = std::function<void(int index, std::uint32_t* pixels)>;

  // Starts the thread for pictures first to last - 1, with slots buffers (at
  // least 2: one is the taker's, the others are filled ahead). When the thread
  // cannot be started, whatever the reason, take() composes each picture on
  // the caller's thread. Throws only std::bad_alloc (no slots), with no thread
  // left behind.
  PictureQueue(int first, int last, std::size_t pixelCount, int slots, Compose compose);
  // Lets the thread finish the picture it is making, then waits for it.
  ~PictureQueue();
  PictureQueue(const PictureQueue&) = delete;
  PictureQueue& operator=(const PictureQueue&) = delete;

  // Waits for picture index (one more than the last taken) and returns its
  // pixels, valid until the next take. Rethrows what compose threw for it.
  std::uint32_t* take(int index);

 private:
  void run();
  std::uint32_t* slotOf(int index);

  const int first;
  const int last;
  const std::size_t words;
  const int slotCount;
  Compose compose;
  std::vector<std::uint32_t> buffers;

  std::mutex lock;
  std::condition_variable changed;
  int held;  // the picture the taker works on (first - 1 before the first take)
  int made;  // pictures first .. made - 1 are ready
  bool stopping = false;
  std::exception_ptr failure;  // what compose threw for picture made
  std::thread worker;
};

}  // namespace vantrel
