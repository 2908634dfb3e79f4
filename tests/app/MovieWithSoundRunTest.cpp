// Whole program runs that make a movie with video and sound: where the audio
// records sit, what the header says about them, how many there are and where
// the sound starts, from generated AVI, WAV and MP4 files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "MovieSound.h"
#include "ProgramRun.h"
#include "RunFlow.h"
#include "database/DatabaseReader.h"
#include "support/EncodedClipWriter.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

using test::Tone;

// 41 source frames at 10 per second: a movie of 40 frames, 4 seconds.
constexpr int kSourceFrames = 41;
constexpr int kMovieFrames = 40;

class MovieWithSoundRunTest : public ::testing::Test {
 protected:
  // A small uncompressed AVI with video only.
  std::string video() {
    const std::string path = program.file("clip.avi");
    test::RawAviClip clip;
    clip.frames = kSourceFrames;
    EXPECT_TRUE(test::writeRawAvi(path, clip));
    return path;
  }

  // A 44100 Hz stereo WAV of seconds of the tones.
  std::string sound(double seconds, const std::vector<Tone>& tones) {
    const std::string path = program.file("sound.wav");
    EXPECT_TRUE(test::writePcm16Wav(path, 44100, 2,
                                    test::toneSamples(44100, 2, seconds, tones)));
    return path;
  }

