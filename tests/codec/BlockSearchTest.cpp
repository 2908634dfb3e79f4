#include "codec/BlockSearch.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "codec/CodecTables.h"
#include "codec/CodecTestData.h"

namespace vantrel {
namespace {

class BlockSearchTest : public ::testing::Test {
 protected:
  void start(int frameWidth, int frameHeight, bool fineGrid = true) {
    width = frameWidth;
    height = frameHeight;
    palette = testing::cubePalette();
    colours.build(palette.data(), fineGrid);
    displacements.build(width);
    search = std::make_unique<BlockSearch>(colours, displacements, width, height);
  }

  void use(const std::vector<std::uint8_t>& newFrame,
           const std::vector<std::uint8_t>& ref) {
    frame = newFrame;
    reference = ref;
    search->setPictures(frame.data(), reference.data());
  }

  // The pattern search without early abandon, straight from its definition.
  BlockSearch::Pattern plainPatternSearch(int offset, int side) const {
    BlockSearch::Pattern best;
    best.error = std::numeric_limits<std::int64_t>::max();
    for (int index = 0; index < 256; ++index) {
      const std::uint64_t bits =
          side == 8 ? kPattern8Table[index] : kPattern4Table[index];
      long long sum[2][3] = {};
      int count[2] = {};
      for (int i = 0; i < side * side; ++i) {
        const int group = static_cast<int>((bits >> i) & 1);
        const int sample = frame[offset + (i / side) * width + i % side];
        ++count[group];
        sum[group][0] += colours.red(sample);
        sum[group][1] += colours.green(sample);
        sum[group][2] += colours.blue(sample);
      }
      int colour[2];
      for (int g = 0; g < 2; ++g) {
        int average[3];
        for (int k = 0; k < 3; ++k) {
          average[k] = static_cast<int>((sum[g][k] + count[g] / 2) / count[g]);
        }
        colour[g] =
            colours.nearestInCell(colours.cellOf(average[0]), colours.cellOf(average[1]),
                                  colours.cellOf(average[2]));
      }
      std::int64_t error = 0;
      for (int i = 0; i < side * side; ++i) {
        const int sample = frame[offset + (i / side) * width + i % side];
        error += colours.distance(colour[(bits >> i) & 1], sample);
      }
      if (error < best.error)
        best = BlockSearch::Pattern{index, colour[0], colour[1], error};
    }
    return best;
  }

