#include "audio/ImaAdpcmCoder.h"

#include <algorithm>
#include <iterator>

namespace vantrel {
namespace {

// The IMA recommended step-size table.
constexpr std::int32_t kImaStepTable[] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
static_assert(std::size(kImaStepTable) == kImaStepCount);
static_assert(kImaStepTable[0] == 7 && kImaStepTable[kImaStepCount - 1] == 32767);

// The IMA index-change table, by 4-bit code (the sign bit does not matter).
constexpr std::int32_t kImaIndexTable[] = {-1, -1, -1, -1, 2, 4, 6, 8,
                                           -1, -1, -1, -1, 2, 4, 6, 8};
static_assert(std::size(kImaIndexTable) == 16);

int clampIndex(int index) { return std::clamp(index, 0, kImaStepCount - 1); }

int clampSample(int value) { return std::clamp(value, -32768, 32767); }

}  // namespace

void encodeAdpcm(const std::int16_t* samples, std::uint8_t* codes, int count,
                 AdpcmState& state) {
  if (count <= 0) return;
  int predictor = state.predictor;
  int stepIndex = clampIndex(state.stepIndex);
  int step = kImaStepTable[stepIndex];
  int pending = 0;
  for (int i = 0; i < count; ++i) {
    int diff = samples[i] - predictor;
    int sign = 0;
    if (diff < 0) {
      sign = 8;
      diff = -diff;
    }
    // Successive approximation of diff in quarters of the step; vpdiff follows the
    // decoder's reconstruction exactly so that both sides stay in step.
    int code = 0;
    int vpdiff = step >> 3;
    if (diff >= step) {
      code = 4;
      diff -= step;
      vpdiff += step;
    }
    if (diff >= (step >> 1)) {
      code |= 2;
      diff -= step >> 1;
      vpdiff += step >> 1;
    }
    if (diff >= (step >> 2)) {
      code |= 1;
      vpdiff += step >> 2;
    }
    predictor = clampSample(sign != 0 ? predictor - vpdiff : predictor + vpdiff);
    stepIndex = clampIndex(stepIndex + kImaIndexTable[code | sign]);
    step = kImaStepTable[stepIndex];
    if ((i & 1) == 0) {
      pending = (code | sign) << 4;
    } else {
      codes[i >> 1] = static_cast<std::uint8_t>(pending | code | sign);
    }
  }
  if ((count & 1) != 0) codes[count >> 1] = static_cast<std::uint8_t>(pending);
  state.predictor = static_cast<std::int16_t>(predictor);
  state.stepIndex = static_cast<std::int8_t>(stepIndex);
}

void decodeAdpcm(const std::uint8_t* codes, std::int16_t* samples, int count,
                 AdpcmState& state) {
  if (count <= 0) return;
  int predictor = state.predictor;
  int stepIndex = clampIndex(state.stepIndex);
  int step = kImaStepTable[stepIndex];
  for (int i = 0; i < count; ++i) {
    const std::uint8_t byte = codes[i >> 1];
    const int code = (i & 1) == 0 ? byte >> 4 : byte & 0x0F;
    stepIndex = clampIndex(stepIndex + kImaIndexTable[code]);
    int vpdiff = step >> 3;
    if ((code & 4) != 0) vpdiff += step;
    if ((code & 2) != 0) vpdiff += step >> 1;
    if ((code & 1) != 0) vpdiff += step >> 2;
    predictor = clampSample((code & 8) != 0 ? predictor - vpdiff : predictor + vpdiff);
    samples[i] = static_cast<std::int16_t>(predictor);
    step = kImaStepTable[stepIndex];
  }
  state.predictor = static_cast<std::int16_t>(predictor);
  state.stepIndex = static_cast<std::int8_t>(stepIndex);
}

}  // namespace vantrel