  // Runs the program on the files with the flags; loads the database.
  DatabaseReader convert(const std::string& videoFile, const std::string& audioFile,
                         std::vector<std::string> flags = {}) {
    flags.insert(flags.begin(), {"-vidfile=" + videoFile, "-audfile=" + audioFile,
                                 "-outfile=" + movie(), "-framerate=10"});
    EXPECT_EQ(program.run(flags), kExitSuccess) << program.errors();
    EXPECT_EQ(program.errors(), "");
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

  // Frames and audio records that the engine plans for the files, asked of
  // the engine itself with the sources opened again.
  void plan(const std::string& videoFile, const std::string& audioFile, int& frameCount,
            int& audioRecordCount) {
    ASSERT_EQ(program.engine.openSources(audioFile.c_str(), videoFile.c_str()), nullptr);
    double fps = 0.0;
    double frameStep = 0.0;
    int firstFrame = 0;
    int lastFrame = 0;
    program.engine.planMovie(program.engine.frameRate, fps, frameCount, frameStep,
                             audioRecordCount, nullptr, firstFrame, lastFrame);
    program.engine.closeSources();
  }

  // Checks that records N + 1 .. N + A are the audio records, each of
  // recordBytes, right after the last frame and up to the end of the file.
  static void expectAudioAfterFrames(const DatabaseReader& database, int frames,
                                     int audioRecords, std::size_t recordBytes) {
    ASSERT_EQ(database.recordCount, 1 + frames + audioRecords);
    const MovieHeaderView header = headerOf(database);
    EXPECT_EQ(header.frameCount, frames);
    EXPECT_EQ(header.firstAudioRecord, frames + 1);
    EXPECT_EQ(header.flags & 2, 2);  // the movie has sound
    EXPECT_EQ(database.recordOffset(0), 78u + 8u * database.recordCount);
    for (int index = 1; index <= frames; ++index) {
      const std::size_t size = database.record(index).size();
      EXPECT_GT(size, 0u) << "frame record " << index;
      EXPECT_LT(size, 65536u) << "frame record " << index;
    }
    for (int index = frames + 1; index <= frames + audioRecords; ++index) {
      EXPECT_EQ(database.recordOffset(index),
                database.recordOffset(index - 1) + database.record(index - 1).size());
      EXPECT_EQ(database.record(index).size(), recordBytes) << "audio record " << index;
    }
    EXPECT_EQ(database.bytes().size(),
              database.recordOffset(frames + audioRecords) + recordBytes);
  }

  std::string movie() const { return program.file("movie.pdb"); }

  test::ProgramRun program;
};

TEST_F(MovieWithSoundRunTest, AudioRecordsFollowAllFramesAndTheHeaderPointsAtThem) {
  const std::string videoFile = video();
  const std::string audioFile = sound(4.0, {{1000.0, 0.4}});
  const DatabaseReader database = convert(videoFile, audioFile);
  EXPECT_EQ(fourCCText(database.type), "Mvie");
  // 4 seconds of movie: ceil(40 x 0.30517578125 / 10) = 2 records of 3.2768 s.
  expectAudioAfterFrames(database, kMovieFrames, 2, 32768);
  EXPECT_EQ(headerOf(database).audioFormat, 0);

  int frameCount = 0;
  int audioRecordCount = 0;
  plan(videoFile, audioFile, frameCount, audioRecordCount);
  EXPECT_EQ(frameCount, kMovieFrames);
  EXPECT_EQ(audioRecordCount, 2);

  const std::string text = program.output();
  EXPECT_LT(text.find("\nVideo encoding complete.\n"), text.find("\rAudio block 0 of 2"));
  EXPECT_NE(text.find("\rAudio block 2 of 2 encoded\nAudio encoding complete.\n"),
            std::string::npos);
}

TEST_F(MovieWithSoundRunTest, AdpcmAndHifiChangeTheAudioRecordCountAsPlanned) {
  const std::string videoFile = video();
  const std::string audioFile = sound(4.0, {{1000.0, 0.4}});
  struct Case {
    const char* flag;
    int records;  // ceil(4 s x records per second)
    std::size_t bytes;
    int format;
  };
  for (const Case& c : {Case{"-adpcm", 1, 32772, 1}, Case{"-hifi", 3, 32768, 2}}) {
    SCOPED_TRACE(c.flag);
    const DatabaseReader database = convert(videoFile, audioFile, {c.flag});
    expectAudioAfterFrames(database, kMovieFrames, c.records, c.bytes);
    EXPECT_EQ(headerOf(database).audioFormat, c.format);
    int frameCount = 0;
    int audioRecordCount = 0;
    plan(videoFile, audioFile, frameCount, audioRecordCount);
    EXPECT_EQ(audioRecordCount, c.records);
    program.settings.adpcm = false;
    program.settings.hifi = false;
  }
}

TEST_F(MovieWithSoundRunTest, SoundStartsAtTheFirstFramesTime) {
  // Half a second of silence, then the tone: it must begin 5000 samples into
  // the movie's sound, where the movie is half a second old.
  const DatabaseReader database =
      convert(video(), sound(4.0, {{1000.0, 0.4, 0.5}}), {"-audioboost=100"});
  const test::DecodedSound sound = test::decodeMovieSound(database);
  ASSERT_EQ(sound.samples.size(), 2u * 32768);
  EXPECT_LT(test::acLevel(sound.samples, 0, 4900), 0.002);
  EXPECT_NEAR(test::firstSampleReaching(sound.samples, 0, 0.2), 5000, 5);
  EXPECT_NEAR(test::toneAmplitude(sound.samples, 6000, 8000, 1000.0, 10000), 0.4, 0.01);
  // The tone runs on across the record boundary up to 4 seconds.
  EXPECT_NEAR(test::toneAmplitude(sound.samples, 32000, 8000, 1000.0, 10000), 0.4, 0.01);
  EXPECT_NEAR(test::lastSampleReaching(sound.samples, 0.2), 40000, 10);
}

TEST_F(MovieWithSoundRunTest, AnEmptySoundGivesRecordsOfSilence) {
  const std::string empty = program.file("empty.wav");
  ASSERT_TRUE(test::writePcm16Wav(empty, 44100, 2, {}));
  const DatabaseReader database = convert(video(), empty);
  expectAudioAfterFrames(database, kMovieFrames, 2, 32768);
  const test::DecodedSound sound = test::decodeMovieSound(database);
  ASSERT_EQ(sound.pcmBytes.size(), 2u * 32768);
  EXPECT_TRUE(std::all_of(sound.pcmBytes.begin(), sound.pcmBytes.end(),
                          [](std::uint8_t byte) { return byte == 128; }));
}

TEST_F(MovieWithSoundRunTest, OneAviWithBothStreamsGivesItsToneBack) {
  test::EncodedClip clip;
  clip.frames = 30;
  clip.fpsNum = 10;
  clip.width = 64;
  clip.height = 48;
  clip.audio = test::ClipAudio::Pcm16;
  const std::string path = program.file("both.avi");
  ASSERT_EQ(test::writeEncodedClip(path, clip), "");
  const DatabaseReader database = convert(path, path);
  // 29 frames at 10 per second: ceil(29 x 0.30517578125 / 10) = 1 record.
  expectAudioAfterFrames(database, 29, 1, 32768);
  const test::DecodedSound sound = test::decodeMovieSound(database);
  EXPECT_EQ(test::strongestFrequency(sound.samples, 1000, 8000, 10000, 100.0, 4900.0, 100.0),
            1000.0);
  EXPECT_NEAR(test::toneAmplitude(sound.samples, 1000, 8000, 1000.0, 10000), 0.75, 0.03);
  // The tone starts with the first frame: sin(2 pi x 0.1) x 0.75 at sample 1.
  EXPECT_LE(test::firstSampleReaching(sound.samples, 0, 0.3), 2);
}

TEST_F(MovieWithSoundRunTest, AnMp4WithAacGivesItsToneBack) {
  if (!test::clipEncoderAvailable(test::ClipVideo::Mpeg4) ||
      !test::clipEncoderAvailable(test::ClipAudio::Aac)) {
    GTEST_SKIP() << "no MPEG-4 or AAC encoder in this FFmpeg build";
  }
  test::EncodedClip clip;
  clip.container = "mp4";
  clip.video = test::ClipVideo::Mpeg4;
  clip.frames = 30;
  clip.fpsNum = 10;
  clip.width = 64;
  clip.height = 48;
  clip.audio = test::ClipAudio::Aac;
  const std::string path = program.file("both.mp4");
  ASSERT_EQ(test::writeEncodedClip(path, clip), "");
  const DatabaseReader database = convert(path, path);
  const MovieHeaderView header = headerOf(database);
  ASSERT_GT(header.frameCount, 0);
  expectAudioAfterFrames(database, header.frameCount, 1, 32768);
  const test::DecodedSound sound = test::decodeMovieSound(database);
  EXPECT_EQ(test::strongestFrequency(sound.samples, 1000, 8000, 10000, 100.0, 4900.0, 100.0),
            1000.0);
  EXPECT_NEAR(test::toneAmplitude(sound.samples, 1000, 8000, 1000.0, 10000), 0.75, 0.05);
  // The tone is there from the movie's first sample: the encoder's priming
  // samples at the start of the AAC stream are not part of the sound.
  EXPECT_LE(test::firstSampleReaching(sound.samples, 0, 0.3), 2);
}

}  // namespace
}  // namespace vantrel
