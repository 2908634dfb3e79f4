#include "codec/BlockSearchAvx2.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codec/DisplacementTable.h"

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

// The colour distance of 16 samples from 16 others, given as channel
// differences (16-bit lanes), in two halves of eight 32-bit lanes: lo holds
// samples 0-3 and 8-11, hi samples 4-7 and 12-15. The weights 77, 150 and 29
// and the rounding are those of the palette's distance table; 150 dG^2 is
// taken as two halves so that every product fits a 16-bit multiply.
VANTREL_AVX2 inline void distances16(__m256i dRed, __m256i dGreen, __m256i dBlue,
                                     __m256i& lo, __m256i& hi) {
  const __m256i redGreenWeights = _mm256_set1_epi32(75 << 16 | 77);
  const __m256i greenBlueWeights = _mm256_set1_epi32(29 << 16 | 75);
  const __m256i rounding = _mm256_set1_epi32(128);
  const __m256i rgLo = _mm256_unpacklo_epi16(dRed, dGreen);
  const __m256i rgHi = _mm256_unpackhi_epi16(dRed, dGreen);
  const __m256i gbLo = _mm256_unpacklo_epi16(dGreen, dBlue);
  const __m256i gbHi = _mm256_unpackhi_epi16(dGreen, dBlue);
  const __m256i sumLo = _mm256_add_epi32(
      _mm256_madd_epi16(rgLo, _mm256_mullo_epi16(rgLo, redGreenWeights)),
      _mm256_madd_epi16(gbLo, _mm256_mullo_epi16(gbLo, greenBlueWeights)));
  const __m256i sumHi = _mm256_add_epi32(
      _mm256_madd_epi16(rgHi, _mm256_mullo_epi16(rgHi, redGreenWeights)),
      _mm256_madd_epi16(gbHi, _mm256_mullo_epi16(gbHi, greenBlueWeights)));
  lo = _mm256_srli_epi32(_mm256_add_epi32(sumLo, rounding), 8);
  hi = _mm256_srli_epi32(_mm256_add_epi32(sumHi, rounding), 8);
}

// Sixteen channel values as 16-bit lanes.
VANTREL_AVX2 inline __m256i widen16(const std::uint8_t* values) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(values)));
}

// All-ones lanes where bit k of the eight bits is set (lane k).
VANTREL_AVX2 inline __m256i laneMask(unsigned bits) {
  const __m256i lanes = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
  const __m256i spread =
      _mm256_and_si256(_mm256_set1_epi32(static_cast<int>(bits)), lanes);
  return _mm256_cmpeq_epi32(spread, lanes);
}

// Channel sums of up to 21 bits, as doubles: placed in the significand of
// 2^52, then 2^52 taken away.
VANTREL_AVX2 inline __m256d smallToDouble(__m256i values) {
  const __m256i exponent = _mm256_set1_epi64x(0x4330000000000000);
  return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(values, exponent)),
                       _mm256_set1_pd(4503599627370496.0));
}

VANTREL_AVX2 inline __m256d spread(__m256d red, __m256d green, __m256d blue) {
  const __m256d r = _mm256_mul_pd(_mm256_mul_pd(red, red), _mm256_set1_pd(77.0));
  const __m256d g = _mm256_mul_pd(_mm256_mul_pd(green, green), _mm256_set1_pd(150.0));
  const __m256d b = _mm256_mul_pd(_mm256_mul_pd(blue, blue), _mm256_set1_pd(29.0));
  return _mm256_add_pd(_mm256_add_pd(r, g), b);
}

}  // namespace

bool available() { return __builtin_cpu_supports("avx2") != 0; }

