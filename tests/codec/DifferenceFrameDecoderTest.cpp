#include "codec/DifferenceFrameDecoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "codec/CodecTables.h"

namespace vantrel {
namespace {

// A 16 x 16 picture: four 8 x 8 blocks, at offsets 0, 8, 128 and 136.
constexpr int kWidth = 16;
constexpr int kHeight = 16;
constexpr int kSize = kWidth * kHeight;
constexpr std::uint8_t kOld = 7;  // every target sample before decoding

class DifferenceFrameDecoderTest : public ::testing::Test {
 protected:
  DifferenceFrameDecoderTest() : target(kSize, kOld), reference(kSize) {
    for (int i = 0; i < kSize; ++i) reference[i] = static_cast<std::uint8_t>(i % 251);
  }

  // A record: the 24-byte header with short fill colours 100 to 107, then codes.
  static std::vector<std::uint8_t> record(std::initializer_list<int> codes) {
    std::vector<std::uint8_t> bytes = {
        0x00, 0x02,              // frame kind 2
        0x00,                    // length units (not checked by this decoder)
        0x00,                    // padding flag
        0x00, 0x00, 0x00, 0x00,  // reserved
        0x00, 0x00, 0x00, 0x00,  // reserved
        100,  101,  102,  103,   // short fill colours for codes 246 to 249
        104,  105,  106,  107,   // short fill colours for codes 250 to 253
        0x00, 0x00, 0x00, 0x18,  // code stream offset 24
    };
    for (int code : codes) bytes.push_back(static_cast<std::uint8_t>(code));
    return bytes;
  }

  DecodeStatus decode(const std::vector<std::uint8_t>& bytes) {
    return decoder.decodeDifferenceFrame(bytes.data(), bytes.size(), target.data(),
                                         reference.data());
  }

  std::uint8_t at(int x, int y) const { return target[y * kWidth + x]; }
  std::uint8_t ref(int x, int y) const { return reference[y * kWidth + x]; }

  // True when every sample of the side x side block at (x0, y0) equals value.
  bool blockIs(int x0, int y0, int side, int value) const {
    for (int y = y0; y < y0 + side; ++y) {
      for (int x = x0; x < x0 + side; ++x) {
        if (at(x, y) != value) return false;
      }
    }
    return true;
  }

