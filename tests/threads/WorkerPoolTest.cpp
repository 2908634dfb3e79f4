#include "threads/WorkerPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "threads/MachineResources.h"

namespace vantrel {
namespace {

TEST(WorkerPoolTest, EveryPartRunsOnceInEveryRunWhateverTheThreads) {
  for (const int threads : {1, 2, 4}) {
    WorkerPool pool(threads);
    EXPECT_GE(pool.threadCount(), 1);
    EXPECT_LE(pool.threadCount(), threads);
    // The same helpers serve run after run, with more and fewer parts than threads.
    for (const int parts : {1, 3, 40, 2, 0, 17}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(parts) +
                   " parts");
      std::vector<std::atomic<int>> runs(std::size_t(parts + 1));
      pool.run(parts, [&](int part) { runs[std::size_t(part)] += 1; });
      for (int part = 0; part < parts; ++part) EXPECT_EQ(runs[std::size_t(part)], 1);
      EXPECT_EQ(runs[std::size_t(parts)], 0);
    }
  }
}

TEST(WorkerPoolTest, OneThreadDoesEveryPartOnTheCallersThread) {
  WorkerPool pool(1);
  EXPECT_EQ(pool.threadCount(), 1);
  std::vector<std::thread::id> ran(8);
  pool.run(8, [&](int part) { ran[std::size_t(part)] = std::this_thread::get_id(); });
  for (const std::thread::id id : ran) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(WorkerPoolTest, AThrowingPartSurfacesInTheCallerAndThePoolGoesOn) {
  WorkerPool pool(3);
  std::atomic<int> ended{0};
  try {
    pool.run(64, [&](int part) {
      if (part == 5) throw std::runtime_error("part 5");
      ended += 1;
    });
    ADD_FAILURE() << "the failure did not surface";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "part 5");
  }
  // Every part begun had ended when run() threw: none ends afterwards.
  const int endedAtThrow = ended;
  EXPECT_LT(endedAtThrow, 64);
  std::atomic<int> again{0};
  pool.run(10, [&](int) { again += 1; });
  EXPECT_EQ(ended, endedAtThrow);
  EXPECT_EQ(again, 10);
}

TEST(WorkerPoolTest, MachineFiguresArePlausible) {
  EXPECT_GE(usableProcessorCount(), 1);
  EXPECT_LE(usableProcessorCount(),
            int(std::max(1u, std::thread::hardware_concurrency())));
  EXPECT_GT(physicalMemoryBytes(), std::int64_t{1} << 26);
}

}  // namespace
}  // namespace vantrel
