#include "SameFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

class SameFileTest : public ::testing::Test {
 protected:
  SameFileTest() {
    std::string pattern = (fs::temp_directory_path() / "samefile-XXXXXX").string();
    directory = mkdtemp(pattern.data());
    std::ofstream(directory / "source.avi") << "source";
    std::ofstream(directory / "other.avi") << "other";
  }
  ~SameFileTest() override { fs::remove_all(directory); }

  std::string at(const char* name) const { return (directory / name).string(); }

  fs::path directory;
};

TEST_F(SameFileTest, SamePathIsSameFile) {
  EXPECT_TRUE(isSameFile(at("source.avi"), at("source.avi")));
}

TEST_F(SameFileTest, DifferentFilesAreNotSame) {
  EXPECT_FALSE(isSameFile(at("source.avi"), at("other.avi")));
}

TEST_F(SameFileTest, HardLinkIsSameFile) {
  fs::create_hard_link(at("source.avi"), at("linked.pdb"));
  EXPECT_TRUE(isSameFile(at("linked.pdb"), at("source.avi")));
}

TEST_F(SameFileTest, SymbolicLinkIsSameFile) {
  fs::create_symlink(at("source.avi"), at("symlink.pdb"));
  EXPECT_TRUE(isSameFile(at("symlink.pdb"), at("source.avi")));
}

TEST_F(SameFileTest, SpellingsOfOnePathAreSameFile) {
  const std::string roundabout = (directory / "sub" / ".." / "source.avi").string();
  fs::create_directory(directory / "sub");
  EXPECT_TRUE(isSameFile(roundabout, at("source.avi")));
}

TEST_F(SameFileTest, MissingFileIsComparedByPath) {
  EXPECT_FALSE(isSameFile(at("new.pdb"), at("source.avi")));
  EXPECT_TRUE(isSameFile(at("gone.avi"), (directory / "." / "gone.avi").string()));
}

TEST_F(SameFileTest, EmptyPathIsNoFile) {
  EXPECT_FALSE(isSameFile("", at("source.avi")));
  EXPECT_FALSE(isSameFile(at("source.avi"), ""));
}

}  // namespace
}  // namespace vantrel
