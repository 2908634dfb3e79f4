// Whole program runs that name only an audio file: the sound-only database
// ('Wave') and the console summary, from generated WAV files.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "MovieSound.h"
#include "ProgramRun.h"
#include "RunFlow.h"
#include "database/DatabaseReader.h"

namespace vantrel {
namespace {

using test::Tone;

class SoundOnlyRunTest : public ::testing::Test {
 protected:
  // A mono 16-bit WAV of seconds of a 1 kHz tone at 8000 per second.
  std::string tone(double seconds) {
    const std::string path = program.file("tone.wav");
    EXPECT_TRUE(test::writePcm16Wav(path, 8000, 1,
                                    test::toneSamples(8000, 1, seconds, {{1000.0, 0.4}})));
    return path;
  }

  // Runs the program on the audio file with the flags; loads the database.
  DatabaseReader convert(const std::string& audio, std::vector<std::string> flags = {},
                         const std::string& errors = "") {
    flags.insert(flags.begin(), {"-audfile=" + audio, "-outfile=" + movie()});
    EXPECT_EQ(program.run(flags), kExitSuccess) << program.errors();
    EXPECT_EQ(program.errors(), errors);
    DatabaseReader database;
    EXPECT_TRUE(database.load(movie())) << database.error();
    EXPECT_TRUE(database.structureProblems().empty());
    return database;
  }

  static MovieHeaderView headerOf(const DatabaseReader& database) {
    MovieHeaderView header;
    EXPECT_TRUE(database.movieHeader(header));
    return header;
  }

  std::string movie() const { return program.file("tune.pdb"); }

