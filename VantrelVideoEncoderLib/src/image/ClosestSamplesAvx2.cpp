#include "image/ClosestSamplesAvx2.h"

#include <immintrin.h>

// Only these functions use AVX2 instructions (target attributes, no global
// compiler flag), so the program still runs on processors without it.
#define VANTREL_AVX2 __attribute__((target("avx2")))

namespace vantrel::closest_samples_avx2 {

namespace {

// The squared RGB differences of four shown colours from four pixels.
VANTREL_AVX2 inline __m128i squaredDifferences(__m128i shown, __m128i pixels) {
  const __m128i byte = _mm_set1_epi32(0xff);
  const __m128i red = _mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(shown, 16), byte),
                                    _mm_and_si128(_mm_srli_epi32(pixels, 16), byte));
  const __m128i green = _mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(shown, 8), byte),
                                      _mm_and_si128(_mm_srli_epi32(pixels, 8), byte));
  const __m128i blue =
      _mm_sub_epi32(_mm_and_si128(shown, byte), _mm_and_si128(pixels, byte));
  return _mm_add_epi32(
      _mm_add_epi32(_mm_mullo_epi32(red, red), _mm_mullo_epi32(green, green)),
      _mm_mullo_epi32(blue, blue));
}

}  // namespace

bool available() { return __builtin_cpu_supports("avx2") != 0; }

VANTREL_AVX2 int bestLumas(const LumaTrial& trial, int* chosen) {
  // firstLuma + floor((sum - lumaOfRed - lumaOfBlue) x scale), as the plain
  // loop works it out (a sum of three channels is exact in a double).
  const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(trial.pixels));
  const __m128i byte = _mm_set1_epi32(0xff);
  const __m128i sums =
      _mm_add_epi32(_mm_add_epi32(_mm_and_si128(_mm_srli_epi32(pixels, 16), byte),
                                  _mm_and_si128(_mm_srli_epi32(pixels, 8), byte)),
                    _mm_and_si128(pixels, byte));
  const __m256d steps = _mm256_floor_pd(_mm256_mul_pd(
      _mm256_sub_pd(
          _mm256_sub_pd(_mm256_cvtepi32_pd(sums), _mm256_set1_pd(trial.lumaOfRed)),
          _mm256_set1_pd(trial.lumaOfBlue)),
      _mm256_set1_pd(trial.scale)));
  const __m128i first = _mm_set1_epi32(trial.firstLuma);
  const __m128i last = _mm_set1_epi32(trial.lastLuma);
  const __m128i one = _mm_set1_epi32(1);
  const __m128i minusOne = _mm_set1_epi32(-1);
  const __m128i zero = _mm_setzero_si128();
  const __m128i below = _mm_add_epi32(first, _mm256_cvttpd_epi32(steps));
  // A luma not stored gives way to the next one down (up at the first).
  __m128i low = _mm_min_epi32(_mm_max_epi32(below, first), last);
  const __m128i lowMissing =
      _mm_cmpeq_epi32(_mm_i32gather_epi32(trial.stored, low, 4), zero);
  const __m128i lowStep = _mm_blendv_epi8(one, minusOne, _mm_cmpgt_epi32(low, first));
  low = _mm_add_epi32(low, _mm_and_si128(lowMissing, lowStep));
  // And the one above to the next one up (down at the last).
  __m128i high = _mm_min_epi32(_mm_max_epi32(_mm_add_epi32(below, one), first), last);
  const __m128i highMissing =
      _mm_cmpeq_epi32(_mm_i32gather_epi32(trial.stored, high, 4), zero);
  const __m128i highStep = _mm_blendv_epi8(minusOne, one, _mm_cmplt_epi32(high, last));
  high = _mm_add_epi32(high, _mm_and_si128(highMissing, highStep));

  const int* shown = reinterpret_cast<const int*>(trial.shown);
  const __m128i lowError = squaredDifferences(_mm_i32gather_epi32(shown, low, 4), pixels);
  const __m128i highError =
      squaredDifferences(_mm_i32gather_epi32(shown, high, 4), pixels);
  // The higher luma only where it is strictly closer (where both are the
  // same luma, their errors are equal).
  const __m128i takeHigh = _mm_cmpgt_epi32(lowError, highError);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(chosen),
                   _mm_blendv_epi8(low, high, takeHigh));
  const __m128i error = _mm_min_epi32(lowError, highError);
  const __m128i pairs = _mm_add_epi32(error, _mm_shuffle_epi32(error, 0x4E));
  return _mm_cvtsi128_si32(_mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, 0xB1)));
}

}  // namespace vantrel::closest_samples_avx2
