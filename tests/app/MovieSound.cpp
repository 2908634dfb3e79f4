#include "MovieSound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <span>
#include <string>

#include "audio/G711Expansion.h"
#include "audio/ImaAdpcmCoder.h"
#include "database/DatabaseReader.h"

namespace vantrel::test {

namespace {

constexpr int kPcmRecordBytes = 32768;
constexpr int kAdpcmCodeBytes = 32768;
constexpr int kAdpcmRecordBytes = kAdpcmCodeBytes + 4;
constexpr int kAdpcmRecordSamples = 2 * kAdpcmCodeBytes;

void put16(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(std::uint8_t(value));
  out.push_back(std::uint8_t(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

void putTag(std::vector<std::uint8_t>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

void decodePcmRecord(std::span<const std::uint8_t> record, DecodedSound& sound) {
  for (std::uint8_t byte : record) {
    sound.pcmBytes.push_back(byte);
    sound.samples.push_back((byte - 127.5) / 127.5);
  }
}

void decodeAdpcmRecord(std::span<const std::uint8_t> record, int index, AdpcmState& state,
                       DecodedSound& sound) {
  std::vector<std::int16_t> decoded(kAdpcmRecordSamples);
  decodeAdpcm(record.data(), decoded.data(), kAdpcmRecordSamples, state);
  for (int j = 0; j < kAdpcmRecordSamples; ++j) {
    // Odd samples of a record were coded with their sign turned.
    const double value = decoded[std::size_t(j)] / 32767.0;
    sound.samples.push_back(j % 2 == 1 ? -value : value);
  }
  const std::uint8_t* trailer = record.data() + kAdpcmCodeBytes;
  const auto predictor = std::int16_t((trailer[2] << 8) | trailer[3]);
  if (trailer[0] != 0 || trailer[1] != std::uint8_t(state.stepIndex) ||
      predictor != state.predictor) {
    sound.problems.push_back("record " + std::to_string(index) +
                             ": trailer differs from the coder state");
  }
}

}  // namespace

std::vector<std::int16_t> toneSamples(int rate, int channels, double seconds,
                                      const std::vector<Tone>& tones) {
  const int frames = static_cast<int>(std::lround(seconds * rate));
  std::vector<std::int16_t> samples;
  samples.reserve(std::size_t(frames) * std::size_t(channels));
  for (int n = 0; n < frames; ++n) {
    const double t = double(n) / rate;
    double value = 0.0;
    for (const Tone& tone : tones) {
      if (t < tone.startSeconds) continue;
      value += tone.amplitude *
               std::sin(2.0 * std::numbers::pi * tone.hz * (t - tone.startSeconds));
    }
    const double scaled = std::clamp(std::round(value * 32767.0), -32768.0, 32767.0);
    for (int c = 0; c < channels; ++c) samples.push_back(static_cast<std::int16_t>(scaled));
  }
  return samples;
}

bool writePcm16Wav(const std::string& path, int rate, int channels,
                   const std::vector<std::int16_t>& frames, bool aLaw) {
  const unsigned bytesPerSample = aLaw ? 1 : 2;
  const std::uint32_t dataBytes = std::uint32_t(frames.size() * bytesPerSample);
  std::vector<std::uint8_t> out;
  putTag(out, "RIFF");
  put32(out, 4 + 8 + 16 + 8 + dataBytes);
  putTag(out, "WAVE");
  putTag(out, "fmt ");
  put32(out, 16);
  put16(out, aLaw ? 6 : 1);  // A-law or PCM
  put16(out, unsigned(channels));
  put32(out, std::uint32_t(rate));
  put32(out, std::uint32_t(rate * channels * bytesPerSample));  // bytes per second
  put16(out, unsigned(channels) * bytesPerSample);              // block align
  put16(out, 8 * bytesPerSample);                               // bits per sample
  putTag(out, "data");
  put32(out, dataBytes);
  for (std::int16_t sample : frames) {
    if (!aLaw) {
      put16(out, std::uint16_t(sample));
      continue;
    }
    // The code whose expansion lies nearest the sample.
    int best = 0;
    for (int code = 1; code < 256; ++code) {
      if (std::abs(expandALaw(std::uint8_t(code)) - sample) <
          std::abs(expandALaw(std::uint8_t(best)) - sample)) {
        best = code;
      }
    }
    out.push_back(std::uint8_t(best));
  }

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                       &std::fclose);
  if (!file) return false;
  return std::fwrite(out.data(), 1, out.size(), file.get()) == out.size();
}

DecodedSound decodeMovieSound(const DatabaseReader& database) {
  DecodedSound sound;
  MovieHeaderView header;
  if (!database.movieHeader(header)) {
    sound.problems.push_back("record 0 unreadable");
    return sound;
  }
  if (header.firstAudioRecord == 0) return sound;
  sound.rate = header.audioFormat == 2 ? 20000 : 10000;
  const bool adpcm = header.audioFormat == 1;
  const std::size_t expectedSize = adpcm ? kAdpcmRecordBytes : kPcmRecordBytes;
  AdpcmState state;
  for (int index = header.firstAudioRecord; index < database.recordCount; ++index) {
    const std::span<const std::uint8_t> record = database.record(index);
    if (record.size() != expectedSize) {
      sound.problems.push_back("record " + std::to_string(index) + " holds " +
                               std::to_string(record.size()) + " bytes");
      continue;
    }
    if (adpcm) {
      decodeAdpcmRecord(record, index, state, sound);
    } else {
      decodePcmRecord(record, sound);
    }
  }
  return sound;
}

double toneAmplitude(const std::vector<double>& samples, int start, int count, double hz,
                     int rate) {
  double re = 0.0;
  double im = 0.0;
  for (int j = 0; j < count; ++j) {
    const double angle = 2.0 * std::numbers::pi * hz * j / rate;
    re += samples[std::size_t(start + j)] * std::cos(angle);
    im += samples[std::size_t(start + j)] * std::sin(angle);
  }
  return 2.0 * std::hypot(re, im) / count;
}

double acLevel(const std::vector<double>& samples, int start, int count) {
  double mean = 0.0;
  for (int j = 0; j < count; ++j) mean += samples[std::size_t(start + j)];
  mean /= count;
  double power = 0.0;
  for (int j = 0; j < count; ++j) {
    const double d = samples[std::size_t(start + j)] - mean;
    power += d * d;
  }
  return std::sqrt(power / count);
}

double strongestFrequency(const std::vector<double>& samples, int start, int count,
                          int rate, double fromHz, double toHz, double stepHz) {
  double best = fromHz;
  double bestAmplitude = -1.0;
  for (double hz = fromHz; hz <= toHz + stepHz / 2; hz += stepHz) {
    const double amplitude = toneAmplitude(samples, start, count, hz, rate);
    if (amplitude > bestAmplitude) {
      bestAmplitude = amplitude;
      best = hz;
    }
  }
  return best;
}

int firstSampleReaching(const std::vector<double>& samples, int start, double level) {
  for (std::size_t j = std::size_t(start); j < samples.size(); ++j) {
    if (std::fabs(samples[j]) >= level) return static_cast<int>(j);
  }
  return -1;
}

int lastSampleReaching(const std::vector<double>& samples, double level) {
  for (std::size_t j = samples.size(); j > 0; --j) {
    if (std::fabs(samples[j - 1]) >= level) return static_cast<int>(j - 1);
  }
  return -1;
}

}  // namespace vantrel::test
