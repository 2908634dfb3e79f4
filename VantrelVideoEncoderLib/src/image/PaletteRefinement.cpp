#include "image/PaletteRefinement.h"

#include <limits>

#include "image/ColourGrid.h"

namespace vantrel {

namespace {

constexpr int kFirstColour = 1;
constexpr int kLastColour = 254;

}  // namespace

PaletteRefinement::PaletteRefinement() : cells(kFineGridCells) {}

void PaletteRefinement::addPicture(const FrameImage& picture) {
  if (picture.pixels == nullptr || picture.imageWidth <= 0 || picture.imageHeight <= 0) return;
  const std::int64_t count = static_cast<std::int64_t>(picture.imageWidth) * picture.imageHeight;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint32_t pixel = picture.pixels[i];
    CellSum& cell = cells[fineCellIndex(pixel)];
    ++cell.count;
    cell.red += (pixel >> 16) & 0xff;
    cell.green += (pixel >> 8) & 0xff;
    cell.blue += pixel & 0xff;
  }
}

void PaletteRefinement::refine(std::uint32_t* palette, int rounds) const {
  // The cells that hold pixels, at their means (in 1/256 levels, so that the
  // means keep their fractions).
  struct Point {
    std::uint64_t count;
    int red, green, blue;  // levels x 256
  };
  std::vector<Point> points;
  for (const CellSum& cell : cells) {
    if (cell.count == 0) continue;
    points.push_back({cell.count, static_cast<int>(cell.red * 256 / cell.count),
                      static_cast<int>(cell.green * 256 / cell.count),
                      static_cast<int>(cell.blue * 256 / cell.count)});
  }
  for (int round = 0; round < rounds; ++round) {
    std::array<CellSum, 256> members{};
    for (const Point& point : points) {
      int best = kFirstColour;
      std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
      for (int e = kFirstColour; e <= kLastColour; ++e) {
        // Channel by channel, leaving as soon as the entry cannot be nearer.
        const std::int64_t red = point.red - std::int64_t((palette[e] >> 16) & 0xff) * 256;
        std::int64_t distance = red * red;
        if (distance >= bestDistance) continue;
        const std::int64_t green = point.green - std::int64_t((palette[e] >> 8) & 0xff) * 256;
        distance += green * green;
        if (distance >= bestDistance) continue;
        const std::int64_t blue = point.blue - std::int64_t(palette[e] & 0xff) * 256;
        distance += blue * blue;
        if (distance < bestDistance) {
          bestDistance = distance;
          best = e;
        }
      }
      CellSum& member = members[best];
      member.count += point.count;
      member.red += point.count * static_cast<std::uint64_t>(point.red);
      member.green += point.count * static_cast<std::uint64_t>(point.green);
      member.blue += point.count * static_cast<std::uint64_t>(point.blue);
    }
    bool moved = false;
    for (int e = kFirstColour; e <= kLastColour; ++e) {
      const CellSum& member = members[e];
      if (member.count == 0) continue;
      // The members' mean, rounded to whole levels.
      const auto mean = [&](std::uint64_t sum) {
        return static_cast<std::uint32_t>((sum + member.count * 128) / (member.count * 256));
      };
      const std::uint32_t entry = mean(member.red) << 16 | mean(member.green) << 8 | mean(member.blue);
      if (entry != (palette[e] & 0xffffff)) {
        palette[e] = (palette[e] & 0xff000000u) | entry;
        moved = true;
      }
    }
    if (!moved) break;
  }
}

}  // namespace vantrel
