// Replays the seed corpus and every saved finding of each fuzz target through
// the target's entry function, so that a fixed fault stays fixed in the normal
// test run (and under the sanitizers in the sanitizer run).

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FuzzSeeds.h"
#include "FuzzTargets.h"

namespace vantrel::fuzz {
namespace {

class FuzzReplayTest : public ::testing::TestWithParam<FuzzTarget> {
 protected:
  // The saved inputs of the target, sorted by name; README files are notes.
  static std::vector<std::filesystem::path> regressionFiles(const char* target) {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path folder = std::filesystem::path(VANTREL_FUZZ_REGRESSIONS) / target;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      const std::string name = entry.path().filename().string();
      if (entry.is_regular_file() && name.rfind("README", 0) != 0 && name[0] != '.') {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  static FuzzInput readInput(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return FuzzInput(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

TEST_P(FuzzReplayTest, EverySeedRunsToTheEnd) {
  const std::vector<FuzzInput> seeds = seedCorpus(GetParam().name);
  ASSERT_FALSE(seeds.empty());
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    SCOPED_TRACE("seed " + std::to_string(i));
    EXPECT_FALSE(seeds[i].empty());
    EXPECT_EQ(GetParam().entry(seeds[i].data(), seeds[i].size()), 0);
  }
}

TEST_P(FuzzReplayTest, EverySavedFindingRunsToTheEnd) {
  for (const std::filesystem::path& file : regressionFiles(GetParam().name)) {
    SCOPED_TRACE(file.string());
    const FuzzInput input = readInput(file);
    EXPECT_EQ(GetParam().entry(input.data(), input.size()), 0);
  }
}

TEST_P(FuzzReplayTest, EmptyAndTinyInputsAreHarmless) {
  const std::uint8_t bytes[] = {0x01, 0x00, 0xFF, 0x7F, 0x80, 0x0A, 0x2D, 0x00};
  for (std::size_t size = 0; size <= sizeof bytes; ++size) {
    EXPECT_EQ(GetParam().entry(size == 0 ? nullptr : bytes, size), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(AllTargets, FuzzReplayTest, ::testing::ValuesIn(kFuzzTargets),
                         [](const ::testing::TestParamInfo<FuzzTarget>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace vantrel::fuzz
