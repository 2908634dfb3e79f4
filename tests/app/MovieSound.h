#pragma once

// Sound in and out of a whole program run: writes 16-bit PCM WAV files made of
// sine tones, decodes the audio records of a written movie database back into
// samples the way the handheld plays them, and measures tones in the result.

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {
class DatabaseReader;
}

namespace vantrel::test {

// One sine component of a generated sound: frequency, amplitude as a fraction
// of full scale, and the time in seconds at which it starts (silence before).
struct Tone {
  double hz = 1000.0;
  double amplitude = 0.4;
  double startSeconds = 0.0;
};

// Interleaved signed 16-bit sample frames of seconds of sound at rate: the sum
// of the tones, the same in every channel, clipped to the 16-bit range.
std::vector<std::int16_t> toneSamples(int rate, int channels, double seconds,
                                      const std::vector<Tone>& tones);

// Writes a canonical RIFF WAV file (PCM, 16 bits) with the interleaved frames,
// or with aLaw each sample as the A-law code nearest it (8 bits). Returns false
// when the file cannot be written.
bool writePcm16Wav(const std::string& path, int rate, int channels,
                   const std::vector<std::int16_t>& frames, bool aLaw = false);

// The sound of a movie database as the player hears it.
struct DecodedSound {
  int rate = 0;                 // 10000 or 20000 samples per second
  std::vector<double> samples;  // -1..1, in playing order, all audio records
  std::vector<std::uint8_t> pcmBytes;  // the stored bytes of PCM records
  std::vector<std::string> problems;   // wrong record sizes, trailer mismatches
};

// Decodes the audio records (the header record's first audio record up to the
// last record) by the header's audio format: unsigned 8-bit PCM, 128 silence
// and 127.5 per unit; or IMA ADPCM with one coder state running from (0, 0)
// across the records, every second sample of a record turned back to its sign,
// 32767 per unit, and each record's trailer compared with the coder's state.
// A movie without sound gives no samples.
DecodedSound decodeMovieSound(const DatabaseReader& database);

// Amplitude (fraction of full scale) of the component at hz in count samples
// from start, by a single-bin Fourier sum.
double toneAmplitude(const std::vector<double>& samples, int start, int count, double hz,
                     int rate);

// Root mean square of count samples from start, their mean removed.
double acLevel(const std::vector<double>& samples, int start, int count);

// The frequency among fromHz, fromHz + stepHz, ... up to toHz whose component
// in the samples is strongest.
double strongestFrequency(const std::vector<double>& samples, int start, int count,
                          int rate, double fromHz, double toHz, double stepHz);

// Index of the first sample from start on whose magnitude reaches level, or
// -1 when none does.
int firstSampleReaching(const std::vector<double>& samples, int start, double level);

// Index of the last sample whose magnitude reaches level, or -1.
int lastSampleReaching(const std::vector<double>& samples, double level);

}  // namespace vantrel::test
