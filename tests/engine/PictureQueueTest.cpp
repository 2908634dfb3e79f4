#include "engine/PictureQueue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

constexpr std::size_t kWords = 64;

// Fills a picture with its index and notes the order in which pictures were made.
class PictureMaker {
 public:
  void make(int index, std::uint32_t* pixels) {
    {
      const std::lock_guard<std::mutex> guard(lock);
      made.push_back(index);
    }
    for (std::size_t i = 0; i < kWords; ++i) pixels[i] = std::uint32_t(index) * 1000 + i;
  }
  std::vector<int> order() {
    const std::lock_guard<std::mutex> guard(lock);
    return made;
  }

 private:
  std::mutex lock;
  std::vector<int> made;
};

bool holds(const std::uint32_t* pixels, int index) {
  for (std::size_t i = 0; i < kWords; ++i) {
    if (pixels[i] != std::uint32_t(index) * 1000 + i) return false;
  }
  return true;
}

TEST(PictureQueueTest, PicturesArriveInOrderEachMadeOnce) {
  for (const int slots : {2, 3, 5}) {
    SCOPED_TRACE("slots " + std::to_string(slots));
    PictureMaker maker;
    {
      PictureQueue queue(3, 40, kWords, slots, [&](int index, std::uint32_t* pixels) {
        maker.make(index, pixels);
      });
      for (int i = 3; i < 40; ++i) {
        const std::uint32_t* pixels = queue.take(i);
        ASSERT_TRUE(holds(pixels, i)) << "picture " << i;
      }
    }
    std::vector<int> expected;
    for (int i = 3; i < 40; ++i) expected.push_back(i);
    EXPECT_EQ(maker.order(), expected);
  }
}

TEST(PictureQueueTest, AFailureSurfacesAtThePictureItHitAndNoLaterPictureIsMade) {
  PictureMaker maker;
  PictureQueue queue(0, 20, kWords, 3, [&](int index, std::uint32_t* pixels) {
    if (index == 6) throw std::runtime_error("picture 6 unreadable");
    maker.make(index, pixels);
  });
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(holds(queue.take(i), i)) << "picture " << i;
  try {
    queue.take(6);
    ADD_FAILURE() << "picture 6 was delivered";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "picture 6 unreadable");
  }
  EXPECT_EQ(maker.order(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST(PictureQueueTest, DestroyedWhileAPictureIsBeingMadeItWaitsForThatOneOnly) {
  PictureMaker maker;
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  auto queue = std::make_unique<PictureQueue>(0, 100, kWords, 3,
                                              [&](int index, std::uint32_t* pixels) {
                                                if (index == 2) {
                                                  entered.set_value();
                                                  released.wait();
                                                }
                                                maker.make(index, pixels);
                                              });
  ASSERT_TRUE(holds(queue->take(0), 0));
  entered.get_future().wait();
  // Picture 2 is being made while the queue goes: whether the release comes
  // before or during the destruction, the queue finishes it and makes no more.
  std::thread releaser([&] { release.set_value(); });
  queue.reset();
  releaser.join();
  EXPECT_EQ(maker.order(), (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace vantrel
