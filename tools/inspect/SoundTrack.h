#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {
class DatabaseReader;
struct MovieHeaderView;
}  // namespace vantrel

namespace vantrel::inspect {

// The sound of a movie database, decoded from its audio records.
struct SoundTrack {
  int sampleRate = 0;       // 10000 or 20000 samples per second
  int bitsPerSample = 8;    // 8: unsigned PCM records; 16: decoded ADPCM
  std::vector<std::uint8_t> pcm8;
  std::vector<std::int16_t> pcm16;
  int recordCount = 0;
  std::vector<std::string> problems;  // wrong record sizes, trailer mismatches
};

// Decodes records firstRecord to the database's last record as audio of format
// audioFormat (0 PCM 10000/s, 1 IMA ADPCM 10000/s, 2 PCM 20000/s). ADPCM records
// are decoded with one running coder state from (0, 0); every second sample of a
// record was inverted before coding and is turned back; each record's 4-byte
// trailer must equal the decoder's state after the record (a mismatch is a
// problem, and decoding goes on from the trailer's state, as a player that
// starts at that record would).
SoundTrack decodeSound(const DatabaseReader& reader, int firstRecord, int audioFormat);

// The frames per second of the movie of header: from its fine frame period,
// or its whole frames per second when it has none.
double movieFrameRate(const MovieHeaderView& header);

// The length in samples at sampleRate of the sound of the movie of header,
// which holds frameCount frames (0 for a sound-only database). The audio
// records are filled up to whole records; the sound ends with the last
// picture, or in a sound-only database after the duration its header records
// in tenths of a second. What lies past that is padding.
std::size_t movieSoundLength(const MovieHeaderView& header, int frameCount, int sampleRate);

// Drops the samples of track past the first sampleCount.
void cutSound(SoundTrack& track, std::size_t sampleCount);

// The bytes of a mono RIFF WAV file holding track (8-bit unsigned or 16-bit
// signed little-endian PCM at the track's rate).
std::vector<std::uint8_t> encodeWav(const SoundTrack& track);

// Writes encodeWav(track) to path; false when the file cannot be written.
bool writeWav(const std::string& path, const SoundTrack& track);

}  // namespace vantrel::inspect
