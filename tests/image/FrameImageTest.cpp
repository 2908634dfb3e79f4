#include "image/FrameImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TestPictures.h"

// Counts calls to free() for one watched block, so that the ownership rules can be
// checked: released exactly once, or never for a borrowed buffer. Sanitizer builds
// keep their own free() and check the same rules themselves.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define VANTREL_COUNT_FREES 1
namespace {
void* watchedBlock = nullptr;
int watchedFrees = 0;
void* watchedAux = nullptr;
int auxFrees = 0;
}  // namespace
extern "C" void __libc_free(void*) noexcept;
extern "C" void free(void* block) noexcept {
  if (block != nullptr && block == watchedBlock) ++watchedFrees;
  if (block != nullptr && block == watchedAux) ++auxFrees;
  __libc_free(block);
}
#endif

namespace vantrel {
namespace {

using testing::rgb;

class FrameImageTest : public ::testing::Test {
 protected:
  // A DIB header for width x height at bitCount bits per pixel.
  static BitmapInfo256 dib(int width, int height, int bitCount) {
    BitmapInfo256 info;
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biBitCount = static_cast<std::uint16_t>(bitCount);
    return info;
  }

  // Message of the const char* that load throws, or "" when it throws nothing.
  static std::string errorOf(const BitmapInfo256& info, const std::vector<std::uint8_t>& bits) {
    FrameImage image;
    try {
      image.loadFromDib(&info.header, bits.data(), false);
    } catch (const char* message) {
      return message;
    }
    return "";
  }

