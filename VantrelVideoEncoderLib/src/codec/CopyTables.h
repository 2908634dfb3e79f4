#pragma once

// What the vector copy searches share: the candidates in search order and
// the colour channels of the pictures, from which they sum the distances of
// every 4 x 4 block for every candidate at once.

#include <array>
#include <cstdint>

namespace vantrel::copy_tables {

// Candidate slots per block in the copy tables: the 225 candidates, then
// never-usable padding up to a whole number of vectors.
constexpr int kCandidateSlots = 232;

// The copy candidates in the order they are tried: the source's offset from
// the block and the candidate's cost. Padding slots have offset INT32_MIN.
struct CopyCandidates {
  std::array<int, kCandidateSlots> offsets;
  std::array<int, kCandidateSlots> costs;
};

// The red, green and blue values of a picture's samples, a plane each, laid
// out like the picture. Reads reach 16 rows and 32 samples past either end of
// the picture, so the planes need that much memory around them.
struct ChannelPlanes {
  const std::uint8_t* red;
  const std::uint8_t* green;
  const std::uint8_t* blue;
};

}  // namespace vantrel::copy_tables
