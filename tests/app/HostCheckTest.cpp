#include "HostCheck.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

class HostCheckTest : public ::testing::Test {};

TEST_F(HostCheckTest, LinuxThreeAndLaterIsAccepted) {
  EXPECT_EQ(checkHostRelease("Linux", "3.0"), nullptr);
  EXPECT_EQ(checkHostRelease("Linux", "6.1.0-18-amd64"), nullptr);
  EXPECT_EQ(checkHostRelease("Linux", "10.2.1"), nullptr);
  EXPECT_EQ(checkHostRelease("Linux", "123456789012345678901234567890"), nullptr);
}

TEST_F(HostCheckTest, OlderKernelIsRefused) {
  EXPECT_STREQ(checkHostRelease("Linux", "2.6.32"), kHostTooOldMessage);
  EXPECT_STREQ(kHostTooOldMessage,
               "FATAL ERROR - This application requires Windows 98 or Windows NT 4.0 and "
               "later");
}

TEST_F(HostCheckTest, OtherSystemIsRefused) {
  EXPECT_STREQ(checkHostRelease("Darwin", "22.1.0"), kHostTooOldMessage);
}

TEST_F(HostCheckTest, UnreadableReleaseIsUnknownHost) {
  EXPECT_STREQ(checkHostRelease("Linux", ""), kHostUnknownMessage);
  EXPECT_STREQ(checkHostRelease("Linux", "v5"), kHostUnknownMessage);
  EXPECT_STREQ(checkHostRelease(nullptr, "5.0"), kHostUnknownMessage);
  EXPECT_STREQ(checkHostRelease("Linux", nullptr), kHostUnknownMessage);
  EXPECT_STREQ(kHostUnknownMessage, "INTERNAL ERROR - unable to determine system version");
}

TEST_F(HostCheckTest, BuildHostIsAccepted) { EXPECT_EQ(checkHost(), nullptr); }

}  // namespace
}  // namespace vantrel
