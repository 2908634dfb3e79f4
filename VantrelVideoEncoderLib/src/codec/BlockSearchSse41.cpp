#include "codec/BlockSearchSse41.h"

#include <immintrin.h>

#include <climits>
#include <cstddef>
#include <cstdint>

#include "codec/DisplacementTable.h"

// Only these functions use SSE4.1 instructions (target attributes, no global
// compiler flag), so the program still runs on processors without it.
#define VANTREL_SSE41 __attribute__((target("sse4.1")))

namespace vantrel::block_search_sse41 {

namespace {

// The colour distances of 8 samples from 8 others, given as channel
// differences (16-bit lanes): lo holds samples 0-3, hi samples 4-7. The same
// arithmetic as the AVX2 code (the palette's weights and rounding).
VANTREL_SSE41 inline void distances8(__m128i dRed, __m128i dGreen, __m128i dBlue,
                                     __m128i& lo, __m128i& hi) {
  const __m128i redGreenWeights = _mm_set1_epi32(75 << 16 | 77);
  const __m128i greenBlueWeights = _mm_set1_epi32(29 << 16 | 75);
  const __m128i rounding = _mm_set1_epi32(128);
  const __m128i rgLo = _mm_unpacklo_epi16(dRed, dGreen);
  const __m128i rgHi = _mm_unpackhi_epi16(dRed, dGreen);
  const __m128i gbLo = _mm_unpacklo_epi16(dGreen, dBlue);
  const __m128i gbHi = _mm_unpackhi_epi16(dGreen, dBlue);
  const __m128i sumLo =
      _mm_add_epi32(_mm_madd_epi16(rgLo, _mm_mullo_epi16(rgLo, redGreenWeights)),
                    _mm_madd_epi16(gbLo, _mm_mullo_epi16(gbLo, greenBlueWeights)));
  const __m128i sumHi =
      _mm_add_epi32(_mm_madd_epi16(rgHi, _mm_mullo_epi16(rgHi, redGreenWeights)),
                    _mm_madd_epi16(gbHi, _mm_mullo_epi16(gbHi, greenBlueWeights)));
  lo = _mm_srli_epi32(_mm_add_epi32(sumLo, rounding), 8);
  hi = _mm_srli_epi32(_mm_add_epi32(sumHi, rounding), 8);
}

// Eight channel values as 16-bit lanes.
VANTREL_SSE41 inline __m128i widen8(const std::uint8_t* values) {
  return _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(values)));
}

}  // namespace

bool available() { return __builtin_cpu_supports("sse4.1") != 0; }

VANTREL_SSE41 void copySums4(const ChannelPlanes& want, const ChannelPlanes& have,
                             int width, int start, int firstColumn, int endColumn,
                             const CopyCandidates& candidates, std::int32_t* sums) {
  // Eight columns (two blocks) at a time, the wanted samples widened once for
  // all candidates.
  for (int x = firstColumn; x < endColumn; x += 8) {
    __m128i wantRed[4];
    __m128i wantGreen[4];
    __m128i wantBlue[4];
    const std::ptrdiff_t rowStart = std::ptrdiff_t(start) + x;
    for (int r = 0; r < 4; ++r) {
      wantRed[r] = widen8(want.red + rowStart + r * width);
      wantGreen[r] = widen8(want.green + rowStart + r * width);
      wantBlue[r] = widen8(want.blue + rowStart + r * width);
    }
    std::int32_t* out = sums + std::size_t(x / 4) * kCandidateSlots;
    for (int k = 0; k < kDisplacementCount; ++k) {
      const std::ptrdiff_t at = rowStart + candidates.offsets[k];
      __m128i sumLo = _mm_setzero_si128();
      __m128i sumHi = _mm_setzero_si128();
      for (int r = 0; r < 4; ++r) {
        const std::ptrdiff_t from = at + r * width;
        const __m128i dRed = _mm_sub_epi16(wantRed[r], widen8(have.red + from));
        const __m128i dGreen = _mm_sub_epi16(wantGreen[r], widen8(have.green + from));
        const __m128i dBlue = _mm_sub_epi16(wantBlue[r], widen8(have.blue + from));
        __m128i lo;
        __m128i hi;
        distances8(dRed, dGreen, dBlue, lo, hi);
        sumLo = _mm_add_epi32(sumLo, lo);
        sumHi = _mm_add_epi32(sumHi, hi);
      }
      // Pairs, then the two blocks in lanes 0 and 1.
      const __m128i pairs = _mm_hadd_epi32(sumLo, sumHi);
      const __m128i blocks = _mm_hadd_epi32(pairs, pairs);
      out[k] = _mm_cvtsi128_si32(blocks);
      out[kCandidateSlots + k] = _mm_extract_epi32(blocks, 1);
    }
  }
}

VANTREL_SSE41 int bestCopy(const std::int32_t* const* parts, int partCount,
                           const CopyCandidates& candidates, int lowest, int highest,
                           std::int64_t& error) {
  // Scores fit 31 bits, so INT32_MAX marks a candidate that cannot be used.
  const __m128i none = _mm_set1_epi32(INT32_MAX);
  const __m128i low = _mm_set1_epi32(lowest - 1);
  const __m128i high = _mm_set1_epi32(highest);
  alignas(16) std::int32_t scores[kCandidateSlots];
  __m128i smallest = none;
  for (int k = 0; k < kCandidateSlots; k += 4) {
    __m128i sum = _mm_loadu_si128(reinterpret_cast<const __m128i*>(parts[0] + k));
    for (int p = 1; p < partCount; ++p) {
      sum = _mm_add_epi32(
          sum, _mm_loadu_si128(reinterpret_cast<const __m128i*>(parts[p] + k)));
    }
    const __m128i offsets =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(candidates.offsets.data() + k));
    const __m128i costs =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(candidates.costs.data() + k));
    const __m128i usable =
        _mm_andnot_si128(_mm_cmpgt_epi32(offsets, high), _mm_cmpgt_epi32(offsets, low));
    const __m128i score =
        _mm_blendv_epi8(none, _mm_add_epi32(_mm_slli_epi32(sum, 4), costs), usable);
    _mm_store_si128(reinterpret_cast<__m128i*>(scores + k), score);
    smallest = _mm_min_epi32(smallest, score);
  }
  smallest = _mm_min_epi32(smallest, _mm_shuffle_epi32(smallest, 0x4E));
  smallest = _mm_min_epi32(smallest, _mm_shuffle_epi32(smallest, 0xB1));
  const std::int32_t best = _mm_cvtsi128_si32(smallest);
  error = 0;
  if (best == INT32_MAX) return -1;
  for (int k = 0; k < kCandidateSlots; ++k) {
    if (scores[k] == best) {
      error = best >> 4;
      return k;
    }
  }
  return -1;  // not reached: best came from one of the lanes
}

}  // namespace vantrel::block_search_sse41
