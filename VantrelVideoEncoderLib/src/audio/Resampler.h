#pragma once

#include <cstdint>
#include <vector>

#include "audio/FilterSum.h"
#include "audio/SampleConverter.h"
#include "audio/SincFilterBank.h"
#include "numeric/ExtendedFloat.h"
#include "sources/AudioStreamSource.h"

namespace vantrel {

class WorkerPool;

// a * b / c with the product formed in 64 bits and the quotient rounded to nearest
// (halves away from zero); -1 when c is 0 or the result does not fit in 32 bits.
std::int32_t mulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

// First source sample frame to read for a sound that starts startOffsetMs into the
// stream: firstSample + trunc(sourceRate * startOffsetMs * 0.001f), the products
// rounded to extended precision. With extraMicroseconds (0 to 999) the start lies
// that much later: firstSample + the source samples of the whole time, rounded
// to nearest, so a start between two milliseconds is met to within a sample.
std::int64_t startReadPosition(int firstSample, int sourceRate, int startOffsetMs,
                               int extraMicroseconds = 0);

// Largest ratio of source rate to output rate the resampler accepts: the filter
// must never step past the samples held in its window.
constexpr int kMaxRateRatio = 256;

// Streams output samples from an audio source: a window of mono source samples,
// refilled from the source in runs of up to kWindowSamples frames, is filtered
// by the polyphase bank at a 16.16 fixed-point position that advances by `step`
// source samples per output sample. The window starts with kLeadingZeros silent
// samples so that the first output sample is centred on the first input sample;
// past the end of the stream it holds silence. The source is never read at or past
// endPosition.
class Resampler {
 public:
  static constexpr int kWindowSamples = 32768;
  static constexpr int kLeadingZeros = (kFilterTaps - 1) / 2;

  // The references must outlive the resampler. frameBytes is the stream's blockAlign
  // (the byte count requested per frame); step is source samples per output sample
  // in 16.16 fixed point, at most kMaxRateRatio << 16. Allocation may throw
  // std::bad_alloc.
  Resampler(AudioStreamSource& audioSource, const SampleConverter& frameConverter,
            const SincFilterBank& filterBank, int bytesPerFrame, std::int32_t stepPerSample,
            std::int64_t firstRead, std::int64_t end);

  // Computes the next output sample (about -1..1, not clipped) into y, the filter
  // sum at extended precision (see FilterSum). Returns 0, or the source's nonzero
  // code when a read fails; the sample is then not valid.
  int next(ExtendedFloat& y);

  // Computes the next count output samples, exactly as count calls of next()
  // would, and hands each to store(index, y), index counting from 0 in this
  // call; y is a FilterSum::Output, whose quantised() finds a sample from
  // bounds of the sum and exact() the sum itself. The samples of each window
  // are shared among the threads of the worker pool (see setWorkers), and store
  // runs on the thread that computed the sample, once per index, so that it can
  // finish the sample (quantise it) where it is still in that processor's cache.
  // Returns 0, or the source's nonzero code when a read fails; the samples from
  // the failed read on are then not stored.
  template <typename Store>
  int nextBlock(int count, const Store& store) {
    const SampleStore callStore = [](const void* address, int index,
                                     const FilterSum::Output& y) {
      (*static_cast<const Store*>(address))(index, y);
    };
    return nextBlockTo(count, callStore, &store);
  }

  // The threads nextBlock shares its work with; the pool must outlive the
  // resampler's use of it. Null (the default) computes every sample on the
  // calling thread. The samples are the same whatever the pool.
  void setWorkers(WorkerPool* threads) { workers = threads; }

  // Next source frame to read.
  std::int64_t readPosition() const { return nextRead; }

 private:
  using SampleStore = void (*)(const void* storeAddress, int index,
                               const FilterSum::Output& y);
  int nextBlockTo(int count, SampleStore store, const void* storeAddress);
  int refill();
  // Output sample at the 16.16 window position p: the filter over the window's
  // samples from p's integer part, with the phase of its fraction.
  FilterSum::Output filterAt(std::int64_t p) const;
  // Samples computed before the filter would step past the valid window.
  int samplesInWindow(int wanted) const;

  AudioStreamSource& source;
  const SampleConverter& converter;
  FilterSum sums;
  int frameBytes;
  std::int32_t step;
  std::int64_t nextRead;
  std::int64_t endPosition;
  std::vector<float> window;      // kWindowSamples mono samples at the source rate
  std::vector<std::uint8_t> raw;  // undecoded frames of one read
  std::int64_t position = 0;      // P: 16.16 offset into window
  int valid = kLeadingZeros;      // L: samples of window that hold data
  WorkerPool* workers = nullptr;
};

}  // namespace vantrel
