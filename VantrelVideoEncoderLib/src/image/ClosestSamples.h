#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel {

// The best encode's colour reduction: the handheld samples that the player
// shows closest to the working picture, by the squared RGB difference summed
// over the channels. The default reduction takes the palette entry nearest to
// a pixel's grid cell, and the truecolor samples by fixed formulas that
// truncate; these choices are never further from the picture and often nearer.
// Not for use on several threads at once: nearestEntry fills a cache.
class ClosestSamples {
 public:
  // palette: the movie's 256 entries (for the 8-bit codes); depthCode as the
  // colour reduction takes it.
  void build(const std::uint32_t* palette, int depthCode);
  // With plain set, the truecolor conversion keeps to its plain loop where
  // the processor could do four pixels at once (the samples are the same).
  void usePlainLoops(bool plain);

  // The palette entry 1 to 254 nearest to pixel (ties: the lower entry).
  std::uint8_t nearestEntry(std::uint32_t pixel) const;

  // A 2 x 2 group's samples: group holds the pixels (lower left, lower right,
  // upper left, upper right), lumas, u and v the samples the formulas gave.
  // Tries each colour difference a step either side (U first, then V) and,
  // for each, the best luma of every pixel; keeps the closest, the formulas'
  // on a tie.
  void refineGroup(const std::uint32_t* group, int* lumas, int& u, int& v) const;

  // How the squared RGB difference of the group's shown colours from its
  // pixels changes as a sample's level moves from the chosen one: its slope
  // per level, in sixteenths, for the four lumas and for U and V; 0 for all
  // six where a shown channel clamps.
  void groupLeans(const std::uint32_t* group, const int* lumas, int u, int v,
                  std::int32_t* lumaLeans, std::int32_t& uLean,
                  std::int32_t& vLean) const;

 private:
  // What a pair of colour differences (in levels) adds to each shown
  // channel (shownChannels), and adds to the sum of the channels of a luma;
  // worked out once for the four pixels of a group.
  struct Shift {
    double red;
    double greenOfBlue;
    double greenOfRed;
    double blue;
    double lumaOfRed;
    double lumaOfBlue;
  };
  static Shift shiftOf(double blue, double red);
  // The colour (0x00RRGGBB) the player shows for a luma level under shift.
  static std::uint32_t shownOf(double level, const Shift& shift);
  // A pixel's channels, and their sum.
  struct Pixel {
    int red;
    int green;
    int blue;
    double sum;
  };
  static Pixel pixelOf(std::uint32_t pixel);
  // Squared RGB difference of the player's colour from pixel, from the
  // colour differences' shift or from the colour shown (0x00RRGGBB); and the
  // best luma sample for pixel under a pair of colour-difference steps, shown
  // holding that pair's colours by luma.
  int lumaError(const Pixel& pixel, int luma, const Shift& shift) const;
  static int shownError(const Pixel& pixel, std::uint32_t shown);
  int bestLuma(const Pixel& pixel, const Shift& shift, const std::uint32_t* shown,
               int& error) const;

  int depth = 0;
  // 8-bit codes: per fine grid cell, the entries that can be nearest to a
  // pixel in it (in candidates; none yet: count 0), made on first use.
  struct CellList {
    std::int32_t start = 0;
    std::int32_t count = 0;
  };
  void listCandidates(int cell) const;
  mutable std::vector<CellList> cellLists;
  mutable std::vector<std::uint8_t> candidates;
  std::array<std::uint32_t, 256> entries{};
  // Truecolor codes: the levels of every sample value, and which luma values
  // and colour-difference steps the layout stores.
  std::array<double, 256> lumaLevel{};
  std::array<double, 256> blueLevel{};  // U samples
  std::array<double, 256> redLevel{};   // V samples
  std::array<std::int32_t, 256> lumaStored{};  // 1: stored (words for the vector trial)
  bool vectors = false;    // the trial takes a group's four pixels at once
  double lumaScale = 0.0;  // from a channel sum to luma steps above the first
  int firstLuma = 0;
  int lastLuma = 0;
  int firstStep = 0;
  int lastStep = 0;
  // The colour the player shows for every luma sample under each pair of
  // colour-difference steps, 256 lumas a pair from pairStart: refineGroup
  // tries the same pairs for every group of every frame.
  std::vector<std::uint32_t> shownByPair;
  std::size_t pairStart(int uStep, int vStep) const {
    return static_cast<std::size_t>((uStep - firstStep) * (lastStep - firstStep + 1) +
                                    vStep - firstStep) *
           256;
  }
};

}  // namespace vantrel
