#pragma once

// Writes small clips of the pictures phones record today: an SDR BT.709
// picture (a white field or colour bars) turned into HLG or PQ BT.2020 10-bit
// video by FFmpeg's own conversion (zscale, reference white at 203 cd/m^2),
// stored losslessly (FFV1) in Matroska with its colour tags, so that what a
// converter makes of it differs from the SDR original only by its reading of
// the HDR picture.

#include <cstdint>
#include <string>

namespace vantrel::test {

enum class ClipTransfer { Sdr, Hlg, Pq };
enum class ClipScene { WhiteField, ColourBars };

// Number of bars across a ColourBars picture.
constexpr int kClipBarCount = 8;

struct HdrClip {
  ClipTransfer transfer = ClipTransfer::Hlg;
  ClipScene scene = ClipScene::ColourBars;
  int width = 256;
  int height = 128;
  int frames = 3;
  int fps = 10;
  // PQ only: the content light level (MaxCLL, cd/m^2) stored with the stream;
  // 0 stores none.
  int maxContentLight = 0;
};

// The SDR BT.709 colour (0x00RRGGBB) of the scene's bar `bar` (0 to
// kClipBarCount - 1, left to right); a white field is white everywhere.
std::uint32_t clipSceneColour(ClipScene scene, int bar);

// Writes the clip to path (Matroska). Returns an empty string on success,
// otherwise what failed.
std::string writeHdrClip(const std::string& path, const HdrClip& shape);

}  // namespace vantrel::test
