#include "PictureFile.h"

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

TEST(PictureFileTest, PngOfOneRedPixelHasEveryChunkInPlace) {
  const std::vector<std::uint8_t> png = encodePng(solid(1, 1, 0xFF0000));
  const std::vector<std::uint8_t> expected = {
      0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,  // signature
      0, 0, 0, 13, 'I', 'H', 'D', 'R',              // IHDR, 13 bytes
      0, 0, 0, 1,                                   // width 1
      0, 0, 0, 1,                                   // height 1
      8, 2, 0, 0, 0,                                // 8 bits, RGB, deflate, no filter set, no interlace
      0x90, 0x77, 0x53, 0xDE,                       // CRC of IHDR
      0, 0, 0, 15, 'I', 'D', 'A', 'T',              // IDAT, 15 bytes
      0x78, 0x01,                                   // zlib header
      0x01, 0x04, 0x00, 0xFB, 0xFF,                 // last stored block of 4 bytes
      0x00, 0xFF, 0x00, 0x00,                       // filter 0, red pixel
      0x03, 0x01, 0x01, 0x00,                       // Adler-32 of the scanline
      0x8D, 0x1D, 0xE5, 0x82,                       // CRC of IDAT
      0, 0, 0, 0, 'I', 'E', 'N', 'D',               // IEND, empty
      0xAE, 0x42, 0x60, 0x82,                       // CRC of IEND
  };
  EXPECT_EQ(png, expected);
}

TEST(PictureFileTest, LargePngSplitsIntoStoredBlocks) {
  // 200 x 120 RGB rows of 601 bytes: 72120 bytes need two stored blocks.
  const std::vector<std::uint8_t> png = encodePng(solid(200, 120, 0x123456));
  const std::size_t idat = 8 + 25;                   // after signature and IHDR
  EXPECT_EQ(png[idat + 8 + 2], 0x00);                // first block is not the last
  EXPECT_EQ(png[idat + 8 + 3], 0xFF);                // 65535 bytes
  EXPECT_EQ(png[idat + 8 + 4], 0xFF);
  const std::size_t second = idat + 8 + 2 + 5 + 65535;
  EXPECT_EQ(png[second], 0x01);                      // the last block
  EXPECT_EQ(png[second + 1] | (png[second + 2] << 8), 72120 - 65535);
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
