#include "platform/FileReplacement.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestClips.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// Two conversions at once to the same output name each write their own hidden
// temporary file beside it; the one to finish last gives the name its movie,
// and no temporary file stays behind.
TEST(FileReplacementTest, ConversionsAtOnceNeverShareATemporaryFile) {
  test::ScratchDirectory directory;
  const std::string destination = directory.file("movie.pdb");
  FileReplacement first;
  FileReplacement second;
  ASSERT_EQ(first.begin(destination), "");
  ASSERT_EQ(second.begin(destination), "");
  EXPECT_NE(first.writePath(), second.writePath());
  EXPECT_EQ(fs::path(second.writePath()).parent_path(), fs::path(directory.path()));
  ASSERT_TRUE(test::writeTextFile(first.writePath(), "first"));
  ASSERT_TRUE(test::writeTextFile(second.writePath(), "second"));
  EXPECT_EQ(first.commit(), "");
  EXPECT_EQ(second.commit(), "");
  EXPECT_EQ(std::distance(fs::directory_iterator(directory.path()), fs::directory_iterator()),
            1);
  EXPECT_EQ(fs::file_size(destination), 6u);  // "second"
}

}  // namespace
}  // namespace vantrel
