#include "codec/CodecTables.h"

#include <gtest/gtest.h>

#include <bit>
#include <set>
#include <utility>

#include "codec/DisplacementTable.h"

namespace vantrel {
namespace {

class CodecTablesTest : public ::testing::Test {};

TEST_F(CodecTablesTest, PatternTablesHoldTheStoredEntries) {
  ASSERT_EQ(kPattern4Table.size(), 256u);
  ASSERT_EQ(kPattern8Table.size(), 256u);
  EXPECT_EQ(kPattern4Table[0], 0x0008);
  EXPECT_EQ(kPattern4Table[15], 0x0080);
  EXPECT_EQ(kPattern4Table[112], 0x8FFF);
  EXPECT_EQ(kPattern4Table[131], 0xFFF0);
  EXPECT_EQ(kPattern4Table[252], 0xA94F);
  EXPECT_EQ(kPattern4Table[255], 0x696E);
  EXPECT_EQ(kPattern8Table[0], 0x0000000080808000ULL);
  EXPECT_EQ(kPattern8Table[112], 0x008080C0E0F0F8FCULL);
  EXPECT_EQ(kPattern8Table[132], 0x7F7F7F7F7F7F7F7FULL);
  EXPECT_EQ(kPattern8Table[253], 0x55AA55AA55AA55AAULL);
  EXPECT_EQ(kPattern8Table[255], 0xFFFFFF0000FFFFFFULL);
}

TEST_F(CodecTablesTest, EveryPatternHasSamplesOfBothColours) {
  for (int i = 0; i < kPatternCount; ++i) {
    const int ones4 = std::popcount(static_cast<unsigned>(kPattern4Table[i]));
    const int ones8 = std::popcount(kPattern8Table[i]);
    EXPECT_GT(ones4, 0) << i;
    EXPECT_LT(ones4, 16) << i;
    EXPECT_GT(ones8, 0) << i;
    EXPECT_LT(ones8, 64) << i;
  }
}

TEST_F(CodecTablesTest, ErrorWeightsFavourCheapCodes) {
  EXPECT_EQ(kErrorWeights[kLevel8x8].keep, 250);
  EXPECT_EQ(kErrorWeights[kLevel8x8].fill, 1960);
  EXPECT_EQ(kErrorWeights[kLevel8x8].patternTwoColours, 437);
  EXPECT_EQ(kErrorWeights[kLevel4x4].fill, 1225);
  EXPECT_EQ(kErrorWeights[kLevel4x4].patternTwoColours, 131);
  EXPECT_EQ(kErrorWeights[kLevel2x2].keep, 75);
  EXPECT_EQ(kErrorWeights[kLevel2x2].fill, 131);
  EXPECT_EQ(kErrorWeights[kLevel2x2].copy, 75);
}

TEST_F(CodecTablesTest, DisplacementListHas225DistinctEntriesWithZeroAt112) {
  ASSERT_EQ(kDisplacementList.size(), 225u);
  EXPECT_EQ(kDisplacementList[112].dx, 0);
  EXPECT_EQ(kDisplacementList[112].dy, 0);
  EXPECT_EQ(kDisplacementList[0].dx, 0);
  EXPECT_EQ(kDisplacementList[0].dy, -16);
  EXPECT_EQ(kDisplacementList[74].dx, 3);  // the one entry out of row order
  EXPECT_EQ(kDisplacementList[74].dy, -5);
  EXPECT_EQ(kDisplacementList[110].dx, -2);
  EXPECT_EQ(kDisplacementList[110].dy, 0);
  EXPECT_EQ(kDisplacementList[196].dx, 14);
  EXPECT_EQ(kDisplacementList[196].dy, 7);
  EXPECT_EQ(kDisplacementList[224].dx, -3);
  EXPECT_EQ(kDisplacementList[224].dy, 16);
  std::set<std::pair<int, int>> seen;
  for (const Displacement& d : kDisplacementList) {
    EXPECT_LE(std::abs(d.dx), 16);
    EXPECT_LE(std::abs(d.dy), 16);
    seen.insert({d.dx, d.dy});
  }
  EXPECT_EQ(seen.size(), 225u);
}

TEST_F(CodecTablesTest, DisplacementsSurviveTheirStored160ColumnForm) {
  for (const Displacement& d : kDisplacementList) {
    const Displacement back = DisplacementTable::fromOffsetIn160Columns(
        DisplacementTable::offsetIn160Columns(d));
    EXPECT_EQ(back.dx, d.dx);
    EXPECT_EQ(back.dy, d.dy);
  }
  // (-3, 16) is stored as 2557 and (3, -16) as -2557.
  EXPECT_EQ(DisplacementTable::offsetIn160Columns({-3, 16}), 2557);
  EXPECT_EQ(DisplacementTable::fromOffsetIn160Columns(-2557).dx, 3);
  EXPECT_EQ(DisplacementTable::fromOffsetIn160Columns(-2557).dy, -16);
}

TEST_F(CodecTablesTest, OffsetsFollowTheFrameWidthAndOddMovesCostMore) {
  DisplacementTable table;
  table.build(320);
  EXPECT_EQ(table.offset(112), 0);
  EXPECT_EQ(table.offset(0), -16 * 320);
  EXPECT_EQ(table.offset(224), 16 * 320 - 3);
  EXPECT_EQ(table.cost(112), 0);
  EXPECT_EQ(table.cost(110), 2);      // (-2, 0)
  EXPECT_EQ(table.cost(111), 1 + 8);  // (-1, 0)
  EXPECT_EQ(table.cost(1), 16 + 8);   // (3, -16)
  EXPECT_EQ(table.cost(196), 14);     // (14, 7)
  table.build(216);
  EXPECT_EQ(table.offset(97), -216);  // (0, -1)
  EXPECT_EQ(table.offset(127), 216);  // (0, 1)
}

}  // namespace
}  // namespace vantrel