  test::ProgramRun program;
};

TEST_F(SoundOnlyRunTest, TenSecondsMonoMakeAWaveDatabaseOfFourRecords) {
  const DatabaseReader database = convert(tone(10.0));
  EXPECT_EQ(fourCCText(database.type), "Wave");
  EXPECT_EQ(fourCCText(database.creator), "VnTr");
  EXPECT_EQ(database.name, "tune");
  ASSERT_EQ(database.recordCount, 1 + 4);
  const MovieHeaderView header = headerOf(database);
  EXPECT_EQ(header.frameCount, 100);  // tenths of a second
  EXPECT_EQ(header.firstAudioRecord, 1);
  EXPECT_EQ(header.audioFormat, 0);
  EXPECT_EQ(header.colourMode, 2);
  EXPECT_EQ(header.framesPerSecond, 10);
  EXPECT_EQ(header.framePeriodMs, 100);
  EXPECT_EQ(header.frameWidth, 0);
  EXPECT_EQ(header.flags, 4 | 2);  // always set, has sound
  // The audio records follow record 0 (44 bytes and three empty texts) directly.
  EXPECT_EQ(database.recordOffset(0), 78u + 8 * 5);
  EXPECT_EQ(database.recordOffset(1), database.recordOffset(0) + 47);
  for (int index = 1; index <= 4; ++index) {
    EXPECT_EQ(database.record(index).size(), 32768u) << "record " << index;
  }
  EXPECT_EQ(database.bytes().size(), database.recordOffset(4) + 32768u);
}

TEST_F(SoundOnlyRunTest, TheSummaryShowsTenthsAtTenFramesPerSecondAndFullQuality) {
  convert(tone(10.0));
  EXPECT_NE(program.output().find("\nAudio encoding complete.\n"
                                  "\nEncode complete.  Summary:\n"
                                  "\tDatabase name:     tune\n"
                                  "\tFrame Rate:        10 fps\n"
                                  "\tAverage Quality:   100.0%\n"
                                  "\tTotal frame Count: 100\n"
                                  "\tOutput file size:  131237 bytes\n\n"),
            std::string::npos)
      << program.output();
  EXPECT_NE(program.output().find("\rAudio block 4 of 4 encoded"), std::string::npos);
}

TEST_F(SoundOnlyRunTest, AdpcmTakesTwoRecordsOfCodesAndCoderState) {
  const DatabaseReader database = convert(tone(10.0), {"-adpcm"});
  ASSERT_EQ(database.recordCount, 1 + 2);
  EXPECT_EQ(headerOf(database).audioFormat, 1);
  EXPECT_EQ(database.record(1).size(), 32772u);
  EXPECT_EQ(database.record(2).size(), 32772u);
  const test::DecodedSound sound = test::decodeMovieSound(database);
  EXPECT_TRUE(sound.problems.empty()) << sound.problems.front();
  ASSERT_EQ(sound.samples.size(), 2u * 65536);
  // Decoded, and every second sample turned back, the tone is 1 kHz again at
  // the default boost, in both records.
  for (int start : {1000, 70000}) {
    EXPECT_EQ(test::strongestFrequency(sound.samples, start, 8000, 10000, 100.0, 4900.0,
                                       100.0),
              1000.0);
    EXPECT_NEAR(test::toneAmplitude(sound.samples, start, 8000, 1000.0, 10000), 0.6, 0.02);
  }
  // The sound ends after 100000 samples; silence codes to nearly nothing.
  EXPECT_LT(test::acLevel(sound.samples, 110000, 20000), 0.002);
}

TEST_F(SoundOnlyRunTest, HifiTakesSevenRecords) {
  // Hi-fi wins over ADPCM, and one line says so.
  const DatabaseReader database = convert(
      tone(10.0), {"-hifi", "-adpcm"},
      "vantrel: Warning: high-fidelity sound is stored as 8-bit PCM; the ADPCM "
      "compression choice is not used.\n    - audio file \"" +
          program.file("tone.wav") + "\"\n    - output file \"" + movie() + "\"\n");
  ASSERT_EQ(database.recordCount, 1 + 7);
  EXPECT_EQ(headerOf(database).audioFormat, 2);
  for (int index = 1; index <= 7; ++index) {
    EXPECT_EQ(database.record(index).size(), 32768u) << "record " << index;
  }
}

TEST_F(SoundOnlyRunTest, AFloatWavIsTakenByTheMovieKindWithTheSameDuration) {
  // The AVI kind refuses float samples; the movie kind decodes them.
  const std::string path = program.file("float.wav");
  test::WavClip clip;
  clip.sampleRate = 22050;
  clip.format = test::StoredSampleFormat::Float32;
  clip.sampleFrames = 22050 * 10;
  ASSERT_TRUE(test::writeWav(path, clip));
  EXPECT_EQ(program.audioAvi.open(path.c_str()), AudioStreamSourceAVI::kCompressedAudio);
  program.audioAvi.close();
  const DatabaseReader database = convert(path);
  ASSERT_EQ(database.recordCount, 1 + 4);
  EXPECT_EQ(headerOf(database).frameCount, 100);
  const test::DecodedSound sound = test::decodeMovieSound(database);
  ASSERT_EQ(sound.samples.size(), 4u * 32768);
  // A 1 kHz tone of half full scale, boosted by half.
  EXPECT_EQ(test::strongestFrequency(sound.samples, 50000, 8000, 10000, 100.0, 4900.0, 100.0),
            1000.0);
  EXPECT_NEAR(test::toneAmplitude(sound.samples, 50000, 8000, 1000.0, 10000), 0.75, 0.03);
  EXPECT_NEAR(test::lastSampleReaching(sound.samples, 0.3), 100000, 10);
}

TEST_F(SoundOnlyRunTest, AVideoFileWithoutVideoGivesASoundOnlyDatabaseWithAWarning) {
  const std::string audio = tone(10.0);
  // The warning is on the error stream, with the files it concerns.
  const DatabaseReader database = convert(
      audio, {"-vidfile=" + audio},
      "vantrel: Warning: the video file has no video; the output movie will not have "
      "video.\n    - video file \"" +
          audio + "\"\n    - audio file \"" + audio + "\"\n    - output file \"" +
          movie() + "\"\n");
  EXPECT_EQ(program.output().find("Warning"), std::string::npos);
  EXPECT_EQ(fourCCText(database.type), "Wave");
  EXPECT_EQ(database.recordCount, 1 + 4);
  EXPECT_EQ(headerOf(database).frameCount, 100);
}

TEST_F(SoundOnlyRunTest, StartDurationAndFileSizeTakeTheirPartOfTheSound) {
  // 10 s whose beep starts at 6 s. The part from 5 s for 3 s: 30 tenths, the
  // beep 1.0 s in (10000 samples a second), silence after 3.0 s.
  const std::string audio = program.file("beep.wav");
  ASSERT_TRUE(test::writePcm16Wav(audio, 8000, 1,
                                  test::toneSamples(8000, 1, 10.0, {{1000.0, 0.4, 6.0}})));
  const std::vector<std::string> part{"-start=5", "-duration=0:03", "-audioboost=100"};
  const DatabaseReader database = convert(audio, part);
  EXPECT_EQ(headerOf(database).frameCount, 30);
  ASSERT_EQ(database.recordCount, 1 + 1);
  const test::DecodedSound sound = test::decodeMovieSound(database);
  EXPECT_NEAR(test::firstSampleReaching(sound.samples, 0, 0.2), 10000, 4);
  EXPECT_NEAR(test::lastSampleReaching(sound.samples, 0.2), 30000, 4);

  // Its one size fits; a byte less is refused with that size.
  const std::size_t bytes = database.bytes().size();
  std::vector<std::string> sized = part;
  sized.push_back("-filesize=" + std::to_string(bytes));
  EXPECT_EQ(convert(audio, sized).bytes().size(), bytes);
  sized.back() = "-filesize=" + std::to_string(bytes - 1);
  sized.insert(sized.begin(), {"-audfile=" + audio, "-outfile=" + movie()});
  EXPECT_EQ(program.run(sized), kExitFailure);
  EXPECT_NE(program.errors().find("it takes " + std::to_string(bytes) +
                                  " bytes (33 K), the smallest size that fits"),
            std::string::npos)
      << program.errors();
  // A start at the end of the sound is refused.
  EXPECT_EQ(program.run({"-audfile=" + audio, "-outfile=" + movie(), "-start=10"}),
            kExitFailure);
  EXPECT_NE(program.errors().find("the start 0:10.000 is at or past the end of the sound "
                                  "(0:10.000)"),
            std::string::npos)
      << program.errors();
}

TEST_F(SoundOnlyRunTest, SoundShorterThanATenthHasNoAudioRecord) {
  const DatabaseReader database = convert(tone(0.05));
  ASSERT_EQ(database.recordCount, 1);
  const MovieHeaderView header = headerOf(database);
  EXPECT_EQ(header.frameCount, 0);
  EXPECT_EQ(header.firstAudioRecord, 1);
  // The one list entry, big-endian: record 0 at 78 + 8 = 86, then four zeros.
  const std::vector<std::uint8_t> entry(database.bytes().begin() + 78,
                                        database.bytes().begin() + 86);
  EXPECT_EQ(entry, (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x56, 0, 0, 0, 0}));
  EXPECT_EQ(database.bytes().size(), 86u + 47);
  EXPECT_NE(program.output().find("\tTotal frame Count: 0\n"), std::string::npos);
}

}  // namespace
}  // namespace vantrel
