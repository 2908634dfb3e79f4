#include "PictureFile.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace vantrel::inspect {
namespace {

RgbPicture solid(int width, int height, std::uint32_t colour) {
  RgbPicture picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.assign(std::size_t(width) * height * 3, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) picture.setPixel(x, y, colour);
  }
  return picture;
}

// A picture whose every pixel differs from its neighbours.
RgbPicture pattern(int width, int height) {
  RgbPicture picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.assign(std::size_t(width) * height * 3, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      picture.setPixel(x, y, std::uint32_t(x * 37 + y * 11) << 16 |
                                 std::uint32_t((x ^ y) * 5) << 8 | std::uint32_t(x * y));
    }
  }
  return picture;
}

std::uint32_t bigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
         std::uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

TEST(PictureFileTest, PngStartsWithTheSignatureAndAnRgbHeader) {
  const std::vector<std::uint8_t> png = encodePng(solid(3, 2, 0xFF0000));
  ASSERT_GE(png.size(), 8u + 25u + 12u);
  const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
  EXPECT_EQ(bigEndian32(png, 8), 13u);                       // IHDR length
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
  EXPECT_EQ(bigEndian32(png, 16), 3u);                       // width
  EXPECT_EQ(bigEndian32(png, 20), 2u);                       // height
  EXPECT_EQ(png[24], 8);                                     // bits per sample
  EXPECT_EQ(png[25], 2);                                     // colour type: RGB
  // The file ends with an empty IEND chunk and its fixed CRC.
  const std::vector<std::uint8_t> end = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  EXPECT_TRUE(std::equal(end.begin(), end.end(), png.end() - 12));
}

TEST(PictureFileTest, PngReadsBackAsTheSamePicture) {
  const RgbPicture original = pattern(37, 23);
  RgbPicture read;
  ASSERT_TRUE(decodePng(encodePng(original), read));
  EXPECT_EQ(read.width, 37);
  EXPECT_EQ(read.height, 23);
  EXPECT_EQ(read.rgb, original.rgb);
}

TEST(PictureFileTest, PngIsCompressed) {
  // 200 x 120 of one colour: 72000 bytes of samples shrink to very little.
  const std::vector<std::uint8_t> png = encodePng(solid(200, 120, 0x123456));
  EXPECT_LT(png.size(), 2000u);
  RgbPicture read;
  ASSERT_TRUE(decodePng(png, read));
  EXPECT_EQ(read.pixel(199, 119), 0x123456u);
}

TEST(PictureFileTest, EmptyPictureGivesNoPngAndNoFile) {
  EXPECT_TRUE(encodePng(RgbPicture{}).empty());
  const std::string path = ::testing::TempDir() + "vantrel-empty-picture.png";
  std::remove(path.c_str());
  EXPECT_FALSE(writePicture(path, RgbPicture{}));
  EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
}

TEST(PictureFileTest, BytesThatAreNoPngAreRefused) {
  RgbPicture read;
  EXPECT_FALSE(decodePng({}, read));
  EXPECT_FALSE(decodePng({'P', '6', '\n', '1', ' ', '1'}, read));
}

TEST(PictureFileTest, PpmHasAPlainHeaderAndRgbBytes) {
  const std::vector<std::uint8_t> ppm = encodePpm(solid(2, 1, 0x0A0B0C));
  const std::string header = "P6\n2 1\n255\n";
  ASSERT_EQ(ppm.size(), header.size() + 6);
  EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + header.size()), header);
  EXPECT_EQ(ppm[header.size()], 0x0A);
  EXPECT_EQ(ppm[header.size() + 5], 0x0C);
}

TEST(PictureFileTest, ContactSheetPlacesPicturesInRowsWithGutters) {
  const std::vector<RgbPicture> pictures = {solid(10, 8, 0xFF0000), solid(10, 8, 0x00FF00),
                                            solid(10, 8, 0x0000FF)};
  const RgbPicture sheet = contactSheet(pictures, 2);
  EXPECT_EQ(sheet.width, 4 + 2 * 14);
  EXPECT_EQ(sheet.height, 4 + 2 * 12);
  EXPECT_EQ(sheet.pixel(4, 4), 0xFF0000u);
  EXPECT_EQ(sheet.pixel(18, 4), 0x00FF00u);
  EXPECT_EQ(sheet.pixel(4, 16), 0x0000FFu);
  EXPECT_EQ(sheet.pixel(0, 0), 0x404040u);
  EXPECT_EQ(sheet.pixel(18, 16), 0x404040u);  // the empty fourth cell
  EXPECT_EQ(contactSheet({}, 4).width, 0);
}

}  // namespace
}  // namespace vantrel::inspect