  // Two rows of 24-bit pixels, width 3 (stride 12 with 3 padding bytes each):
  // stored row 0 is blue-ish values 1..9, stored row 1 values 11..19; padding 0xEE.
  static std::vector<std::uint8_t> twoRows24() {
    return {1,  2,  3,  4,  5,  6,  7,  8,  9,  0xEE, 0xEE, 0xEE,   // stored row 0
            11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};  // stored row 1
  }
};

TEST_F(FrameImageTest, EmptyImageHasNoPixelsAndDoesNotOwn) {
  FrameImage image;
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width(), 0);
  EXPECT_EQ(image.height(), 0);
  EXPECT_FALSE(image.ownsPixels);
  EXPECT_FALSE(image.fillRect(0, 0, -1, -1, 0));
}

TEST_F(FrameImageTest, BottomUp24BitKeepsFirstStoredRowAsRowZeroAndSkipsPadding) {
  const BitmapInfo256 info = dib(3, 2, 24);
  const std::vector<std::uint8_t> bits = twoRows24();
  FrameImage image(&info.header, bits.data(), false);
  ASSERT_EQ(image.width(), 3);
  ASSERT_EQ(image.height(), 2);
  EXPECT_TRUE(image.ownsPixels);
  EXPECT_EQ(image.pixels[0], rgb(3, 2, 1));   // bytes blue, green, red
  EXPECT_EQ(image.pixels[2], rgb(9, 8, 7));   // last pixel before the padding
  EXPECT_EQ(image.pixels[3], rgb(13, 12, 11));  // next row starts after 12 bytes
  EXPECT_EQ(image.pixels[5], rgb(19, 18, 17));
}

TEST_F(FrameImageTest, FlipMakesLastStoredRowRowZero) {
  const BitmapInfo256 info = dib(3, 2, 24);
  const std::vector<std::uint8_t> bits = twoRows24();
  FrameImage image(&info.header, bits.data(), true);
  EXPECT_EQ(image.pixels[0], rgb(13, 12, 11));
  EXPECT_EQ(image.pixels[3], rgb(3, 2, 1));
}

TEST_F(FrameImageTest, TopDown24BitIsTurnedSoItsBottomRowBecomesRowZero) {
  const BitmapInfo256 info = dib(3, -2, 24);
  const std::vector<std::uint8_t> bits = twoRows24();
  FrameImage image(&info.header, bits.data(), false);
  EXPECT_EQ(image.height(), 2);
  EXPECT_EQ(image.pixels[0], rgb(13, 12, 11));
  FrameImage flipped(&info.header, bits.data(), true);
  EXPECT_EQ(flipped.pixels[0], rgb(3, 2, 1));
}

TEST_F(FrameImageTest, ThirtyTwoBitIsCopiedInStoredOrderWhateverTheFlip) {
  const std::vector<std::uint8_t> bits = {1, 2, 3, 0x7F,    // stored row 0
                                          5, 6, 7, 0x80};   // stored row 1
  for (int height : {2, -2}) {
    for (bool flip : {false, true}) {
      const BitmapInfo256 info = dib(1, height, 32);
      FrameImage image(&info.header, bits.data(), flip);
      EXPECT_EQ(image.pixels[0], 0x7F030201u) << height << flip;  // fourth byte kept
      EXPECT_EQ(image.pixels[1], 0x80070605u) << height << flip;
    }
  }
}

TEST_F(FrameImageTest, SixteenBitChannelsExpandFromFiveBits) {
  const BitmapInfo256 info = dib(6, 1, 16);
  const std::vector<std::uint8_t> bits = {
      0xFF, 0x7F,  // 7FFF: all channels 31
      0x00, 0x7C,  // 7C00: red 31
      0x00, 0x80,  // 8000: only the ignored bit 15
      0x01, 0x00,  // blue 1
      0x10, 0x00,  // blue 16
      0x1E, 0x00,  // blue 30
      0x00, 0x00};  // padding to a multiple of 4 bytes
  FrameImage image(&info.header, bits.data(), false);
  EXPECT_EQ(image.pixels[0], 0x00FFFFFFu);
  EXPECT_EQ(image.pixels[1], 0x00FF0000u);
  EXPECT_EQ(image.pixels[2], 0u);
  EXPECT_EQ(image.pixels[3], 8u);
  EXPECT_EQ(image.pixels[4], 131u);
  EXPECT_EQ(image.pixels[5], 246u);
}

TEST_F(FrameImageTest, EightBitIndicesLookUpTheColourTableAfterTheHeader) {
  BitmapInfo256 info = dib(2, 1, 8);
  info.colours[0] = 0x11223344u;
  info.colours[200] = 0xAB000102u;  // reserved byte as stored
  const std::vector<std::uint8_t> bits = {200, 0, 0, 0};
  FrameImage image(&info.header, bits.data(), false);
  EXPECT_EQ(image.pixels[0], 0xAB000102u);
  EXPECT_EQ(image.pixels[1], 0x11223344u);
}

TEST_F(FrameImageTest, PackedIndicesPutTheLeftmostPixelInTheHighBits) {
  BitmapInfo256 info = dib(9, 2, 1);
  info.colours[0] = rgb(0, 0, 0);
  info.colours[1] = rgb(255, 255, 255);
  // Stride 4: bits 1000 0001 | 1xxx xxxx for row 0, all zero for row 1.
  const std::vector<std::uint8_t> bits = {0x81, 0x80, 0, 0, 0, 0, 0, 0};
  FrameImage one(&info.header, bits.data(), false);
  EXPECT_EQ(one.pixels[0], rgb(255, 255, 255));
  EXPECT_EQ(one.pixels[1], 0u);
  EXPECT_EQ(one.pixels[7], rgb(255, 255, 255));
  EXPECT_EQ(one.pixels[8], rgb(255, 255, 255));
  EXPECT_EQ(one.pixels[9], 0u);  // second row

  BitmapInfo256 two = dib(4, 1, 2);
  BitmapInfo256 four = dib(2, 1, 4);
  for (int i = 0; i < 16; ++i) two.colours[i] = four.colours[i] = static_cast<std::uint32_t>(i);
  const std::vector<std::uint8_t> twoBits = {0x1B, 0, 0, 0};  // 00 01 10 11
  FrameImage image2(&two.header, twoBits.data(), false);
  EXPECT_EQ((std::vector<std::uint32_t>(image2.pixels, image2.pixels + 4)),
            (std::vector<std::uint32_t>{0, 1, 2, 3}));
  const std::vector<std::uint8_t> fourBits = {0xC5, 0, 0, 0};
  FrameImage image4(&four.header, fourBits.data(), false);
  EXPECT_EQ(image4.pixels[0], 12u);
  EXPECT_EQ(image4.pixels[1], 5u);
}

TEST_F(FrameImageTest, IndexPastAShortColourTableGivesBlack) {
  BitmapInfo256 info = dib(2, 1, 8);
  info.header.biClrUsed = 2;
  info.colours[0] = 0x123456u;
  info.colours[5] = 0x00FFFFFFu;  // beyond the table the header declares
  const std::vector<std::uint8_t> bits = {0, 5, 0, 0};
  FrameImage image(&info.header, bits.data(), false);
  EXPECT_EQ(image.pixels[0], 0x123456u);
  EXPECT_EQ(image.pixels[1], 0u);
}

TEST_F(FrameImageTest, CompressedAndBitFieldBitmapsAreRefused) {
  const std::vector<std::uint8_t> bits(64, 0);
  for (int depth : {8, 16, 24, 32}) {
    BitmapInfo256 info = dib(2, 2, depth);
    info.header.biCompression = 3;
    EXPECT_EQ(errorOf(info, bits), "Can't handle compressed bitmaps") << depth;
  }
}

TEST_F(FrameImageTest, UnsupportedDepthIsRefused) {
  const std::vector<std::uint8_t> bits(64, 0);
  for (int depth : {0, 12, 15, 48}) {
    EXPECT_EQ(errorOf(dib(2, 2, depth), bits),
              "Can only handle 1, 2, 4, 8, 16, 24 or 32 bits per pixel")
        << depth;
  }
}

TEST_F(FrameImageTest, RefusedBitmapLeavesImageSizedToItsStorage) {
  FrameImage image(64, 64);
  ASSERT_NE(image.pixels, nullptr);
  BitmapInfo256 info = dib(2, 3, 24);
  info.header.biCompression = 1;
  const std::vector<std::uint8_t> bits(64, 0);
  EXPECT_THROW(image.loadFromDib(&info.header, bits.data(), false), const char*);
  // The storage now holds 2 x 3 pixels, so the size must say so.
  EXPECT_EQ(image.width(), 2);
  EXPECT_EQ(image.height(), 3);
  EXPECT_TRUE(image.fillRect(0, 0, -1, -1, 7));
}

TEST_F(FrameImageTest, LaterFramesReuseTheSameImage) {
  const BitmapInfo256 big = dib(4, 4, 24);
  const BitmapInfo256 small = dib(1, 1, 24);
  const std::vector<std::uint8_t> bits(64, 9);
  FrameImage image(&big.header, bits.data(), false);
  ASSERT_TRUE(image.loadFromDib(&small.header, bits.data(), false));
  EXPECT_EQ(image.width(), 1);
  EXPECT_EQ(image.height(), 1);
  EXPECT_EQ(image.pixels[0], rgb(9, 9, 9));
}

TEST_F(FrameImageTest, SizedImageKeepsItsSizeAndOwnsItsPixels) {
  FrameImage image(5, 3);
  EXPECT_EQ(image.width(), 5);
  EXPECT_EQ(image.height(), 3);
  EXPECT_TRUE(image.ownsPixels);
  EXPECT_TRUE(image.allocate(0, 0));  // an empty block is no failure
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_FALSE(image.allocate(-1, 4));
  EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(FrameImageTest, AllocateOnBorrowingImageForgetsTheBufferAndOwnsANewOne) {
  std::vector<std::uint32_t> buffer(4, 0x55);
  FrameImage image(buffer.data(), 2, 2);
  EXPECT_FALSE(image.ownsPixels);
  ASSERT_TRUE(image.allocate(2, 2));
  EXPECT_TRUE(image.ownsPixels);
  EXPECT_NE(image.pixels, buffer.data());
  EXPECT_EQ(buffer[0], 0x55u);
}

#ifdef VANTREL_COUNT_FREES
TEST_F(FrameImageTest, AttachOnOwningImageReleasesItsPixelsExactlyOnce) {
  std::vector<std::uint32_t> buffer(4, 0);
  {
    FrameImage image(8, 8);
    watchedBlock = image.pixels;
    watchedFrees = 0;
    image.attachPixels(buffer.data(), 2, 2);
    EXPECT_EQ(watchedFrees, 1);
    EXPECT_EQ(image.pixels, buffer.data());
    EXPECT_FALSE(image.ownsPixels);
  }
  EXPECT_EQ(watchedFrees, 1);  // not again when the image goes
  watchedBlock = nullptr;
}

TEST_F(FrameImageTest, BorrowingImageNeverReleasesTheCallersBuffer) {
  auto* buffer = static_cast<std::uint32_t*>(std::malloc(16));
  watchedBlock = buffer;
  watchedFrees = 0;
  {
    FrameImage image(buffer, 2, 2);
    EXPECT_TRUE(image.fillRect(0, 0, -1, -1, 1));
    BitmapInfo256 info = dib(1, 1, 24);
    const std::vector<std::uint8_t> bits(4, 0);
    ASSERT_TRUE(image.loadFromDib(&info.header, bits.data(), false));  // fresh storage
    EXPECT_NE(image.pixels, buffer);
    EXPECT_TRUE(image.ownsPixels);
  }
  EXPECT_EQ(watchedFrees, 0);
  EXPECT_EQ(buffer[3], 1u);
  watchedBlock = nullptr;
  std::free(buffer);
}

TEST_F(FrameImageTest, OwningImageReleasesItsPixelsAndAuxBufferWhenDestroyed) {
  {
    FrameImage image(3, 3);
    image.auxBuffer = std::malloc(8);
    watchedBlock = image.pixels;
    watchedAux = image.auxBuffer;
    watchedFrees = 0;
    auxFrees = 0;
  }
  EXPECT_EQ(watchedFrees, 1);
  EXPECT_EQ(auxFrees, 1);
  watchedBlock = nullptr;
  watchedAux = nullptr;
}
#endif

TEST_F(FrameImageTest, CopyRectWithNegativeSourceOffsetShiftsAndShrinks) {
  std::vector<std::uint32_t> sourcePixels(16);
  for (int i = 0; i < 16; ++i) sourcePixels[i] = static_cast<std::uint32_t>(i + 1);
  FrameImage source(sourcePixels.data(), 4, 4);
  std::vector<std::uint32_t> targetPixels(16, 0);
  FrameImage target(targetPixels.data(), 4, 4);
  ASSERT_TRUE(target.copyRect(0, 0, source, -1, -2, 3, 3));
  // Source (0, 0) lands at (1, 2); only 2 x 1 pixels remain.
  EXPECT_EQ(targetPixels[2 * 4 + 1], 1u);
  EXPECT_EQ(targetPixels[2 * 4 + 2], 2u);
  EXPECT_EQ(targetPixels[2 * 4 + 3], 0u);
  EXPECT_EQ(targetPixels[3 * 4 + 1], 0u);
  EXPECT_EQ(std::count(targetPixels.begin(), targetPixels.end(), 0u), 14);
}

TEST_F(FrameImageTest, CopyRectOfWholeSourceIsClippedToTheTarget) {
  std::vector<std::uint32_t> sourcePixels(16, 9);
  FrameImage source(sourcePixels.data(), 4, 4);
  std::vector<std::uint32_t> targetPixels(9, 0);
  FrameImage target(targetPixels.data(), 3, 3);
  EXPECT_TRUE(target.copyRect(1, 1, source, 0, 0, -1, -1));
  EXPECT_EQ(std::count(targetPixels.begin(), targetPixels.end(), 9u), 4);
  EXPECT_EQ(targetPixels[0], 0u);
  EXPECT_FALSE(target.copyRect(3, 0, source, 0, 0, -1, -1));
  EXPECT_FALSE(target.copyRect(0, 0, source, 4, 0, -1, -1));
}

TEST_F(FrameImageTest, FillRectClipsAndReportsWhetherItWrote) {
  std::vector<std::uint32_t> pixels(12, 1);
  FrameImage image(pixels.data(), 4, 3);
  EXPECT_TRUE(image.fillRect(0, 0, -1, -1, 0));
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0u), 12);
  EXPECT_TRUE(image.fillRect(-1, 2, 3, 5, 7));  // x -1 shrinks w to 2; rows cut at 3
  EXPECT_EQ(pixels[8], 7u);
  EXPECT_EQ(pixels[9], 7u);
  EXPECT_EQ(pixels[10], 0u);
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 7u), 2);
  EXPECT_FALSE(image.fillRect(4, 0, 2, 2, 5));
  EXPECT_FALSE(image.fillRect(-3, 0, 3, 2, 5));
}

}  // namespace
}  // namespace vantrel
