#include "FullPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vantrel {
namespace {

class FullPathTest : public ::testing::Test {
 protected:
  static std::string cwd() { return std::filesystem::current_path().string(); }
};

TEST_F(FullPathTest, RelativePathIsJoinedToTheCurrentDirectory) {
  EXPECT_EQ(makeFullPath("x"), std::optional<std::string>(cwd() + "/x"));
  EXPECT_EQ(makeFullPath("dir/../y.pdb"), std::optional<std::string>(cwd() + "/dir/../y.pdb"));
}

TEST_F(FullPathTest, AbsolutePathIsKeptWithoutResolvingAnything) {
  EXPECT_EQ(makeFullPath("/a/../b"), std::optional<std::string>("/a/../b"));
}

TEST_F(FullPathTest, EmptyPathFails) { EXPECT_EQ(makeFullPath(""), std::nullopt); }

TEST_F(FullPathTest, ResultOfMoreThan260CharactersFails) {
  const std::string longest = "/" + std::string(259, 'a');
  EXPECT_EQ(makeFullPath(longest), std::optional<std::string>(longest));
  EXPECT_EQ(makeFullPath(longest + "b"), std::nullopt);
  if (cwd().size() >= 259) GTEST_SKIP() << "current directory too long for this check";
  const std::string relative(260 - cwd().size() - 1, 'r');
  EXPECT_EQ(makeFullPath(relative), std::optional<std::string>(cwd() + "/" + relative));
  EXPECT_EQ(makeFullPath(relative + "r"), std::nullopt);
}

}  // namespace
}  // namespace vantrel
