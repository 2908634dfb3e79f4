#include "SoundTrack.h"

#include <cmath>

#include "platform/FileReplacement.h"
#include "audio/ImaAdpcmCoder.h"
#include "database/BigEndian.h"
#include "database/DatabaseFormat.h"
#include "database/DatabaseReader.h"

namespace vantrel::inspect {

namespace {

void decodeAdpcmRecord(const std::uint8_t* record, int index, AdpcmState& state,
                       SoundTrack& track) {
  std::vector<std::int16_t> samples(kAdpcmSamplesPerRecord);
  decodeAdpcm(record, samples.data(), kAdpcmSamplesPerRecord, state);
  // The encoder inverted every second sample of a record before coding it.
  for (int j = 1; j < kAdpcmSamplesPerRecord; j += 2) {
    const int value = -samples[std::size_t(j)];
    samples[std::size_t(j)] = static_cast<std::int16_t>(value > 32767 ? 32767 : value);
  }
  track.pcm16.insert(track.pcm16.end(), samples.begin(), samples.end());

  const std::uint8_t* trailer = record + kAdpcmCodeBytes;
  const int stepIndex = trailer[1];
  const std::int16_t predictor = getBigEndian16Signed(trailer + 2);
  if (trailer[0] != 0 || stepIndex != state.stepIndex || predictor != state.predictor) {
    track.problems.push_back("audio record " + std::to_string(index) + ": trailer (step " +
                             std::to_string(stepIndex) + ", predictor " +
                             std::to_string(predictor) + ") differs from the decoder state (step " +
                             std::to_string(state.stepIndex) + ", predictor " +
                             std::to_string(state.predictor) + ")");
    state.stepIndex = static_cast<std::int8_t>(stepIndex > 88 ? 88 : stepIndex);
    state.predictor = predictor;
  }
}

void putTag(std::vector<std::uint8_t>& out, const char* tag) {
  for (; *tag != '\0'; ++tag) out.push_back(std::uint8_t(*tag));
}

void putLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

// The fine frame period counts 1/65536 of 0.1 millisecond.
constexpr double kFineUnitsPerSecond = 655360000.0;

}  // namespace

double movieFrameRate(const MovieHeaderView& header) {
  return header.finePeriod != 0 ? kFineUnitsPerSecond / header.finePeriod
                                : double(header.framesPerSecond);
}

std::size_t movieSoundLength(const MovieHeaderView& header, int frameCount, int sampleRate) {
  const double framesPerSecond = movieFrameRate(header);
  const double seconds = frameCount > 0 && framesPerSecond > 0.0
                             ? frameCount / framesPerSecond
                             : header.frameCount / 10.0;
  return std::size_t(std::llround(seconds * sampleRate));
}

void cutSound(SoundTrack& track, std::size_t sampleCount) {
  if (track.pcm16.size() > sampleCount) track.pcm16.resize(sampleCount);
  if (track.pcm8.size() > sampleCount) track.pcm8.resize(sampleCount);
}

SoundTrack decodeSound(const DatabaseReader& reader, int firstRecord, int audioFormat) {
  SoundTrack track;
  const bool adpcm = audioFormat == kAudioFormatAdpcm;
  track.sampleRate = audioFormat == kAudioFormatHifiPcm ? 20000 : 10000;
  track.bitsPerSample = adpcm ? 16 : 8;
  const std::size_t recordSize = adpcm ? kAdpcmRecordSize : kPcmRecordSize;
  AdpcmState state;
  for (int r = firstRecord; r < reader.recordCount; ++r) {
    const auto record = reader.record(r);
    ++track.recordCount;
    if (record.size() != recordSize) {
      track.problems.push_back("audio record " + std::to_string(r) + " has " +
                               std::to_string(record.size()) + " bytes, expected " +
                               std::to_string(recordSize));
      continue;
    }
    if (adpcm) {
      decodeAdpcmRecord(record.data(), r, state, track);
    } else {
      track.pcm8.insert(track.pcm8.end(), record.begin(), record.end());
    }
  }
  return track;
}

std::vector<std::uint8_t> encodeWav(const SoundTrack& track) {
  const int bytesPerSample = track.bitsPerSample / 8;
  const std::size_t dataBytes = track.bitsPerSample == 16 ? track.pcm16.size() * 2 : track.pcm8.size();
  std::vector<std::uint8_t> out;
  out.reserve(44 + dataBytes);
  putTag(out, "RIFF");
  putLittle(out, std::uint32_t(36 + dataBytes), 4);
  putTag(out, "WAVEfmt ");
  putLittle(out, 16, 4);                                              // fmt chunk size
  putLittle(out, 1, 2);                                               // PCM
  putLittle(out, 1, 2);                                               // mono
  putLittle(out, std::uint32_t(track.sampleRate), 4);                 // samples per second
  putLittle(out, std::uint32_t(track.sampleRate * bytesPerSample), 4);  // bytes per second
  putLittle(out, std::uint32_t(bytesPerSample), 2);                   // block align
  putLittle(out, std::uint32_t(track.bitsPerSample), 2);
  putTag(out, "data");
  putLittle(out, std::uint32_t(dataBytes), 4);
  if (track.bitsPerSample == 16) {
    for (std::int16_t s : track.pcm16) putLittle(out, static_cast<std::uint16_t>(s), 2);
  } else {
    out.insert(out.end(), track.pcm8.begin(), track.pcm8.end());
  }
  return out;
}

bool writeWav(const std::string& path, const SoundTrack& track) {
  const std::vector<std::uint8_t> bytes = encodeWav(track);
  return writeWholeFile(path, bytes.data(), bytes.size());
}

}  // namespace vantrel::inspect
