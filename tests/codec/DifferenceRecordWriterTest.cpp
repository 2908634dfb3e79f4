#include "codec/DifferenceRecordWriter.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace vantrel {
namespace {

class DifferenceRecordWriterTest : public ::testing::Test {
 protected:
  DifferenceRecordWriterTest() : out(70000, 0xEE) { pool.reserveForBlocks(1000); }

  // Appends a block of level with code and operands to the writing list.
  void add(int level, int code, std::initializer_list<int> operands = {}) {
    const std::int32_t index = pool.allocate(1);
    BlockRecord& block = pool[index];
    block.level = static_cast<std::uint8_t>(level);
    block.code = static_cast<std::uint8_t>(code);
    block.codeLength = static_cast<std::uint8_t>(1 + operands.size());
    int k = 0;
    for (int operand : operands) block.operands[k++] = static_cast<std::uint8_t>(operand);
    list.push_back(index);
  }

  std::vector<std::uint8_t> write() {
    const int length =
        DifferenceRecordWriter::writeCodes(out.data(), out.size(), list, pool);
    EXPECT_GE(length, 0);
    return std::vector<std::uint8_t>(out.begin(), out.begin() + length);
  }

  BlockPool pool;
  std::vector<std::int32_t> list;
  std::vector<std::uint8_t> out;
};

TEST_F(DifferenceRecordWriterTest, FourHundredKeepsBecomeTwoRuns) {
  for (int i = 0; i < 400; ++i) add(2, 244);
  const std::vector<std::uint8_t> expected = {
      243, 251, 244,  // 255 blocks: counts of 260 and more are cut to 255
      243, 141, 244,  // the remaining 145 blocks
  };
  EXPECT_EQ(write(), expected);
}

TEST_F(DifferenceRecordWriterTest, RunsStartAtFourBlocks) {
  for (int i = 0; i < 3; ++i) add(2, 112);
  add(2, 244);
  for (int i = 0; i < 4; ++i) add(2, 113);
  const std::vector<std::uint8_t> expected = {
      112, 112, 112,  // three copies: no run
      244,            // keep
      243, 0,   113,  // four copies: a run of 0 + 4
  };
  EXPECT_EQ(write(), expected);
}

TEST_F(DifferenceRecordWriterTest, RunCountsUpTo259AndCutsLongerOnesTo255) {
  for (int i = 0; i < 259; ++i) add(2, 244);
  EXPECT_EQ(write(), (std::vector<std::uint8_t>{243, 255, 244}));
  list.clear();
  for (int i = 0; i < 262; ++i) add(2, 244);
  // 262 blocks: the first run covers 255, the other 7 a second run.
  EXPECT_EQ(write(), (std::vector<std::uint8_t>{243, 251, 244, 243, 3, 244}));
}

TEST_F(DifferenceRecordWriterTest, RunsCountBlocksOfOneSizeAcrossOtherSizes) {
  add(2, 225);       // 8 x 8 split
  add(1, 254, {5});  //   quadrant: fill 5
  add(1, 254, {6});  //   quadrant: fill 6
  add(1, 254, {7});  //   quadrant: fill 7
  add(1, 254, {8});  //   quadrant: fill 8
  add(2, 225);       // 8 x 8 split
  add(1, 246);       //   quadrant: short fill
  add(1, 246);
  add(1, 246);
  add(1, 246);
  add(2, 225);             // 8 x 8 split
  add(1, 245, {1, 2, 3});  //   quadrant: pattern
  add(1, 244);
  add(1, 244);
  add(1, 244);
  add(2, 225);  // 8 x 8 split: the fourth 225
  add(1, 244);
  const std::vector<std::uint8_t> expected = {
      243, 0, 225,     // four 8 x 8 splits in a row among the 8 x 8 blocks
      243, 0, 254,     // four quadrant fills, each with its own colour byte:
      5,   6, 7,   8,  //   the operands
      243, 0, 246,     // four short fills
      245, 1, 2,   3,  // a pattern, operands written out
      243, 0, 244,     // four keeps (three here and one under the last split)
  };
  EXPECT_EQ(write(), expected);
}

TEST_F(DifferenceRecordWriterTest, RawBlocksWriteTheirFourSamples) {
  add(0, 255, {1, 2, 3, 4});
  add(0, 255, {5, 6, 7, 8});
  EXPECT_EQ(write(), (std::vector<std::uint8_t>{255, 1, 2, 3, 4, 255, 5, 6, 7, 8}));
}

TEST_F(DifferenceRecordWriterTest, NeverWritesPastItsCapacity) {
  // Ten raw blocks: a run (3 bytes) and 10 x 4 samples, 43 bytes.
  for (int i = 0; i < 10; ++i) add(0, 255, {1, 2, 3, 4});
  EXPECT_EQ(DifferenceRecordWriter::writeCodes(out.data(), 42, list, pool), -1);
  EXPECT_EQ(out[42], 0xEE);
  EXPECT_EQ(DifferenceRecordWriter::writeCodes(out.data(), 43, list, pool), 43);
}

TEST_F(DifferenceRecordWriterTest, HeaderAndLengthFields) {
  const std::array<std::uint8_t, 8> shortColours = {9, 8, 7, 6, 5, 4, 3, 2};
  DifferenceRecordWriter::writeHeader(out.data(), shortColours, true);
  out[24] = 244;
  const int length = DifferenceRecordWriter::finishRecord(out.data(), 25, true);
  EXPECT_EQ(length, 26);
  const std::vector<std::uint8_t> expected = {
      0x00, 0x02,                          // kind 2
      0x01,                                // one 256-byte unit
      0x01,                                // padding flag
      0,    0,    0,    0,    0, 0, 0, 0,  // reserved
      9,    8,    7,    6,    5, 4, 3, 2,  // short fill colours
      0x00, 0x00, 0x00, 0x18,              // code stream at 24
      244,                                 // code
      0x00,                                // padding byte
  };
  EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 26), expected);
  EXPECT_EQ(DifferenceRecordWriter::finishRecord(out.data(), 513, false), 513);
  EXPECT_EQ(out[2], 3);
}

}  // namespace
}  // namespace vantrel
