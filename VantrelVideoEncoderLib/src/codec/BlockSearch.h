#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codec/CodecPalette.h"
#include "codec/CodecTables.h"
#include "codec/CopyTables.h"
#include "codec/DisplacementTable.h"

namespace vantrel {

// The searches of the difference frame encoder: the best single colour, the
// best copy from the previous picture and the best two-colour pattern for one
// block. All errors are sums of palette distances between what the code would
// show and the frame's samples.
class BlockSearch {
 public:
  struct Fill {
    int colour = 0;
    std::int64_t error = 0;
  };
  struct Copy {
    int displacement = -1;  // -1: no displacement keeps the source in the picture
    std::int64_t error = 0;
  };
  struct Pattern {
    int index = 0;
    int colour0 = 0;
    int colour1 = 0;
    std::int64_t error = 0;
  };

  BlockSearch(const CodecPalette& palette, const DisplacementTable& displacements,
              int frameWidth, int frameHeight);

  // The vector instructions the searches may use: the copy search runs on
  // AVX2 or SSE4.1, the pattern search on AVX2; without them both use their
  // plain loops, which give the same answers (the tests hold each against them).
  // The vector searches are built for 64-bit x86 only; on other processors
  // vectors() is always None.
  enum class Vectors { None, Sse41, Avx2 };
  // Uses the best set the processor has, up to highest (Avx2 when constructed).
  void useVectors(Vectors highest);
  Vectors vectors() const { return vectorSet; }

  // The pictures of the frame being encoded: frame (the new samples) and the
  // previous decoded picture (the copy source). Both frameWidth x frameHeight.
  void setPictures(const std::uint8_t* frame, const std::uint8_t* reference);
  // Moves the search to newFrame, which differs from the frame in a few
  // samples: only those are taken again, with what was worked out from them.
  void changeFrame(const std::uint8_t* newFrame);

  // Sum of distances between picture and the frame over the block at offset.
  std::int64_t blockError(const std::uint8_t* picture, int level, int offset) const;

  // The colour nearest to the block's average (or its one colour) and its error.
  Fill findFillColour(int level, int offset) const;

  // The displacement with the smallest score, sum x 16 + the displacement's
  // cost; candidates run outwards from (0, 0) and the first of equal scores
  // wins. Only candidates whose whole source block lies inside the reference
  // picture are tried. error is the best score >> 4.
  // Searches for blocks in different rows of 8 x 8 blocks may run on
  // different threads at once; those of one such row stay on one thread.
  Copy findCopy(int level, int offset) const;

  // The best of the 256 two-colour patterns for an 8 x 8 or a 4 x 4 block, each
  // group drawn in the colour nearest to its average; ties go to the lower index.
  Pattern findPattern8(int offset) const;
  Pattern findPattern4(int offset) const;

  // Whether a copy whose source block (side x side) starts at sample source
  // of the reference is one the copy search may choose.
  bool copyIsUsable(int source, int side) const;

 private:
  template <int kSide>
  Pattern findPattern(int offset) const;
  template <int kSide>
  Pattern findPatternAvx2(int offset) const;
  // The vector copy search's sums of the 4 x 4 blocks of band (four rows)
  // for every candidate, made for the kSumColumns columns around column x
  // the first time a block there asks: blocks that keep their samples never
  // pay. Fewer, wider groups cost less per sum when every block asks.
  static constexpr int kSumColumns = 32;
  int sumGroups() const { return (width + kSumColumns - 1) / kSumColumns; }
  const std::int32_t* bandCopySums(int band, int x) const;
  copy_tables::ChannelPlanes channelPlanes(int picture) const;
  // The distances from colour to the block's samples, kept for one block.
  const std::int32_t* distancesFrom(int colour, const std::uint8_t* samples,
                                    int count) const;

  const CodecPalette& palette;
  const DisplacementTable& displacements;
  int width;
  int height;
  const std::uint8_t* frame = nullptr;
  const std::uint8_t* reference = nullptr;
  Vectors vectorSet = Vectors::None;
  copy_tables::CopyCandidates searchOrder{};
  std::array<int, kLevelCount> copyLimits{};

  // The vector copy search's tables: the channels of the frame (picture 0)
  // and of the reference (picture 1), each plane with a margin around it for
  // displaced reads, and the sums of bandCopySums with a flag per band and
  // group of columns.
  std::size_t planeMargin = 0;
  std::size_t planeLength = 0;
  std::vector<std::uint8_t> planes;
  mutable std::vector<std::int32_t> copySums;
  mutable std::vector<std::uint8_t> bandReady;

  // Per colour, the distances to the samples of the block being searched; a
  // colour's row is valid while its stamp equals blockStamp.
  mutable std::vector<std::int32_t> colourDistances;
  mutable std::vector<std::uint32_t> colourStamps;
  mutable std::uint32_t blockStamp = 0;
};

}  // namespace vantrel
