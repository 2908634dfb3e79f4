#include "threads/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrel {
namespace {

TEST(WorkerPoolTest, EveryPartRunsOnceInEveryRunAndAFailureSurfacesInTheCaller) {
  for (const int threads : {1, 2, 4}) {
    WorkerPool pool(threads);
    EXPECT_EQ(pool.threadCount(), threads);
    // The same helpers serve run after run, with more and fewer parts than threads.
    for (const int parts : {1, 3, 40, 0, 17}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(parts));
      std::vector<std::atomic<int>> runs(std::size_t(parts) + 1);
      pool.run(parts, [&](int part) { runs[std::size_t(part)] += 1; });
      for (int part = 0; part <= parts; ++part)
        EXPECT_EQ(runs[part], part < parts ? 1 : 0);
    }
    try {
      pool.run(64, [](int part) {
        if (part == 5) throw std::runtime_error("part 5");
      });
      ADD_FAILURE() << "the failure did not surface";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "part 5");
    }
  }
}

}  // namespace
}  // namespace vantrel