  DifferenceFrameDecoder decoder{kWidth, kHeight};
  std::vector<std::uint8_t> target;
  std::vector<std::uint8_t> reference;
};

TEST_F(DifferenceFrameDecoderTest, KeepCodesLeaveTheOlderPicture) {
  const auto bytes = record({
      244,  // block 0: keep
      241,  // block 1: keep
      242,  // block 2: keep
      244,  // block 3: keep
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  EXPECT_EQ(decoder.streamEnd(), bytes.size());
  EXPECT_EQ(target, std::vector<std::uint8_t>(kSize, kOld));
}

TEST_F(DifferenceFrameDecoderTest, DisplacementZeroCopiesThePreviousPictureUnlikeKeep) {
  const auto bytes = record({
      112,  // block 0: copy at (0, 0)
      244,  // block 1: keep
      244,  // block 2: keep
      112,  // block 3: copy at (0, 0)
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  EXPECT_EQ(at(0, 0), ref(0, 0));
  EXPECT_EQ(at(7, 7), ref(7, 7));
  EXPECT_EQ(at(8, 0), kOld);
  EXPECT_EQ(at(15, 15), ref(15, 15));
}

TEST_F(DifferenceFrameDecoderTest, CopyReadsTheDisplacedBlockAndWrapsSideways) {
  const auto bytes = record({
      244,  // block 0: keep
      110,  // block 1 at (8, 0): copy at (-2, 0)
      96,   // block 2 at (0, 8): copy at (-1, -1), each row starts in the row above
      85,   // block 3 at (8, 8): copy at (2, -2)
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  EXPECT_EQ(at(8, 0), ref(6, 0));
  EXPECT_EQ(at(15, 7), ref(13, 7));
  // Column -1 of row 7 is the last sample of row 6.
  EXPECT_EQ(at(0, 8), ref(15, 6));
  EXPECT_EQ(at(1, 8), ref(0, 7));
  EXPECT_EQ(at(0, 15), ref(15, 13));
  EXPECT_EQ(at(8, 8), ref(10, 6));
  EXPECT_EQ(at(13, 15), ref(15, 13));
}

TEST_F(DifferenceFrameDecoderTest, FillCodesUseTheOperandOrTheShortColours) {
  const auto bytes = record({
      254, 9,  // block 0: fill with colour 9
      246,     // block 1: short colour 0 (100)
      253,     // block 2: short colour 7 (107)
      250,     // block 3: short colour 4 (104)
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  EXPECT_TRUE(blockIs(0, 0, 8, 9));
  EXPECT_TRUE(blockIs(8, 0, 8, 100));
  EXPECT_TRUE(blockIs(0, 8, 8, 107));
  EXPECT_TRUE(blockIs(8, 8, 8, 104));
}

TEST_F(DifferenceFrameDecoderTest, PatternPaintsSetBitsInColourOne) {
  const auto bytes = record({
      245, 0, 20, 30,  // block 0: 8 x 8 pattern 0 (0x0000000080808000), colours 20 and 30
      244,             // block 1: keep
      244,             // block 2: keep
      244,             // block 3: keep
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  // Bits 15, 23 and 31 are set: column 7 of rows 1 to 3.
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool set = x == 7 && y >= 1 && y <= 3;
      EXPECT_EQ(at(x, y), set ? 30 : 20) << x << "," << y;
    }
  }
}

TEST_F(DifferenceFrameDecoderTest, SplitGivesEachQuadrantItsOwnCodeInClockwiseOrder) {
  const auto bytes = record({
      225,           // block 0: split, no quadrant pre-split
      254, 1,        //   quadrant 0 (top-left): fill 1
      246,           //   quadrant 1 (top-right): short colour 100
      245, 1, 2, 3,  //   quadrant 2 (bottom-right): 4 x 4 pattern 1 (0x00FF)
      112,           //   quadrant 3 (bottom-left): copy at (0, 0)
      244,           // block 1: keep
      244,           // block 2: keep
      244,           // block 3: keep
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  EXPECT_EQ(decoder.streamEnd(), bytes.size());
  EXPECT_TRUE(blockIs(0, 0, 4, 1));
  EXPECT_TRUE(blockIs(4, 0, 4, 100));
  EXPECT_TRUE(blockIs(4, 4, 4, 2) == false);
  EXPECT_EQ(at(4, 4), 3);  // rows 0 and 1 of pattern 0x00FF are colour1
  EXPECT_EQ(at(7, 5), 3);
  EXPECT_EQ(at(4, 6), 2);
  EXPECT_EQ(at(7, 7), 2);
  EXPECT_EQ(at(0, 4), ref(0, 4));
  EXPECT_EQ(at(3, 7), ref(3, 7));
}

TEST_F(DifferenceFrameDecoderTest, SplitBitsSend2x2BlocksWithoutAQuadrantCode) {
  const auto bytes = record({
      227,                  // block 0: split, bit 1: quadrant 1 goes straight to 2 x 2
      244,                  //   quadrant 0: keep
      254, 11,              //     quadrant 1, 2 x 2 top-left: fill 11
      247,                  //     quadrant 1, 2 x 2 top-right: short colour 101
      255, 40, 41, 42, 43,  //     quadrant 1, 2 x 2 bottom-right: raw TL, TR, BL, BR
      245,                  //     quadrant 1, 2 x 2 bottom-left: keep, no operands
      248,                  //   quadrant 2: short colour 102
      252,                  //   quadrant 3: short colour 106
      244,                  // block 1: keep
      244,                  // block 2: keep
      244,                  // block 3: keep
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  EXPECT_EQ(decoder.streamEnd(), bytes.size());
  EXPECT_TRUE(blockIs(0, 0, 4, kOld));
  EXPECT_TRUE(blockIs(4, 0, 2, 11));
  EXPECT_TRUE(blockIs(6, 0, 2, 101));
  EXPECT_EQ(at(6, 2), 40);
  EXPECT_EQ(at(7, 2), 41);
  EXPECT_EQ(at(6, 3), 42);
  EXPECT_EQ(at(7, 3), 43);
  EXPECT_TRUE(blockIs(4, 2, 2, kOld));
  EXPECT_TRUE(blockIs(4, 4, 4, 102));
  EXPECT_TRUE(blockIs(0, 4, 4, 106));
}

TEST_F(DifferenceFrameDecoderTest, Code240SplitsEveryQuadrantAndReadsNoQuadrantCode) {
  std::vector<int> codes = {240};  // block 0: all four quadrants in 2 x 2 blocks
  for (int i = 0; i < 16; ++i) {
    codes.push_back(254);     // a 2 x 2 fill
    codes.push_back(50 + i);  // its colour
  }
  codes.insert(codes.end(), {244, 244, 244});  // blocks 1 to 3: keep
  std::vector<std::uint8_t> bytes = record({});
  for (int code : codes) bytes.push_back(static_cast<std::uint8_t>(code));
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  // Quadrant order TL, TR, BR, BL; 2 x 2 blocks in the same order inside each.
  EXPECT_TRUE(blockIs(0, 0, 2, 50));
  EXPECT_TRUE(blockIs(2, 0, 2, 51));
  EXPECT_TRUE(blockIs(2, 2, 2, 52));
  EXPECT_TRUE(blockIs(0, 2, 2, 53));
  EXPECT_TRUE(blockIs(4, 0, 2, 54));
  EXPECT_TRUE(blockIs(6, 6, 2, 60));  // quadrant 2, third block (bottom-right)
  EXPECT_TRUE(blockIs(0, 4, 2, 62));  // quadrant 3, first block
}

TEST_F(DifferenceFrameDecoderTest, Code255SplitsInto4x4AndThen2x2) {
  const auto bytes = record({
      255,                 // block 0: split, every quadrant reads a code
      255,                 //   quadrant 0: split into 2 x 2
      246, 247, 248, 249,  //     four short fills
      244,                 //   quadrant 1: keep
      230,                 //   quadrant 2: 225..240 means keep at 4 x 4
      254, 5,              //   quadrant 3: fill 5
      244, 244, 244,       // blocks 1 to 3: keep
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  EXPECT_EQ(decoder.streamEnd(), bytes.size());
  EXPECT_TRUE(blockIs(0, 0, 2, 100));
  EXPECT_TRUE(blockIs(2, 0, 2, 101));
  EXPECT_TRUE(blockIs(2, 2, 2, 102));
  EXPECT_TRUE(blockIs(0, 2, 2, 103));
  EXPECT_TRUE(blockIs(4, 0, 4, kOld));
  EXPECT_TRUE(blockIs(4, 4, 4, kOld));
  EXPECT_TRUE(blockIs(0, 4, 4, 5));
}

TEST_F(DifferenceFrameDecoderTest, RunGivesItsCodeToFourBlocksWithoutFurtherReads) {
  const auto bytes = record({
      243, 0, 254,  // run: the next 0 + 4 blocks of 8 x 8 take code 254
      10,           // block 0: its colour operand
      11,           // block 1: its colour operand
      12,           // block 2: its colour operand
      13,           // block 3: its colour operand
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  EXPECT_EQ(decoder.streamEnd(), bytes.size());
  EXPECT_TRUE(blockIs(0, 0, 8, 10));
  EXPECT_TRUE(blockIs(8, 0, 8, 11));
  EXPECT_TRUE(blockIs(0, 8, 8, 12));
  EXPECT_TRUE(blockIs(8, 8, 8, 13));
}

TEST_F(DifferenceFrameDecoderTest, RunsAreCountedPerBlockSize) {
  const auto bytes = record({
      243, 0, 225,  // run of 4 at 8 x 8: every block splits
      243, 0, 246,  //   block 0, quadrant 0: run of 4 at 4 x 4: short colour 100
                    //   block 0, quadrants 1 to 3: from the run
      243, 8, 247,  //   block 1, quadrant 0: run of 12 at 4 x 4: short colour 101
                    //   every later quadrant, blocks 1 to 3: from the run
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  EXPECT_EQ(decoder.streamEnd(), bytes.size());
  EXPECT_TRUE(blockIs(0, 0, 8, 100));
  EXPECT_TRUE(blockIs(8, 0, 8, 101));
  EXPECT_TRUE(blockIs(8, 8, 8, 101));
}

TEST_F(DifferenceFrameDecoderTest, PatternCodeAt2x2IsAKeepWithoutOperands) {
  const auto bytes = record({
      228,                 // block 0: split, bits 0 and 1 (quadrants 0 and 1 in 2 x 2)
      245, 245, 245, 245,  //   quadrant 0: four 2 x 2 keeps
      243, 0, 245,         //   quadrant 1: a run of four 2 x 2 keeps
      246,                 //   quadrant 2: short colour 100
      246,                 //   quadrant 3: short colour 100
      244, 244, 244,       // blocks 1 to 3: keep
  });
  ASSERT_EQ(decode(bytes), DecodeStatus::Ok);
  EXPECT_EQ(decoder.streamEnd(), bytes.size());
  EXPECT_TRUE(blockIs(0, 0, 8, kOld) == false);
  EXPECT_TRUE(blockIs(0, 0, 4, kOld));
  EXPECT_TRUE(blockIs(4, 0, 4, kOld));
  EXPECT_TRUE(blockIs(4, 4, 4, 100));
}

TEST_F(DifferenceFrameDecoderTest, RecordsEndingInsideACodeAreTruncated) {
  const auto whole = record({
      225, 254, 1, 246, 245, 1, 2, 3, 112,  // block 0 split as above
      243, 0, 254, 4, 5, 6,                 // a run of four fills for three blocks
  });
  // The run covers blocks 1 to 3 and one block more than exists.
  EXPECT_EQ(decode(whole), DecodeStatus::RunPastLastBlock);
  const auto good = record({225, 254, 1, 246, 245, 1, 2, 3, 112, 254, 4, 254, 5, 254, 6});
  ASSERT_EQ(decode(good), DecodeStatus::Ok);
  for (std::size_t length = 0; length < good.size(); ++length) {
    // An exactly sized copy, so a read past its end is visible to a sanitizer.
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + length);
    EXPECT_EQ(decoder.decodeDifferenceFrame(cut.data(), cut.size(), target.data(),
                                            reference.data()),
              DecodeStatus::Truncated)
        << length;
  }
}

TEST_F(DifferenceFrameDecoderTest, CopiesFromOutsideTheReferenceAreRejected) {
  // Displacement 0 is (0, -16): above the picture for block 0.
  EXPECT_EQ(decode(record({0, 244, 244, 244})), DecodeStatus::CopyOutsidePicture);
  // (-16, 0) from block 0 starts before the first sample.
  EXPECT_EQ(decode(record({102, 244, 244, 244})), DecodeStatus::CopyOutsidePicture);
  // (0, 1) from block 3 would read one row past the end.
  EXPECT_EQ(decode(record({244, 244, 244, 127})), DecodeStatus::CopyOutsidePicture);
  // (1, 0) from block 3 wraps sideways, but its last sample is past the end.
  EXPECT_EQ(decode(record({244, 244, 244, 113})), DecodeStatus::CopyOutsidePicture);
  // (1, 0) from block 2 wraps into the next row, inside the buffer: allowed.
  EXPECT_EQ(decode(record({244, 244, 113, 244})), DecodeStatus::Ok);
}

TEST_F(DifferenceFrameDecoderTest, RunOfTheRunCodeIsRejected) {
  EXPECT_EQ(decode(record({243, 0, 243, 244})), DecodeStatus::BadRepeat);
}

TEST_F(DifferenceFrameDecoderTest, RandomBytesNeverReachOutsideTheBuffers) {
  std::uint32_t state = 12345;
  int decodedWell = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<std::uint8_t> bytes = record({});
    const int extra = static_cast<int>(state % 60);
    for (int i = 0; i < extra; ++i) {
      state = state * 1664525u + 1013904223u;
      bytes.push_back(static_cast<std::uint8_t>(state >> 24));
    }
    state = state * 1664525u + 1013904223u;
    if (decode(bytes) == DecodeStatus::Ok) ++decodedWell;
    EXPECT_LE(decoder.streamEnd(), bytes.size());
  }
  EXPECT_LT(decodedWell, 3000);
}

TEST_F(DifferenceFrameDecoderTest, FrameSizesMustBeMultiplesOfEight) {
  EXPECT_TRUE(DifferenceFrameDecoder::sizeIsValid(160, 160));
  EXPECT_TRUE(DifferenceFrameDecoder::sizeIsValid(216, 576));
  EXPECT_FALSE(DifferenceFrameDecoder::sizeIsValid(0, 160));
  EXPECT_FALSE(DifferenceFrameDecoder::sizeIsValid(162, 160));
  EXPECT_FALSE(DifferenceFrameDecoder::sizeIsValid(160, -8));
  DifferenceFrameDecoder odd(12, 16);
  const auto bytes = record({244});
  EXPECT_EQ(odd.decodeDifferenceFrame(bytes.data(), bytes.size(), target.data(),
                                      reference.data()),
            DecodeStatus::BadFrameSize);
}

}  // namespace
}  // namespace vantrel
