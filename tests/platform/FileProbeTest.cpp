#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/FileProbe.h"
#include "platform/SystemErrorText.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

class FileProbeTest : public ::testing::Test {
 protected:
  test::ScratchDirectory directory;
};

TEST_F(FileProbeTest, MissingFileGivesEnoent) {
  const FileFacts facts = probeFile(directory.file("absent").c_str());
  EXPECT_FALSE(facts.exists);
  EXPECT_EQ(ENOENT, facts.errnoValue);
  EXPECT_FALSE(canOpenForReading(directory.file("absent").c_str()));
}

TEST_F(FileProbeTest, SizesOfTwoGigabytesAndMoreComeThroughWhole) {
  const std::string path = directory.file("sparse.bin");
  ASSERT_TRUE(test::writeTextFile(path, ""));
  std::filesystem::resize_file(path,
                               (std::uintmax_t(1) << 31) + 5);  // sparse: no disk used
  const FileFacts facts = probeFile(path.c_str());
  EXPECT_TRUE(facts.exists);
  EXPECT_TRUE(facts.regularFile);
  EXPECT_EQ((std::int64_t(1) << 31) + 5, facts.size);
  EXPECT_TRUE(canOpenForReading(path.c_str()));
}

TEST_F(FileProbeTest, DirectoryIsNotAReadableFile) {
  EXPECT_FALSE(canOpenForReading(directory.path().c_str()));
}

TEST_F(FileProbeTest, AbsolutePathJoinsTheCurrentDirectory) {
  std::string path;
  ASSERT_TRUE(absolutePath("clip.mov", 4096, path));
  EXPECT_EQ((std::filesystem::current_path() / "clip.mov").string(), path);
  ASSERT_TRUE(absolutePath("/tmp/x.avi", 260, path));
  EXPECT_EQ("/tmp/x.avi", path);
}

TEST_F(FileProbeTest, AbsolutePathFailsForEmptyOrTooLongNames) {
  std::string path = "unchanged";
  EXPECT_FALSE(absolutePath("", 260, path));
  EXPECT_FALSE(absolutePath(nullptr, 260, path));
  EXPECT_FALSE(absolutePath(("/" + std::string(260, 'a')).c_str(), 260, path));
  EXPECT_TRUE(absolutePath(("/" + std::string(259, 'a')).c_str(), 260, path));
}

TEST_F(FileProbeTest, SystemMessagesComeFromTheSystemTable) {
  std::string text;
  ASSERT_TRUE(systemErrorMessage(ENOENT, text));
  EXPECT_EQ("No such file or directory", text);
  text = "kept";
  EXPECT_FALSE(systemErrorMessage(99999, text));
  EXPECT_EQ("kept", text);
}

}  // namespace
}  // namespace vantrel
