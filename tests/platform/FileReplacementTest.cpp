#include "platform/FileReplacement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestClips.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// Two conversions at once into one folder, even to the same output name, each
// write their own temporary file there; the one to finish last gives the name
// its movie, and no temporary file stays behind.
TEST(FileReplacementTest, ConversionsAtOnceNeverShareATemporaryFile) {
  test::ScratchDirectory directory;
  const std::string destination = directory.file("movie.pdb");
  FileReplacement first;
  FileReplacement second;
  FileReplacement other;
  ASSERT_EQ(first.begin(destination), "");
  ASSERT_EQ(second.begin(destination), "");
  ASSERT_EQ(other.begin(directory.file("other.pdb")), "");
  EXPECT_NE(first.writePath(), second.writePath());
  for (const FileReplacement* replacement : {&first, &second, &other}) {
    const fs::path path = replacement->writePath();
    EXPECT_EQ(path.parent_path(), fs::path(directory.path()));
    EXPECT_TRUE(path.filename().string().starts_with("."));
    EXPECT_EQ(path.extension(), ".pdb");
    EXPECT_TRUE(fs::exists(path));
  }
  ASSERT_TRUE(test::writeTextFile(first.writePath(), "first"));
  ASSERT_TRUE(test::writeTextFile(second.writePath(), "second"));
  EXPECT_EQ(first.commit(), "");
  EXPECT_EQ(second.commit(), "");
  other.discard();
  EXPECT_EQ(std::distance(fs::directory_iterator(directory.path()), fs::directory_iterator()),
            1);
  EXPECT_EQ(fs::file_size(destination), 6u);  // "second"
}

}  // namespace
}  // namespace vantrel
