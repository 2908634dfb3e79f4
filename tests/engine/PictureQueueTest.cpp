#include "engine/PictureQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

constexpr std::size_t kWords = 64;

// Fills picture index with its number, or fails at failAt; notes the order made.
struct PictureMaker {
  void operator()(int index, std::uint32_t* pixels) {
    if (index == failAt) throw std::runtime_error("picture unreadable");
    std::fill(pixels, pixels + kWords, std::uint32_t(index));
    const std::lock_guard<std::mutex> guard(lock);
    made.push_back(index);
  }
  std::mutex lock;
  std::vector<int> made;
  int failAt = -1;
};

TEST(PictureQueueTest, PicturesArriveInOrderUntilAFailureSurfacesAtThePictureItHit) {
  for (const int slots : {2, 3, 5}) {
    PictureMaker maker;
    maker.failAt = 30;
    PictureQueue queue(3, 40, kWords, slots, std::ref(maker));
    std::vector<int> expected;
    for (int i = 3; i < 30; ++i) {
      const std::uint32_t* pixels = queue.take(i);
      ASSERT_EQ(std::count(pixels, pixels + kWords, std::uint32_t(i)), 64) << i;
      expected.push_back(i);
    }
    EXPECT_THROW(queue.take(30), std::runtime_error);
    EXPECT_EQ(maker.made, expected) << slots << " slots";  // none made after it
  }
}

TEST(PictureQueueTest, DestroyedWhileAPictureIsBeingMadeItWaitsForThatOneOnly) {
  PictureMaker maker;
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  const auto waitAtTwo = [&](int index, std::uint32_t* pixels) {
    if (index == 2) {
      entered.set_value();
      released.wait();
    }
    maker(index, pixels);
  };
  auto queue = std::make_unique<PictureQueue>(0, 100, kWords, 3, waitAtTwo);
  queue->take(0);
  entered.get_future().wait();
  // Picture 2 is being made as the queue goes: released before or during the
  // destruction, it is finished and no later picture is begun.
  std::thread releaser([&] { release.set_value(); });
  queue.reset();
  releaser.join();
  EXPECT_EQ(maker.made, (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace vantrel
