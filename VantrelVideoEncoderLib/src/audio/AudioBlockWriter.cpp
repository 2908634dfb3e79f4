#include "audio/AudioBlockWriter.h"

#include <algorithm>
#include <new>
#include <optional>
#include <sys/types.h>
#include <vector>

#include "audio/ImaAdpcmCoder.h"
#include "audio/Resampler.h"
#include "audio/SampleQuantiser.h"
#include "audio/SampleConverter.h"
#include "audio/SincFilterBank.h"
#include "database/BigEndian.h"
#include "database/DatabaseFormat.h"

namespace vantrel {
namespace {

constexpr int kFailure = -1;

void report(const ProgressHook& hook, int event, int value, std::intptr_t data) {
  if (hook) hook(event, value, data);
}

// Fills one ADPCM record: 65536 samples coded into 32768 bytes, then the coder
// state after them (0, step index, predictor big-endian). Every second sample is
// inverted before coding, counting from the record's first sample.
int fillAdpcmBlock(Resampler& resampler, std::vector<std::int16_t>& samples,
                   std::uint8_t* block, AdpcmState& state) {
  std::int16_t* quantised = samples.data();
  const int code = resampler.nextBlock(
      kAdpcmSamplesPerRecord, [quantised](int j, const FilterSum::Output& y) {
        const bool inverted = (j & 1) != 0;
        quantised[j] = y.quantised([inverted](const ExtendedFloat& sum) {
          return quantiseSigned16(inverted ? -sum : sum);
        });
      });
  if (code != 0) return code;
  encodeAdpcm(samples.data(), block, kAdpcmSamplesPerRecord, state);
  std::uint8_t* trailer = block + kAdpcmCodeBytes;
  trailer[0] = 0;
  trailer[1] = static_cast<std::uint8_t>(state.stepIndex);
  putBigEndian16Signed(trailer + 2, state.predictor);
  return 0;
}

int fillPcmBlock(Resampler& resampler, std::uint8_t* block) {
  return resampler.nextBlock(kPcmSamplesPerRecord,
                             [block](int j, const FilterSum::Output& y) {
                               block[j] = y.quantised(quantiseUnsigned8);
                             });
}

int writeBlocks(std::FILE* file, AudioStreamSource& source,
                const AudioBlockParams& params, int blockCount,
                std::int32_t* recordOffsets, int firstIndex, int startOffsetMs,
                const std::atomic<bool>& abortRequested, const ProgressHook& reportProgress,
                WorkerPool* workers) {
  const int firstSample = source.firstSample();
  const std::int64_t endPosition = static_cast<std::int64_t>(firstSample) + source.sampleCount();
  report(reportProgress, kAudioBlockEvent, 0, blockCount);

  AudioStreamInfo info;
  if (source.getStreamInfo(info) != 0) return kFailure;
  const int sourceRate = info.samplesPerSecond;
  if (sourceRate <= 0) return kFailure;
  // A negative offset would read before the stream's first sample.
  const std::int64_t readPosition = std::max<std::int64_t>(
      startReadPosition(firstSample, sourceRate, startOffsetMs, params.startOffsetMicros),
      firstSample);
  const int outputRate = audioOutputRate(params);
  const std::optional<SampleConverter> converter = SampleConverter::forStream(info);
  if (!converter) return kFailure;
  const std::int32_t step = mulDiv(sourceRate, 65536, outputRate);
  if (step <= 0 || step > (kMaxRateRatio << 16)) return kFailure;

  const SincFilterBank filter(sourceRate, outputRate, params.audioPrefilter,
                              params.audioBoostOn, params.audioBoostPercent);
  Resampler resampler(source, *converter, filter, info.blockAlign, step, readPosition,
                      endPosition);
  resampler.setWorkers(workers);
  const bool adpcm = usesAdpcm(params);
  std::vector<std::int16_t> samples(adpcm ? kAdpcmSamplesPerRecord : 0);
  std::vector<std::uint8_t> block(static_cast<std::size_t>(audioRecordBytes(params)));
  AdpcmState state;

  for (int b = 0; b < blockCount; ++b) {
    if (abortRequested) return kFailure;
    recordOffsets[firstIndex + 2 * b] = static_cast<std::int32_t>(ftello(file));
    const int code = adpcm ? fillAdpcmBlock(resampler, samples, block.data(), state)
                           : fillPcmBlock(resampler, block.data());
    if (code != 0) return kFailure;
    // A record the file did not take ends the sound; the error indicator tells
    // the caller why.
    if (std::fwrite(block.data(), 1, block.size(), file) != block.size() ||
        std::ferror(file) != 0) {
      return kFailure;
    }
    report(reportProgress, kAudioBlockEvent, b + 1, blockCount);
  }
  report(reportProgress, kPhaseCompleteEvent, 1, 0);
  return 0;
}

}  // namespace

int audioOutputRate(const AudioBlockParams& params) {
  return params.hifiAudio ? 20000 : 10000;
}

bool usesAdpcm(const AudioBlockParams& params) {
  return params.adpcmAudio && !params.hifiAudio;
}

int audioRecordBytes(const AudioBlockParams& params) {
  return usesAdpcm(params) ? kAdpcmRecordSize : kPcmRecordSize;
}

int writeAudioBlocks(std::FILE* file, AudioStreamSource& source,
                     const AudioBlockParams& params, int blockCount,
                     std::int32_t* recordOffsets, int firstIndex, int startOffsetMs,
                     const std::atomic<bool>& abortRequested,
                     const ProgressHook& reportProgress, WorkerPool* workers) {
  // The working buffers are the only allocations; running out of memory ends the
  // call like any other failure instead of escaping into the encode driver.
  try {
    return writeBlocks(file, source, params, blockCount, recordOffsets, firstIndex,
                       startOffsetMs, abortRequested, reportProgress, workers);
  } catch (const std::bad_alloc&) {
    return kFailure;
  }
}

}  // namespace vantrel