VANTREL_AVX2 void copySums4(const ChannelPlanes& want, const ChannelPlanes& have,
                            int width, int start, int firstColumn, int endColumn,
                            const CopyCandidates& candidates, std::int32_t* sums) {
  const int blocks = width / 4;
  // Sixteen columns (four blocks) at a time, the wanted samples widened once
  // for all candidates; past the last block of a narrower band the lanes are
  // computed and dropped.
  for (int x = firstColumn; x < endColumn; x += 16) {
    __m256i wantRed[4];
    __m256i wantGreen[4];
    __m256i wantBlue[4];
    const std::ptrdiff_t rowStart = std::ptrdiff_t(start) + x;
    for (int r = 0; r < 4; ++r) {
      wantRed[r] = widen16(want.red + rowStart + r * width);
      wantGreen[r] = widen16(want.green + rowStart + r * width);
      wantBlue[r] = widen16(want.blue + rowStart + r * width);
    }
    const int first = x / 4;
    const int count = blocks - first < 4 ? blocks - first : 4;
    std::int32_t* out = sums + std::size_t(first) * kCandidateSlots;
    for (int k = 0; k < kDisplacementCount; ++k) {
      const std::ptrdiff_t at = rowStart + candidates.offsets[k];
      __m256i sumLo = _mm256_setzero_si256();
      __m256i sumHi = _mm256_setzero_si256();
      for (int r = 0; r < 4; ++r) {
        const std::ptrdiff_t from = at + r * width;
        const __m256i dRed = _mm256_sub_epi16(wantRed[r], widen16(have.red + from));
        const __m256i dGreen = _mm256_sub_epi16(wantGreen[r], widen16(have.green + from));
        const __m256i dBlue = _mm256_sub_epi16(wantBlue[r], widen16(have.blue + from));
        __m256i lo;
        __m256i hi;
        distances16(dRed, dGreen, dBlue, lo, hi);
        sumLo = _mm256_add_epi32(sumLo, lo);
        sumHi = _mm256_add_epi32(sumHi, hi);
      }
      // Pairs, then quads: lanes 0, 1, 4 and 5 hold blocks x/4 to x/4 + 3.
      const __m256i pairs = _mm256_hadd_epi32(sumLo, sumHi);
      alignas(32) std::int32_t quads[8];
      _mm256_store_si256(reinterpret_cast<__m256i*>(quads),
                         _mm256_hadd_epi32(pairs, pairs));
      const int lane[4] = {0, 1, 4, 5};
      for (int b = 0; b < count; ++b)
        out[std::size_t(b) * kCandidateSlots + k] = quads[lane[b]];
    }
  }
}

VANTREL_AVX2 void patternBounds(const std::uint64_t* sums, const double* ones, int count,
                                const int* totals, std::int64_t squares, double* num,
                                double* den) {
  const __m256i field = _mm256_set1_epi64x((1 << 21) - 1);
  const __m256d totalRed = _mm256_set1_pd(totals[0]);
  const __m256d totalGreen = _mm256_set1_pd(totals[1]);
  const __m256d totalBlue = _mm256_set1_pd(totals[2]);
  const __m256d samples = _mm256_set1_pd(count);
  const __m256d weightedSquares = _mm256_set1_pd(static_cast<double>(squares));
  for (int p = 0; p < 256; p += 4) {
    const __m256i packed = _mm256_load_si256(reinterpret_cast<const __m256i*>(sums + p));
    const __m256d red1 = smallToDouble(_mm256_srli_epi64(packed, 42));
    const __m256d green1 =
        smallToDouble(_mm256_and_si256(_mm256_srli_epi64(packed, 21), field));
    const __m256d blue1 = smallToDouble(_mm256_and_si256(packed, field));
    const __m256d spread1 = spread(red1, green1, blue1);
    const __m256d spread0 =
        spread(_mm256_sub_pd(totalRed, red1), _mm256_sub_pd(totalGreen, green1),
               _mm256_sub_pd(totalBlue, blue1));
    const __m256d count1 = _mm256_load_pd(ones + p);
    const __m256d count0 = _mm256_sub_pd(samples, count1);
    const __m256d both = _mm256_mul_pd(count0, count1);
    const __m256d moved =
        _mm256_add_pd(_mm256_mul_pd(spread0, count1), _mm256_mul_pd(spread1, count0));
    _mm256_store_pd(den + p, both);
    _mm256_store_pd(num + p, _mm256_sub_pd(_mm256_mul_pd(weightedSquares, both), moved));
  }
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
