// Whole program runs on generated WAV files: the sound that comes out of the
// movie database is decoded again and measured, so the tests see what a user
// would hear on the handheld.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "MovieSound.h"
#include "ProgramRun.h"
#include "RunFlow.h"
#include "audio/Resampler.h"
#include "database/DatabaseReader.h"
#include "support/EncodedClipWriter.h"

namespace vantrel {
namespace {

using test::Tone;

class EndToEndSoundTest : public ::testing::Test {
 protected:
  // Writes name as a 16-bit WAV of seconds of the tones; returns its path.
  std::string wav(const std::string& name, int rate, int channels, double seconds,
                  const std::vector<Tone>& tones) {
    const std::string path = program.file(name);
    EXPECT_TRUE(test::writePcm16Wav(path, rate, channels,
                                    test::toneSamples(rate, channels, seconds, tones)));
    return path;
  }

  // Converts the audio file alone with the flags; returns the database.
  DatabaseReader convertSound(const std::string& audio, std::vector<std::string> flags = {}) {
    flags.insert(flags.begin(), {"-audfile=" + audio, "-outfile=" + movie()});
    EXPECT_EQ(program.run(flags), kExitSuccess) << program.errors();
    EXPECT_EQ(program.errors(), "");
    DatabaseReader database;
    EXPECT_TRUE(database.load(movie())) << database.error();
    EXPECT_TRUE(database.structureProblems().empty());
    return database;
  }

  // The decoded sound of a database; its records must all be well formed.
  static test::DecodedSound soundOf(const DatabaseReader& database) {
    test::DecodedSound sound = test::decodeMovieSound(database);
    EXPECT_TRUE(sound.problems.empty()) << sound.problems.front();
    return sound;
  }

  std::string movie() const { return program.file("movie.pdb"); }

