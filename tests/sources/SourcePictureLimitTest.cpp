// Streams whose pictures are larger than the program converts: both video
// kinds refuse them at open, before any picture memory is taken, and the
// source selection passes on that reason instead of "unrecognized format".

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sources/AudioStreamSourceAVI.h"
#include "sources/SourceRegistry.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

constexpr const char* kTooLargeText =
    "The video's pictures are too large to convert (at most 8192 pixels wide or high, "
    "and 8192 x 4096 pixels in all)";

class SourcePictureLimitTest : public ::testing::Test {
 protected:
  static std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
  }
  static void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  static void putLittle32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
  }

  // A small uncompressed AVI whose headers claim pictures of width x height:
  // the main header's dwWidth / dwHeight and the stream format's biWidth /
  // biHeight are rewritten; the stored frames stay 16 x 12.
  std::string aviClaiming(std::uint32_t width, std::uint32_t height) {
    const std::string path = scratch.file("claim.avi");
    test::RawAviClip clip;
    clip.width = 16;
    clip.height = 12;
    clip.frames = 2;
    clip.withAudio = true;
    EXPECT_TRUE(test::writeRawAvi(path, clip));
    std::vector<std::uint8_t> bytes = readBytes(path);
    const auto find = [&](const char* tag) {
      const auto at = std::search(bytes.begin(), bytes.end(), tag, tag + 4);
      EXPECT_NE(at, bytes.end()) << tag;
      return std::size_t(at - bytes.begin());
    };
    const std::size_t avih = find("avih") + 8;  // chunk data after id and size
    putLittle32(bytes, avih + 32, width);       // dwWidth
    putLittle32(bytes, avih + 36, height);      // dwHeight
    const std::size_t strf = find("strf") + 8;  // the first stream: video
    putLittle32(bytes, strf + 4, width);        // biWidth
    putLittle32(bytes, strf + 8, height);       // biHeight
    writeBytes(path, bytes);
    return path;
  }

  test::ScratchDirectory scratch;
};

TEST_F(SourcePictureLimitTest, AbsurdPictureSizeIsRefusedAsAnUnreadableFile) {
  // The media libraries themselves reject sizes this far out.
  const std::string path = aviClaiming(100000, 100000);
  VideoStreamSourceAVI avi;
  EXPECT_EQ(avi.open(path.c_str()), kVideoBadFormat);
  EXPECT_FALSE(avi.isOpen());
  VideoStreamSourceQT movie;
  EXPECT_NE(movie.open(path.c_str()), 0);
  EXPECT_FALSE(movie.isOpen());
}

TEST_F(SourcePictureLimitTest, PicturesOverTheLimitAreRefusedByBothKinds) {
  const std::string path = aviClaiming(16000, 12000);
  VideoStreamSourceAVI avi;
  const int aviCode = avi.open(path.c_str());
  EXPECT_EQ(aviCode, kVideoPictureTooLarge);
  EXPECT_STREQ(avi.errorText(aviCode), kTooLargeText);
  EXPECT_FALSE(avi.isOpen());
  VideoStreamSourceQT movie;
  const int movieCode = movie.open(path.c_str());
  EXPECT_EQ(movieCode, kVideoPictureTooLarge);
  EXPECT_STREQ(movie.errorText(movieCode), kTooLargeText);
  EXPECT_FALSE(movie.isOpen());
}

TEST_F(SourcePictureLimitTest, OneSideOverTheLimitIsEnough) {
  VideoStreamSourceAVI avi;
  EXPECT_EQ(avi.open(aviClaiming(8193, 12).c_str()), kVideoPictureTooLarge);
  EXPECT_EQ(avi.open(aviClaiming(16, 8193).c_str()), kVideoPictureTooLarge);
  EXPECT_EQ(avi.open(aviClaiming(8192, 4097).c_str()), kVideoPictureTooLarge);
  // Within the limit: whatever else is wrong with the file, not its size.
  EXPECT_NE(avi.open(aviClaiming(8192, 4096).c_str()), kVideoPictureTooLarge);
}

TEST_F(SourcePictureLimitTest, SelectionReportsThePictureSizeLimit) {
  const std::string path = aviClaiming(12000, 9000);
  VideoStreamSourceAVI videoAvi;
  VideoStreamSourceQT videoMovie;
  AudioStreamSourceAVI audioAvi;
  const VideoSourceList videoKinds = {&videoAvi, &videoMovie};
  const AudioSourceList audioKinds = {&audioAvi};
  AudioStreamSource* selectedAudio = nullptr;
  VideoStreamSource* selectedVideo = nullptr;
  const char* error = openSources(path.c_str(), path.c_str(), &audioKinds, &videoKinds,
                                  selectedAudio, selectedVideo, {});
  ASSERT_NE(error, nullptr);
  EXPECT_STREQ(error, kTooLargeText);
  EXPECT_EQ(selectedVideo, nullptr);
  closeSources(selectedAudio, selectedVideo);
}

}  // namespace
}  // namespace vantrel
