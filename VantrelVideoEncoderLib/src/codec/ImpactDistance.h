#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vantrel {

// The best encode's measure of how different two samples look on the
// handheld: the squared difference of the RGB colours the player shows for
// them, summed over the three channels and over the pixels one sample covers.
// The codec's colour distance weighs the channels by their share of
// brightness and, in the truecolor layouts, measures a colour-difference
// sample by its table entry, which understates it against luma by 1 to 50
// times (most for the strong colours of the non-linear layout). Bytes spent
// by this measure go where the picture gains most.
//
// In the truecolor layouts a sample's meaning depends on where it is (luma
// rows, then rows of U and V halves), so there is one table per kind of row.
class ImpactDistance {
 public:
  // palette: the codec's 256 entries; depthCode 24 or 25 selects the truecolor
  // layouts, anything else palette indices. Sizes are the codec frame's.
  void build(const std::uint32_t* palette, int depthCode, int frameWidth, int frameHeight);
  int depthCode() const { return depth; }

  // The 256 x 256 table (row a, column b) for the samples of a block whose
  // top-left sample is at offset. A block never spans two kinds of row, but
  // one of the U half can reach into the V half (216 columns: 108 of each);
  // blockError and fillError measure such columns as V samples.
  const std::int32_t* tableAt(int offset) const;
  // The truecolor samples the layout stores in the kind of row at offset,
  // from the lowest level up, and each sample's place among them (-1: not
  // stored); null in the 8-bit modes, whose entries have no order.
  struct Levels {
    std::vector<std::uint8_t> samples;
    std::array<std::int16_t, 256> place{};
  };
  const Levels* levelsAt(int offset) const;

  // Measures against the pictures themselves rather than their samples:
  // leans holds, for each sample of frame, how the squared difference of
  // the shown colour from the picture changes per level of the sample (in
  // sixteenths); a sample that moves toward the picture then counts less
  // than one that moves away. Null (the default): against the samples.
  void setLeans(const std::uint8_t* frame, const std::int32_t* leans);
  // The leans of the samples from offset on (null without leans), and each
  // sample's level there (x 16, and weighted as the tables weigh its kind).
  struct Leaning {
    const std::int32_t* leans = nullptr;
    const std::int32_t* levels = nullptr;
  };
  Leaning leaningAt(int offset) const;

  // The samples and leans of the frame when the player shows the colour
  // differences of decoded rather than the frame's own: each luma's lean
  // moves by how its group's colour differences move its pixels' errors, and
  // the luma moves to the stored level with the least error under that lean,
  // where its lean is taken again. Into samples and out (the frame's size);
  // false without leans or when no lean moved.
  bool leansUnder(const std::uint8_t* decoded, std::vector<std::uint8_t>& samples,
                  std::vector<std::int32_t>& out) const;

  // Summed distance between a side x side block of have and of want, both
  // given at the block's top-left sample in rows of the frame's width.
  std::int64_t blockError(const std::int32_t* table, const std::uint8_t* have,
                          const std::uint8_t* want, int side) const;
  // Summed distance between one colour and a block of want.
  std::int64_t fillError(const std::int32_t* table, int colour, const std::uint8_t* want,
                         int side) const;

 private:
  int width = 0;
  int depth = 0;
  int chromaStart = 0;  // offset of the first colour-difference row, or past the frame
  std::vector<std::int32_t> tables;  // luma or palette, then U, then V
  std::array<std::int32_t, 256> sixteenths[3]{};  // each kind's levels, as Leaning
  std::array<double, 256> shown[3]{};  // each kind's levels as the player shows them
  const std::uint8_t* leanFrame = nullptr;
  const std::int32_t* leans = nullptr;
  // blockError, or with kOneColour fillError (have: the one colour).
  template <bool kOneColour>
  std::int64_t summedError(const std::int32_t* table, const std::uint8_t* have,
                           const std::uint8_t* want, int side) const;
  Levels levels[3];
};

}  // namespace vantrel
