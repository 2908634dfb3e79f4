#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vantrel::testing {

// Deterministic inputs for the codec tests.

// A palette of 254 distinct colours: a 6 x 6 x 6 colour cube (entries 1 to 216)
// followed by 38 grays (entries 217 to 254); entry 0 white, 255 black.
std::array<std::uint32_t, 256> cubePalette();

// The fixed code 24 sample table with entry 0 white, as the encode driver sets it.
std::array<std::uint32_t, 256> truecolorTable();

// Small deterministic random numbers.
class TestRandom {
 public:
  explicit TestRandom(std::uint32_t seed) : state(seed * 2654435761u + 1u) {}
  std::uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }

 private:
  std::uint32_t state;
};

// Palette-index frames (width x height bytes, top row first), entries 1 to 254.
std::vector<std::uint8_t> noiseFrame(int width, int height, std::uint32_t seed);
// A textured background that moves shift samples to the right per frame, with a
// square of another colour moving down and to the left, for frame number t.
std::vector<std::uint8_t> movingFrame(int width, int height, int t);
// A textured picture moved dx samples right and dy down (content entering at
// the edges wraps around).
std::vector<std::uint8_t> texturedFrame(int width, int height, int dx, int dy);

// A truecolor frame of code 24 (stored height = 1.5 x pictureHeight): luma rows
// of a moving gradient, then U/V rows. t moves the picture.
std::vector<std::uint8_t> truecolorFrame(int width, int pictureHeight, int t);

}  // namespace vantrel::testing