  int width = 0;
  int height = 0;
  std::array<std::uint32_t, 256> palette{};
  CodecPalette colours;
  DisplacementTable displacements;
  std::unique_ptr<BlockSearch> search;
  std::vector<std::uint8_t> frame;
  std::vector<std::uint8_t> reference;
};

// Cube entry for channel steps r, g, b (each 0 to 5, 51 per step).
int cube(int r, int g, int b) { return 1 + r * 36 + g * 6 + b; }

TEST_F(BlockSearchTest, UniformBlockFillsWithItsOwnValue) {
  start(16, 16);
  use(std::vector<std::uint8_t>(256, 255), std::vector<std::uint8_t>(256, 1));
  const BlockSearch::Fill fill = search->findFillColour(kLevel8x8, 0);
  EXPECT_EQ(fill.colour, 255);  // even an entry the colour map never yields
  EXPECT_EQ(fill.error, 0);
}

TEST_F(BlockSearchTest, MixedBlockFillsWithTheColourNearestItsRoundedAverage) {
  start(16, 16);
  // Half pure red, half black in a 2 x 2 block: sums 510, 0, 0.
  std::vector<std::uint8_t> f(256, static_cast<std::uint8_t>(cube(0, 0, 0)));
  f[0] = f[1] = static_cast<std::uint8_t>(cube(5, 0, 0));
  use(f, f);
  // Fine grid: (510 + 1) >> 5 = 15, centre 124: nearest red level 102 or 153.
  const BlockSearch::Fill fill = search->findFillColour(kLevel2x2, 0);
  EXPECT_EQ(fill.colour, colours.nearestInCell(15, 0, 0));
  EXPECT_EQ(fill.error, 2 * colours.distance(fill.colour, cube(5, 0, 0)) +
                            2 * colours.distance(fill.colour, cube(0, 0, 0)));
  start(16, 16, false);
  use(f, f);
  // Coarse grid: (510 + 2) >> 6 = 8.
  EXPECT_EQ(search->findFillColour(kLevel2x2, 0).colour, colours.nearestInCell(8, 0, 0));
}

TEST_F(BlockSearchTest, CopyFindsTheMovedBlock) {
  start(64, 64);
  use(testing::texturedFrame(64, 64, 3, -2), testing::texturedFrame(64, 64, 0, 0));
  // Content moved 3 right and 2 up: the source lies 3 left and 2 down.
  const BlockSearch::Copy copy = search->findCopy(kLevel8x8, 24 * 64 + 24);
  ASSERT_GE(copy.displacement, 0);
  EXPECT_EQ(kDisplacementList[copy.displacement].dx, -3);
  EXPECT_EQ(kDisplacementList[copy.displacement].dy, 2);
  // Score 0 x 16 + cost (3 + 8), shifted down by 4.
  EXPECT_EQ(copy.error, 0);
}

TEST_F(BlockSearchTest, CopyOfAFlatPictureStaysInPlace) {
  start(32, 32);
  use(std::vector<std::uint8_t>(1024, 5), std::vector<std::uint8_t>(1024, 9));
  const BlockSearch::Copy copy = search->findCopy(kLevel4x4, 12 * 32 + 12);
  EXPECT_EQ(copy.displacement, kZeroDisplacement);  // every score equal but the cost
  EXPECT_EQ(copy.error, 16 * colours.distance(5, 9));
}

TEST_F(BlockSearchTest, CopyFromBelowTheBottomOfATallFrameIsNeverChosen) {
  start(216, 384);
  // The picture moved up one row: the bottom blocks would match best one row
  // further down, past the end of the picture.
  use(testing::texturedFrame(216, 384, 0, -1), testing::texturedFrame(216, 384, 0, 0));
  for (int level : {kLevel8x8, kLevel4x4, kLevel2x2}) {
    const int side = blockSide(level);
    for (int x = 0; x < 216; x += side) {
      const int offset = (384 - side) * 216 + x;
      const BlockSearch::Copy copy = search->findCopy(level, offset);
      ASSERT_GE(copy.displacement, 0);
      const int source = offset + displacements.offset(copy.displacement);
      EXPECT_GE(source, 0);
      EXPECT_LT(source + (side - 1) * 217, 216 * 384) << x << " level " << level;
    }
  }
}

TEST_F(BlockSearchTest, BlockWithoutAnyUsableSourceHasNoCopy) {
  start(320, 8);
  use(testing::noiseFrame(320, 8, 1), testing::noiseFrame(320, 8, 2));
  // A single row of blocks allows sources starting at sample 0 only.
  EXPECT_EQ(search->findCopy(kLevel8x8, 8).displacement, -1);
  EXPECT_EQ(search->findCopy(kLevel8x8, 0).displacement, kZeroDisplacement);
}

TEST_F(BlockSearchTest, PatternSearchFindsAnExactTwoColourBlock) {
  start(16, 16);
  std::vector<std::uint8_t> f(256, 1);
  const int index = 253;  // 0x55AA55AA55AA55AA: a checkerboard
  const int colour0 = cube(0, 2, 5);
  const int colour1 = cube(4, 1, 0);
  for (int i = 0; i < 64; ++i) {
    f[(i / 8) * 16 + i % 8] = static_cast<std::uint8_t>(
        ((kPattern8Table[index] >> i) & 1) != 0 ? colour1 : colour0);
  }
  use(f, f);
  const BlockSearch::Pattern pattern = search->findPattern8(0);
  EXPECT_EQ(pattern.index, index);
  EXPECT_EQ(pattern.colour0, colour0);
  EXPECT_EQ(pattern.colour1, colour1);
  EXPECT_EQ(pattern.error, 0);
}

TEST_F(BlockSearchTest, AbandoningPatternsEarlyGivesTheSameAnswer) {
  for (bool fine : {true, false}) {
    start(64, 64, fine);
    use(testing::noiseFrame(64, 64, 3), testing::noiseFrame(64, 64, 4));
    for (int offset : {0, 8, 24 * 64 + 40, 56 * 64 + 56}) {
      const BlockSearch::Pattern expected8 = plainPatternSearch(offset, 8);
      const BlockSearch::Pattern got8 = search->findPattern8(offset);
      EXPECT_EQ(got8.index, expected8.index);
      EXPECT_EQ(got8.colour0, expected8.colour0);
      EXPECT_EQ(got8.colour1, expected8.colour1);
      EXPECT_EQ(got8.error, expected8.error);
      const BlockSearch::Pattern expected4 = plainPatternSearch(offset + 4, 4);
      const BlockSearch::Pattern got4 = search->findPattern4(offset + 4);
      EXPECT_EQ(got4.index, expected4.index);
      EXPECT_EQ(got4.colour0, expected4.colour0);
      EXPECT_EQ(got4.colour1, expected4.colour1);
      EXPECT_EQ(got4.error, expected4.error);
    }
  }
}

// The pattern searches skip patterns whose lower bound cannot beat the best so
// far; on every block of several pictures, with and without vectors, they
// must pick what the full search picks.
TEST_F(BlockSearchTest, PrunedPatternSearchPicksTheWinnerOfTheFullSearchEverywhere) {
  struct Picture {
    int width, height;
    bool fine;
    std::vector<std::uint8_t> samples;
  };
  std::vector<Picture> pictures;
  for (bool fine : {true, false}) {
    pictures.push_back({64, 48, fine, testing::movingFrame(64, 48, 3)});
    pictures.push_back({64, 48, fine, testing::noiseFrame(64, 48, 5)});
  }
  pictures.push_back({48, 72, true, testing::texturedFrame(48, 72, 2, -3)});
  // Flat areas with a few samples changed: near-ties between patterns.
  std::vector<std::uint8_t> touched(80 * 40, static_cast<std::uint8_t>(cube(2, 3, 1)));
  testing::TestRandom random(9);
  for (int i = 0; i < 300; ++i) touched[random.below(80 * 40)] = 1 + random.below(254);
  pictures.push_back({80, 40, true, touched});
  for (Picture& p : pictures) {
    for (BlockSearch::Vectors set : {BlockSearch::Vectors::None, BlockSearch::Vectors::Avx2}) {
      start(p.width, p.height, p.fine);
      search->useVectors(set);
      use(p.samples, p.samples);
      for (int side : {8, 4}) {
        for (int y = 0; y + side <= height; y += side) {
          for (int x = 0; x + side <= width; x += side) {
            const int offset = y * width + x;
            const BlockSearch::Pattern want = plainPatternSearch(offset, side);
            const BlockSearch::Pattern got =
                side == 8 ? search->findPattern8(offset) : search->findPattern4(offset);
            ASSERT_EQ(got.index, want.index) << offset << " side " << side;
            ASSERT_EQ(got.colour0, want.colour0) << offset;
            ASSERT_EQ(got.colour1, want.colour1) << offset;
            ASSERT_EQ(got.error, want.error) << offset;
          }
        }
      }
    }
  }
}

// Run once per vector set; a set this processor (or this build) lacks is
// reported as skipped.
class BlockSearchVectorTest : public BlockSearchTest,
                              public ::testing::WithParamInterface<BlockSearch::Vectors> {};

TEST_P(BlockSearchVectorTest, VectorSearchesGiveThePortableAnswersEverywhere) {
  const BlockSearch::Vectors set = GetParam();
  start(8, 8);
  search->useVectors(set);
  if (search->vectors() != set) GTEST_SKIP() << "this processor or build lacks the set";
  struct Case {
    int width, height;
    bool fine;
    std::vector<std::uint8_t> frame, reference;
  };
  std::vector<Case> cases;
  for (bool fine : {true, false}) {
    cases.push_back(
        {64, 48, fine, testing::movingFrame(64, 48, 3), testing::movingFrame(64, 48, 2)});
    cases.push_back(
        {64, 48, fine, testing::noiseFrame(64, 48, 5), testing::noiseFrame(64, 48, 6)});
  }
  // A width of 16n + 8: the vector copy sums drop the lanes past the last block.
  cases.push_back(
      {40, 24, true, testing::noiseFrame(40, 24, 7), testing::movingFrame(40, 24, 1)});
  // Taller than wide, with a moved picture: copies near the bottom edge.
  cases.push_back({32, 72, true, testing::texturedFrame(32, 72, 1, -2),
                   testing::texturedFrame(32, 72, 0, 0)});
  for (Case& c : cases) {
    start(c.width, c.height, c.fine);
    search->useVectors(set);
    ASSERT_EQ(search->vectors(), set);
    BlockSearch portable(colours, displacements, width, height);
    portable.useVectors(BlockSearch::Vectors::None);
    use(c.frame, c.reference);
    portable.setPictures(frame.data(), reference.data());
    for (int level : {kLevel8x8, kLevel4x4, kLevel2x2}) {
      const int side = blockSide(level);
      for (int offset = 0; offset + (side - 1) * width < width * height;
           offset += side) {
        if (offset % width > width - side) continue;
        const BlockSearch::Copy want = portable.findCopy(level, offset);
        const BlockSearch::Copy got = search->findCopy(level, offset);
        ASSERT_EQ(got.displacement, want.displacement) << offset << " level " << level;
        ASSERT_EQ(got.error, want.error) << offset << " level " << level;
        if (side == 2) continue;
        const BlockSearch::Pattern wantPattern =
            side == 8 ? portable.findPattern8(offset) : portable.findPattern4(offset);
        const BlockSearch::Pattern gotPattern =
            side == 8 ? search->findPattern8(offset) : search->findPattern4(offset);
        ASSERT_EQ(gotPattern.index, wantPattern.index) << offset << " side " << side;
        ASSERT_EQ(gotPattern.colour0, wantPattern.colour0) << offset;
        ASSERT_EQ(gotPattern.colour1, wantPattern.colour1) << offset;
        ASSERT_EQ(gotPattern.error, wantPattern.error) << offset;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sets, BlockSearchVectorTest,
                         ::testing::Values(BlockSearch::Vectors::Sse41,
                                           BlockSearch::Vectors::Avx2),
                         [](const ::testing::TestParamInfo<BlockSearch::Vectors>& set) {
                           return set.param == BlockSearch::Vectors::Avx2 ? "Avx2" : "Sse41";
                         });

}  // namespace
}  // namespace vantrel
