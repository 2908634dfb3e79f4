#pragma once

#include <cstdint>

namespace vantrel {

// State of the IMA ADPCM coder, carried from one audio record to the next. A movie
// starts at (0, 0); the state after a record is stored in that record's trailer.
struct AdpcmState {
  std::int16_t predictor = 0;  // last reconstructed sample
  std::int8_t stepIndex = 0;   // index into the step-size table, 0..88
};

// Number of entries of the IMA step-size table; step indices run 0..kImaStepCount - 1.
constexpr int kImaStepCount = 89;

// Codes count samples as 4-bit IMA ADPCM (bit 3 sign, bits 2..0 magnitude) into
// (count + 1) / 2 bytes of codes. The first sample of each pair goes into the high
// nibble, the second into the low nibble; an odd count leaves 0 in the last low
// nibble. There is no header: the coder starts from state and leaves its final
// predictor and step index there. With count <= 0 nothing is written or changed.
// A step index outside 0..88 on entry is clamped into range.
void encodeAdpcm(const std::int16_t* samples, std::uint8_t* codes, int count,
                 AdpcmState& state);

// The inverse of encodeAdpcm: reads the codes of count samples in the same nibble
// order, writes count samples and updates state. Decoding codes from the encoder's
// starting state reproduces the encoder's predictor sequence exactly.
void decodeAdpcm(const std::uint8_t* codes, std::int16_t* samples, int count,
                 AdpcmState& state);

}  // namespace vantrel
