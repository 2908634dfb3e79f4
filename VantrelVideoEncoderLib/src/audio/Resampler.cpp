#include "audio/Resampler.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrel {

std::int32_t mulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t magnitude = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
  const std::int64_t quotient = (product < 0) != (c < 0) ? -magnitude : magnitude;
  if (quotient > std::numeric_limits<std::int32_t>::max() ||
      quotient < std::numeric_limits<std::int32_t>::min()) {
    return -1;
  }
  return static_cast<std::int32_t>(quotient);
}

std::int64_t startReadPosition(int firstSample, int sourceRate, int startOffsetMs) {
  // 0.001f, not 0.001: the offset factor is a single-precision constant.
  const long double offset =
      static_cast<long double>(sourceRate) * startOffsetMs * static_cast<long double>(0.001f);
  return firstSample + static_cast<std::int64_t>(std::trunc(offset));
}

Resampler::Resampler(AudioStreamSource& audioSource, const SampleConverter& frameConverter,
                     const SincFilterBank& filterBank, int bytesPerFrame,
                     std::int32_t stepPerSample, std::int64_t firstRead, std::int64_t end)
    : source(audioSource),
      converter(frameConverter),
      filter(filterBank),
      frameBytes(bytesPerFrame),
      step(stepPerSample),
      nextRead(firstRead),
      endPosition(end),
      window(kWindowSamples, 0.0f),
      raw(static_cast<std::size_t>(bytesPerFrame) * kWindowSamples) {}

int Resampler::next(long double& y) {
  std::int64_t first = position >> 16;
  if (valid - first < kFilterTaps) {
    if (int code = refill(); code != 0) return code;
    // The refill moved the window: the filter starts from the shifted position.
    first = position >> 16;
  }
  const float* samples = window.data() + first;
  const float* taps = filter.phase(static_cast<int>((position >> 12) & 15));
  // Products of two floats are exact in long double; only the sum rounds.
  long double sum = 0.0L;
  for (int t = 0; t < kFilterTaps; ++t) {
    sum += static_cast<long double>(samples[t]) * taps[t];
  }
  y = sum;
  position += step;
  return 0;
}

int Resampler::refill() {
  const int first = static_cast<int>(position >> 16);
  if (first >= 1) {
    // Keep the samples still ahead of the filter and drop those behind it.
    std::copy(window.begin() + first, window.begin() + valid, window.begin());
    position -= static_cast<std::int64_t>(first) << 16;
    valid -= first;
  }
  const std::int64_t wanted =
      std::min<std::int64_t>(kWindowSamples - valid, endPosition - nextRead);
  if (wanted > 0) {
    const int count = static_cast<int>(wanted);
    int bytesRead = 0;
    int samplesRead = 0;
    const int code = source.read(static_cast<int>(nextRead), count, raw.data(),
                                 count * frameBytes, bytesRead, samplesRead);
    if (code != 0) return code;
    // A source may deliver less than asked for, never more than the window holds.
    samplesRead = std::clamp(samplesRead, 0, count);
    converter.convert(raw.data(), samplesRead, window.data() + valid);
    nextRead += samplesRead;
    valid += samplesRead;
  }
  std::fill(window.begin() + valid, window.end(), 0.0f);
  valid = kWindowSamples;
  return 0;
}

}  // namespace vantrel
