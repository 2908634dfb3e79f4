#include "audio/Resampler.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "threads/WorkerPool.h"

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

std::int64_t startReadPosition(int firstSample, int sourceRate, int startOffsetMs,
                               int extraMicroseconds) {
  if (extraMicroseconds != 0) {
    const std::int64_t micros = std::int64_t{startOffsetMs} * 1000 + extraMicroseconds;
    return firstSample + (micros * sourceRate + 500000) / 1000000;
  }
  // 0.001f, not 0.001: the offset factor is a single-precision constant.
  const ExtendedFloat milliseconds = multiply(ExtendedFloat::fromDouble(sourceRate),
                                              ExtendedFloat::fromDouble(startOffsetMs));
  const ExtendedFloat offset = multiply(milliseconds, ExtendedFloat::fromDouble(0.001f));
  return firstSample + truncateToInteger(offset);
}

Resampler::Resampler(AudioStreamSource& audioSource,
                     const SampleConverter& frameConverter,
                     const SincFilterBank& filterBank, int bytesPerFrame,
                     std::int32_t stepPerSample, std::int64_t firstRead, std::int64_t end)
    : source(audioSource),
      converter(frameConverter),
      sums(filterBank.phase(0), kWindowSamples),
      frameBytes(bytesPerFrame),
      step(stepPerSample),
      nextRead(firstRead),
      endPosition(end),
      window(kWindowSamples, 0.0f),
      raw(static_cast<std::size_t>(bytesPerFrame) * kWindowSamples) {}

FilterSum::Output Resampler::filterAt(std::int64_t p) const {
  return {sums, window.data(), static_cast<int>(p >> 16),
          static_cast<int>((p >> 12) & 15)};
}

int Resampler::samplesInWindow(int wanted) const {
  // Sample k reads the window from (position + k step) >> 16 on, which must
  // leave kFilterTaps valid samples: position + k step < limit.
  const std::int64_t limit = static_cast<std::int64_t>(valid - kFilterTaps + 1) << 16;
  if (position >= limit) return 0;
  return static_cast<int>(std::min<std::int64_t>(wanted, (limit - position + step - 1) / step));
}

int Resampler::nextBlockTo(int count, SampleStore store, const void* storeAddress) {
  // Below this many samples a thread costs more than it saves.
  constexpr int kSamplesPerThread = 512;
  int done = 0;  // samples stored so far
  while (count > 0) {
    int ready = samplesInWindow(count);
    if (ready == 0) {
      if (int code = refill(); code != 0) return code;
      // A refilled window is full and the position lies in its first sample,
      // so at least one sample is computed, as next() computes it.
      ready = std::max(samplesInWindow(count), 1);
    }
    const std::int64_t start = position;
    const auto compute = [this, store, storeAddress, done, start](int from, int to) {
      for (int k = from; k < to; ++k) {
        store(storeAddress, done + k, filterAt(start + std::int64_t(k) * step));
      }
    };
    const int threads = workers == nullptr ? 1 : workers->threadCount();
    const int parts = std::clamp(ready / kSamplesPerThread, 1, threads);
    if (parts == 1) {
      compute(0, ready);
    } else {
      workers->run(parts, [&compute, ready, parts](int part) {
        compute(int(std::int64_t(ready) * part / parts),
                int(std::int64_t(ready) * (part + 1) / parts));
      });
    }
    position += std::int64_t(ready) * step;
    done += ready;
    count -= ready;
  }
  return 0;
}

int Resampler::next(ExtendedFloat& y) {
  std::int64_t first = position >> 16;
  if (valid - first < kFilterTaps) {
    if (int code = refill(); code != 0) return code;
    // The refill moved the window: the filter starts from the shifted position.
    first = position >> 16;
  }
  y = filterAt(position).exact();
  position += step;
  return 0;
}

int Resampler::refill() {
  const int first = static_cast<int>(position >> 16);
  if (first >= 1) {
    // Keep the samples still ahead of the filter and drop those behind it.
    std::copy(window.begin() + first, window.begin() + valid, window.begin());
    sums.shifted(first, valid);
    position -= static_cast<std::int64_t>(first) << 16;
    valid -= first;
  }
  const int kept = valid;
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
  sums.stored(window.data(), kept, kWindowSamples);
  valid = kWindowSamples;
  return 0;
}

}  // namespace vantrel
