#include "codec/BlockSearchAvx2.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

// Only these functions use AVX2 instructions (target attributes, no global
// compiler flag), so the program still runs on processors without it.
#define VANTREL_AVX2 __attribute__((target("avx2")))

namespace vantrel::block_search_avx2 {

namespace {

VANTREL_AVX2 inline std::int64_t horizontalSum(__m256i v) {
  const __m128i half =
      _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  const __m128i quarter = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0x4E));
  const __m128i one = _mm_add_epi32(quarter, _mm_shuffle_epi32(quarter, 0xB1));
  return _mm_cvtsi128_si32(one);
}

// Eight samples as 32-bit lanes.
VANTREL_AVX2 inline __m256i widen8(const std::uint8_t* samples) {
  std::uint64_t bytes;
  std::memcpy(&bytes, samples, 8);
  return _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(bytes)));
}

// Two rows of four samples as eight 32-bit lanes.
VANTREL_AVX2 inline __m256i widenTwoRows4(const std::uint8_t* first,
                                          const std::uint8_t* second) {
  std::uint32_t a;
  std::uint32_t b;
  std::memcpy(&a, first, 4);
  std::memcpy(&b, second, 4);
  const std::uint64_t bytes = a | static_cast<std::uint64_t>(b) << 32;
  return _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(bytes)));
}

VANTREL_AVX2 inline __m256i gatherDistances(const std::int32_t* distances, __m256i have,
                                            __m256i want) {
  const __m256i index = _mm256_add_epi32(_mm256_slli_epi32(have, 8), want);
  return _mm256_i32gather_epi32(reinterpret_cast<const int*>(distances), index, 4);
}

// All-ones lanes where bit k of the eight bits is set (lane k).
VANTREL_AVX2 inline __m256i laneMask(unsigned bits) {
  const __m256i lanes = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
  const __m256i spread =
      _mm256_and_si256(_mm256_set1_epi32(static_cast<int>(bits)), lanes);
  return _mm256_cmpeq_epi32(spread, lanes);
}

}  // namespace

bool available() { return __builtin_cpu_supports("avx2") != 0; }

VANTREL_AVX2 int findCopy(const std::int32_t* distances, const std::uint8_t* want,
                          const std::uint8_t* have, int width, int side, int highest,
                          int lowest, const CopyCandidates& candidates,
                          std::int64_t& error) {
  // The block's own samples, widened once for every candidate.
  // (For side 4, two rows of four in each of wanted[0] and wanted[1].)
  __m256i wanted[4];
  __m256i wantedSecond[4];
  if (side == 8) {
    for (int v = 0; v < 4; ++v) {
      wanted[v] = widen8(want + 2 * v * width);
      wantedSecond[v] = widen8(want + (2 * v + 1) * width);
    }
  } else {
    wanted[0] = widenTwoRows4(want, want + width);
    wanted[1] = widenTwoRows4(want + 2 * width, want + 3 * width);
  }

  std::int64_t best = INT64_MAX;
  int winner = -1;
  for (int k = 0; k < static_cast<int>(candidates.offsets.size()); ++k) {
    const int offset = candidates.offsets[k];
    const std::int64_t cost = candidates.costs[k];
    if (cost >= best || offset < lowest || offset > highest) continue;
    // Stop summing once this candidate can no longer win: sums only grow.
    const std::int64_t limit = (best - cost - 1) / 16 + 1;
    const std::uint8_t* source = have + offset;
    __m256i sum = _mm256_setzero_si256();
    std::int64_t total = 0;
    bool beaten = false;
    if (side == 8) {
      for (int v = 0; v < 4 && !beaten; ++v) {
        const std::uint8_t* row = source + 2 * v * width;
        const __m256i d0 = gatherDistances(distances, widen8(row), wanted[v]);
        const __m256i d1 =
            gatherDistances(distances, widen8(row + width), wantedSecond[v]);
        sum = _mm256_add_epi32(sum, _mm256_add_epi32(d0, d1));
        total = horizontalSum(sum);
        beaten = total >= limit;
      }
    } else {
      for (int v = 0; v < 2 && !beaten; ++v) {
        const std::uint8_t* row = source + 2 * v * width;
        sum = _mm256_add_epi32(
            sum, gatherDistances(distances, widenTwoRows4(row, row + width), wanted[v]));
        total = horizontalSum(sum);
        beaten = total >= limit;
      }
    }
    if (beaten) continue;
    best = total * 16 + cost;
    winner = k;
    if (best == 0) break;
  }
  error = winner >= 0 ? best >> 4 : 0;
  return winner;
}

VANTREL_AVX2 void distancesTo(const std::int32_t* row, const std::uint8_t* samples,
                              int count, std::int32_t* out) {
  for (int i = 0; i < count; i += 8) {
    const __m256i d =
        _mm256_i32gather_epi32(reinterpret_cast<const int*>(row), widen8(samples + i), 4);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), d);
  }
}

VANTREL_AVX2 std::int64_t patternError(const std::int32_t* d0, const std::int32_t* d1,
                                       std::uint64_t bits, int count) {
  __m256i sum = _mm256_setzero_si256();
  for (int i = 0; i < count; i += 8) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d0 + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d1 + i));
    const __m256i pick = laneMask(static_cast<unsigned>(bits >> i) & 0xFFu);
    sum = _mm256_add_epi32(sum, _mm256_blendv_epi8(a, b, pick));
  }
  return horizontalSum(sum);
}

}  // namespace vantrel::block_search_avx2