  test::ProgramRun program;
};

// The steady part of a one-second tone at 10000 samples per second: 8000
// samples, a whole number of periods of every tone used here.
constexpr int kSteadyStart = 1000;
constexpr int kSteadyCount = 8000;

TEST_F(EndToEndSoundTest, OneKilohertzAt44100StereoComesOutAtOneKilohertzBoostedByHalf) {
  const DatabaseReader database =
      convertSound(wav("tone.wav", 44100, 2, 1.0, {{1000.0, 0.4}}));
  const test::DecodedSound sound = soundOf(database);
  ASSERT_EQ(sound.rate, 10000);
  ASSERT_EQ(sound.samples.size(), 32768u);
  EXPECT_EQ(test::strongestFrequency(sound.samples, kSteadyStart, kSteadyCount, 10000, 100.0,
                                     4900.0, 100.0),
            1000.0);
  // The default boost is 150 %.
  EXPECT_NEAR(test::toneAmplitude(sound.samples, kSteadyStart, kSteadyCount, 1000.0, 10000) /
                  0.4,
              1.5, 0.03);
  // Nothing else of weight: the tone carries the whole level.
  EXPECT_NEAR(test::acLevel(sound.samples, kSteadyStart, kSteadyCount), 0.6 / std::sqrt(2.0),
              0.01);
}

TEST_F(EndToEndSoundTest, ALawToneHasTheLevelOfTheSameToneInPcm) {
  for (const int channels : {1, 2}) {
    const auto samples = test::toneSamples(22050, channels, 1.0, {{1000.0, 0.4}});
    const std::string aLaw = program.file("alaw.wav");
    ASSERT_TRUE(test::writePcm16Wav(aLaw, 22050, channels, samples, true));
    const double aLawLevel = test::toneAmplitude(soundOf(convertSound(aLaw)).samples,
                                                 kSteadyStart, kSteadyCount, 1000.0, 10000);
    const std::string pcm = program.file("pcm.wav");
    ASSERT_TRUE(test::writePcm16Wav(pcm, 22050, channels, samples));
    const double pcmLevel = test::toneAmplitude(soundOf(convertSound(pcm)).samples,
                                                kSteadyStart, kSteadyCount, 1000.0, 10000);
    EXPECT_NEAR(pcmLevel, 0.6, 0.02) << channels;
    EXPECT_NEAR(aLawLevel / pcmLevel, 1.0, 0.01) << channels;
  }
}

TEST_F(EndToEndSoundTest, AudioboostOfOneHundredKeepsTheLevel) {
  const DatabaseReader database =
      convertSound(wav("tone.wav", 44100, 2, 1.0, {{1000.0, 0.4}}), {"-audioboost=100"});
  const test::DecodedSound sound = soundOf(database);
  EXPECT_NEAR(test::toneAmplitude(sound.samples, kSteadyStart, kSteadyCount, 1000.0, 10000) /
                  0.4,
              1.0, 0.03);
}

TEST_F(EndToEndSoundTest, SixKilohertzIsRemovedInStandardMode) {
  const DatabaseReader database =
      convertSound(wav("high.wav", 44100, 2, 1.0, {{6000.0, 0.4}}));
  const test::DecodedSound sound = soundOf(database);
  ASSERT_EQ(sound.rate, 10000);
  // Above half the 10000 Hz output rate: removed, not folded down to 4 kHz.
  // Kept, the boosted tone would be 0.6 (0.42 RMS); what is left is below 1 %.
  EXPECT_LT(test::acLevel(sound.samples, kSteadyStart, kSteadyCount), 0.006);
  EXPECT_LT(test::toneAmplitude(sound.samples, kSteadyStart, kSteadyCount, 4000.0, 10000),
            0.006);
}

TEST_F(EndToEndSoundTest, SixKilohertzIsKeptWithHifi) {
  const DatabaseReader database =
      convertSound(wav("high.wav", 44100, 2, 1.0, {{6000.0, 0.4}}), {"-hifi"});
  const test::DecodedSound sound = soundOf(database);
  ASSERT_EQ(sound.rate, 20000);
  // 2 x 8000 samples at 20000 per second: a whole number of 6 kHz periods.
  EXPECT_EQ(test::strongestFrequency(sound.samples, 2000, 16000, 20000, 500.0, 9500.0, 500.0),
            6000.0);
  EXPECT_NEAR(test::toneAmplitude(sound.samples, 2000, 16000, 6000.0, 20000) / 0.4, 1.5, 0.05);
}

TEST_F(EndToEndSoundTest, PrefilterRemovesFiftyHertzAndKeepsOneKilohertz) {
  const std::string both = wav("hum.wav", 44100, 2, 1.0, {{50.0, 0.25}, {1000.0, 0.25}});
  const test::DecodedSound filtered = soundOf(convertSound(both, {"-audiofilter"}));
  // The 200 Hz band edge of a 501-tap filter leaves under a tenth of the hum.
  EXPECT_LT(test::toneAmplitude(filtered.samples, kSteadyStart, kSteadyCount, 50.0, 10000),
            0.0375);
  EXPECT_NEAR(
      test::toneAmplitude(filtered.samples, kSteadyStart, kSteadyCount, 1000.0, 10000),
      0.375, 0.015);

  const test::DecodedSound plain = soundOf(convertSound(both, {"-noaudiofilter"}));
  EXPECT_NEAR(test::toneAmplitude(plain.samples, kSteadyStart, kSteadyCount, 50.0, 10000),
              0.375, 0.015);
  EXPECT_NEAR(test::toneAmplitude(plain.samples, kSteadyStart, kSteadyCount, 1000.0, 10000),
              0.375, 0.015);
}

TEST_F(EndToEndSoundTest, EightKilohertzIsUpsampledWithHifi) {
  const DatabaseReader database =
      convertSound(wav("phone.wav", 8000, 1, 1.0, {{1000.0, 0.4}}), {"-hifi"});
  const test::DecodedSound sound = soundOf(database);
  ASSERT_EQ(sound.rate, 20000);
  ASSERT_EQ(sound.samples.size(), 32768u);
  EXPECT_EQ(test::strongestFrequency(sound.samples, 2000, 16000, 20000, 100.0, 9900.0, 100.0),
            1000.0);
  EXPECT_NEAR(test::toneAmplitude(sound.samples, 2000, 16000, 1000.0, 20000) / 0.4, 1.5, 0.03);
  // One second of source fills 20000 output samples: 8000 source samples per
  // 20000 output samples, a step of 26214 / 65536 source samples.
  EXPECT_NEAR(test::lastSampleReaching(sound.samples, 0.3), 20000, 10);
  EXPECT_EQ(mulDiv(8000, 65536, 20000), 26214);
}

TEST_F(EndToEndSoundTest, LoudInputBoostedThreefoldClipsToTheExtremes) {
  const DatabaseReader database =
      convertSound(wav("loud.wav", 44100, 2, 1.0, {{1000.0, 0.9}}), {"-audioboost=300"});
  const test::DecodedSound sound = soundOf(database);
  const auto steady = sound.pcmBytes.begin() + kSteadyStart;
  const auto steadyEnd = steady + kSteadyCount;
  EXPECT_EQ(*std::min_element(steady, steadyEnd), 0);
  EXPECT_EQ(*std::max_element(steady, steadyEnd), 255);
  // A sine 2.7 times full scale spends most of each period beyond it.
  EXPECT_GT(std::count(steady, steadyEnd, 0), kSteadyCount / 4);
  EXPECT_GT(std::count(steady, steadyEnd, 255), kSteadyCount / 4);
}

TEST_F(EndToEndSoundTest, SilenceAfterTheSoundFillsTheLastRecord) {
  const DatabaseReader database =
      convertSound(wav("short.wav", 44100, 2, 1.0, {{1000.0, 0.4}}));
  const test::DecodedSound sound = soundOf(database);
  // One second of sound, then silence to the end of the 32768-sample record.
  EXPECT_TRUE(std::all_of(sound.pcmBytes.begin() + 10500, sound.pcmBytes.end(),
                          [](std::uint8_t byte) { return byte == 128; }));
}

// Of two audio streams, the one the file marks as default is what players
// play; -audiotrack picks either by number, and one past them is refused
// before anything is opened.
TEST_F(EndToEndSoundTest, DefaultMarkedAudioStreamIsTakenAndAudiotrackPicksEither) {
  test::EncodedClip shape;
  shape.container = "matroska";
  shape.video = test::ClipVideo::None;
  shape.audio = test::ClipAudio::Pcm16;
  shape.sampleRate = 22050;
  shape.channels = 1;
  shape.audioSeconds = 1.0;
  shape.toneHz = 500.0;
  shape.toneAmplitude = 0.4;
  shape.secondToneHz = 1500.0;
  shape.secondIsDefault = true;
  const std::string clip = program.file("two.mkv");
  ASSERT_EQ(test::writeEncodedClip(clip, shape), "");
  const auto heardFrequency = [&](std::vector<std::string> flags) {
    const test::DecodedSound sound = soundOf(convertSound(clip, std::move(flags)));
    return test::strongestFrequency(sound.samples, kSteadyStart, kSteadyCount, 10000, 100.0,
                                    4900.0, 100.0);
  };
  EXPECT_EQ(heardFrequency({}), 1500.0);
  EXPECT_EQ(heardFrequency({"-audiotrack=1"}), 500.0);
  EXPECT_EQ(heardFrequency({"-audiotrack=2"}), 1500.0);

  std::remove(movie().c_str());
  EXPECT_EQ(program.run({"-audfile=" + clip, "-outfile=" + movie(), "-audiotrack=3"}),
            kExitFailure);
  EXPECT_NE(program.errors().find("asks for audio stream 3, but the audio file has 2 audio "
                                  "streams"),
            std::string::npos)
      << program.errors();
  EXPECT_EQ(program.output().find("Performing"), std::string::npos);
  EXPECT_FALSE(DatabaseReader().load(movie()));
}

}  // namespace
}  // namespace vantrel
