#include "engine/PictureQueue.h"

#include <utility>

namespace vantrel {

PictureQueue::PictureQueue(int firstPicture, int endPicture, std::size_t pixelCount,
                           int slots, Compose composer)
    : first(firstPicture),
      last(endPicture),
      words(pixelCount),
      slotCount(slots < 2 ? 2 : slots),
      compose(std::move(composer)),
      buffers(pixelCount * static_cast<std::size_t>(slotCount), 0),
      held(firstPicture - 1),
      made(firstPicture) {
  try {
    worker = std::thread([this] { run(); });
  } catch (...) {
    // No thread (or no memory for one) to be had: take() makes each picture
    // itself, on the caller's thread.
  }
}

PictureQueue::~PictureQueue() {
  {
    const std::lock_guard<std::mutex> guard(lock);
    stopping = true;
  }
  changed.notify_all();
  if (worker.joinable()) worker.join();
}

std::uint32_t* PictureQueue::slotOf(int index) {
  return buffers.data() + static_cast<std::size_t>((index - first) % slotCount) * words;
}

void PictureQueue::run() {
  for (int index = first; index < last; ++index) {
    {
      std::unique_lock<std::mutex> guard(lock);
      // A slot is free once the taker has moved past the picture that used it.
      changed.wait(guard, [&] { return stopping || index < held + slotCount; });
      if (stopping) return;
    }
    try {
      compose(index, slotOf(index));
    } catch (...) {
      const std::lock_guard<std::mutex> guard(lock);
      failure = std::current_exception();
      changed.notify_all();
      return;
    }
    {
      const std::lock_guard<std::mutex> guard(lock);
      made = index + 1;
    }
    changed.notify_all();
  }
}

std::uint32_t* PictureQueue::take(int index) {
  if (!worker.joinable()) {
    compose(index, slotOf(index));
    return slotOf(index);
  }
  std::unique_lock<std::mutex> guard(lock);
  held = index;
  changed.notify_all();
  changed.wait(guard, [&] { return made > index || failure != nullptr; });
  if (made <= index) std::rethrow_exception(failure);
  return slotOf(index);
}

}  // namespace vantrel
