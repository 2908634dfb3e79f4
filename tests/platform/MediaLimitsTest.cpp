// The platform layer's limits on what a header may claim: a sound's sample rate
// and a video's picture size. Streams over them are refused at open, quickly and
// without the memory their claims would need; streams at the limits still open.

#include "platform/MediaLimits.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/AudioDecoder.h"
#include "platform/RawAudioReader.h"
#include "platform/VideoDecoder.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

class MediaLimitsTest : public ::testing::Test {
 protected:
  // A mono 16-bit WAV file whose header says rate samples per second (the
  // stored samples are the same few hundred whatever it says).
  std::string wavClaimingRate(std::uint32_t rate) {
    const std::string path = directory.file("rate.wav");
    test::WavClip clip;
    clip.sampleFrames = 500;
    EXPECT_TRUE(test::writeWav(path, clip));
    std::vector<char> bytes;
    {
      std::ifstream in(path, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // RIFF header (12), "fmt " and its size (8), format tag and channels (4):
    // nSamplesPerSec at 24, nAvgBytesPerSec at 28.
    for (int i = 0; i < 4; ++i) {
      bytes[std::size_t(24 + i)] = char(rate >> (8 * i));
      bytes[std::size_t(28 + i)] = char((rate * 2) >> (8 * i));
    }
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return path;
  }

  test::ScratchDirectory directory;
};

TEST_F(MediaLimitsTest, SoundClaimingAnAbsurdRateIsRefusedAtOnce) {
  // 268 MHz: resampling from it used to take seconds and hundreds of megabytes.
  const std::string path = wavClaimingRate(0x10001F40u);
  AudioDecoder decoded;
  EXPECT_EQ(decoded.open(path.c_str(), 20000), MediaStatus::UnknownFormat);
  EXPECT_FALSE(decoded.isOpen());
  RawAudioReader stored;
  EXPECT_EQ(stored.open(path.c_str()), MediaStatus::UnknownFormat);
  EXPECT_FALSE(stored.isOpen());
}

TEST_F(MediaLimitsTest, OneSampleAboveTheLimitIsRefused) {
  const std::string path = wavClaimingRate(kMaxSampleRate + 1);
  RawAudioReader stored;
  EXPECT_EQ(stored.open(path.c_str()), MediaStatus::UnknownFormat);
}

TEST_F(MediaLimitsTest, SoundAtTheHighestRateInUseOpens) {
  test::WavClip clip;
  clip.sampleRate = kMaxSampleRate;
  clip.sampleFrames = 4000;
  const std::string path = directory.file("fast.wav");
  ASSERT_TRUE(test::writeWav(path, clip));
  RawAudioReader stored;
  ASSERT_EQ(stored.open(path.c_str()), MediaStatus::Ok);
  EXPECT_EQ(stored.facts().sampleRate, kMaxSampleRate);
  AudioDecoder decoded;
  EXPECT_EQ(decoded.open(path.c_str(), 20000), MediaStatus::Ok);
}

TEST_F(MediaLimitsTest, PictureLimitsLetAnEightKPictureThrough) {
  EXPECT_LE(7680, kMaxPictureSide);
  EXPECT_LE(std::int64_t(7680) * 4320, kMaxPicturePixels);
  EXPECT_LE(std::int64_t(4096) * 4096, kMaxPicturePixels);
}

}  // namespace
}  // namespace vantrel
