#include <gtest/gtest.h>

#include "platform/MediaLibraryCheck.h"

namespace vantrel {
namespace {

TEST(MediaLibraryCheckTest, SameMajorAndNotOlderThanTheMinimumIsUsable) {
  EXPECT_TRUE(libraryVersionUsable({59, 27, 100}, {59, 27, 100}, {59, 27, 0}));
  EXPECT_TRUE(libraryVersionUsable({59, 30, 0}, {59, 27, 100}, {59, 27, 0}));
}

TEST(MediaLibraryCheckTest, OlderOrOtherMajorVersionsAreRefused) {
  EXPECT_FALSE(libraryVersionUsable({59, 20, 0}, {59, 27, 100}, {59, 27, 0}));
  EXPECT_FALSE(libraryVersionUsable({58, 99, 0}, {59, 27, 100}, {59, 27, 0}));
  EXPECT_FALSE(libraryVersionUsable({60, 0, 0}, {59, 27, 100}, {59, 27, 0}));
}

TEST(MediaLibraryCheckTest, TheLinkedLibrariesAreUsable) {
  EXPECT_TRUE(mediaLibrariesUsable());
  EXPECT_TRUE(soundConversionAvailable());
  EXPECT_NE(std::string::npos, mediaLibraryVersions().find("libavformat "));
  EXPECT_NE(std::string::npos, mediaLibraryVersions().find("libswresample "));
}

}  // namespace
}  // namespace vantrel
