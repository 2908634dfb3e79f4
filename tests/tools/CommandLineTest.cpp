#include "CommandLine.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "ClipMovieTest.h"
#include "database/BigEndian.h"
#include "engine/RecordingEncoder.h"
#include "database/DatabaseReader.h"
#include "support/FakeAudioSource.h"
#include "support/FakeVideoSource.h"
#include "support/TestClips.h"

namespace vantrel::inspect {
namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  // Encodes a six-frame movie with sound into movie.pdb in the scratch folder.
  void encodeMovie(bool adpcm = false, const char* name = "Movie") {
    VideoStreamInfo info;
    info.rate = 15;
    info.scale = 1;
    info.length = 7;
    info.width = 32;
    info.height = 32;
    video.setStream(info);
    ASSERT_EQ(video.open("clip"), 0);
    engine.selectedVideo = &video;
    audio = std::make_unique<FakeAudioSource>(FakeAudioSource::pcmInfo(10000, 16, 1),
                                              std::vector<std::uint8_t>(8000, 0x10));
    engine.selectedAudio = audio.get();
    engine.adpcmAudio = adpcm;
    engine.keyFrameSeconds = 0;
    std::FILE* file = std::fopen(moviePath().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    engine.encodeMovie(file, name, 160, 160, 16, false, false, false, 0.0f, 0.0f, 0, 0);
    std::fclose(file);
    ASSERT_EQ(engine.count(ProgressEvent::Summary), 1);
  }
  std::string moviePath() const { return scratch.file("movie.pdb"); }

  int inspect(std::vector<std::string> args) {
    args.push_back(moviePath());
    return runInspector(args, out, err);
  }

  void changeByte(std::size_t offset, std::uint8_t value) {
    std::fstream file(moviePath(), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(std::streamoff(offset));
    file.put(char(value));
  }

  test::ScratchDirectory scratch;
  FakeVideoSource video;
  std::unique_ptr<FakeAudioSource> audio;
  test::RecordingEncoder engine;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(CommandLineTest, FreshMovieChecksOut) {
  encodeMovie();
  EXPECT_EQ(inspect({}), 0) << out.str();
  EXPECT_NE(out.str().find("6 of 6 decoded, 1 key frames"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("movie OK"), std::string::npos);
}

TEST_F(CommandLineTest, LongUtf8NameIsShownAsTheHandheldShowsIt) {
  // 32 characters (42 bytes) with two the handheld cannot show: 31 are kept.
  encodeMovie(false,
              "F\xC3\xA9te de la musique \xE2\x80\x93 J\xC3\xBCrg "
              "\xE2\x86\x92\xF0\x9F\x8E\xB5 end");
  const std::string shown = "F\xC3\xA9te de la musique \xE2\x80\x93 J\xC3\xBCrg __ en";
  EXPECT_EQ(std::string(engine.summary.databaseName), shown);
  EXPECT_EQ(inspect({}), 0) << out.str();
  EXPECT_NE(out.str().find("name:          " + shown + "\n"), std::string::npos)
      << out.str();
}

TEST_F(CommandLineTest, AdpcmMovieChecksOutAndWritesItsSound) {
  encodeMovie(true);
  const std::string wav = scratch.file("sound.wav");
  EXPECT_EQ(inspect({"-wav=" + wav}), 0) << out.str();
  // The movie's 0.4 s (6 frames at 15/s), not the whole ADPCM record's 65536 samples.
  EXPECT_EQ(std::filesystem::file_size(wav), 44u + 4000u * 2u);
  // A device is written in place, never renamed over.
  EXPECT_EQ(inspect({"-wav=/dev/null", "-contact=/dev/null"}), 0) << err.str();
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST_F(CommandLineTest, ChosenFramesAndContactSheetAreWritten) {
  encodeMovie();
  const std::string prefix = scratch.file("shot");
  const std::string sheet = scratch.file("sheet.png");
  EXPECT_EQ(inspect({"-frames=0,4-5", "-format=png", "-out=" + prefix, "-contact=" + sheet}), 0);
  EXPECT_TRUE(std::filesystem::exists(prefix + "-00000.png"));
  EXPECT_TRUE(std::filesystem::exists(prefix + "-00004.png"));
  EXPECT_TRUE(std::filesystem::exists(prefix + "-00005.png"));
  EXPECT_FALSE(std::filesystem::exists(prefix + "-00001.png"));
  EXPECT_TRUE(std::filesystem::exists(sheet));
}

TEST_F(CommandLineTest, DamagedFrameRecordIsReportedByRecordNumber) {
  encodeMovie();
  DatabaseReader reader;
  ASSERT_TRUE(reader.load(moviePath()));
  changeByte(reader.recordOffset(2), 7);  // frame kind of record 2: neither 1 nor 2
  EXPECT_EQ(inspect({"-quiet"}), 1);
  EXPECT_NE(out.str().find("record 2 (frame 1)"), std::string::npos) << out.str();
}

TEST_F(CommandLineTest, UnfinishedMovieFails) {
  encodeMovie();
  for (std::size_t i = 78; i < 78 + 8 * 8; ++i) changeByte(i, 0);
  EXPECT_EQ(inspect({}), 1);
  EXPECT_NE(out.str().find("record list is all zero"), std::string::npos) << out.str();
}

TEST_F(CommandLineTest, WrongHeaderFieldIsReported) {
  encodeMovie();
  DatabaseReader reader;
  ASSERT_TRUE(reader.load(moviePath()));
  changeByte(reader.recordOffset(0) + 8 + 1, 16);  // bits per pixel 16 in an 8-bit movie
  EXPECT_EQ(inspect({}), 1);
  EXPECT_NE(out.str().find("bits per pixel is 16, expected 8"), std::string::npos) << out.str();
}

TEST_F(CommandLineTest, BadArgumentsPrintTheUsage) {
  char program[] = "vantrel-inspect";
  char bad[] = "-bogus";
  char* argv[] = {program, bad};
  EXPECT_EQ(inspectMain(2, argv, out, err), 1);
  EXPECT_NE(err.str().find("unknown option: -bogus"), std::string::npos);
  EXPECT_NE(err.str().find("Usage: vantrel-inspect"), std::string::npos);
}

TEST_F(CommandLineTest, HelpPrintsTheUsageAndSucceeds) {
  char program[] = "vantrel-inspect";
  for (std::string flag : {"-help", "--help"}) {
    out.str("");
    err.str("");
    char* argv[] = {program, flag.data()};
    EXPECT_EQ(inspectMain(2, argv, out, err), 0) << flag;
    EXPECT_EQ(out.str(), inspectUsage(program)) << flag;
    EXPECT_EQ(err.str(), "") << flag;
  }
}

TEST_F(CommandLineTest, FrameListsAreParsed) {
  ToolOptions options;
  std::string error;
  ASSERT_TRUE(parseToolOptions({"-frames=3,7-9", "m.pdb"}, options, error));
  EXPECT_EQ(options.frames, (std::set<int>{3, 7, 8, 9}));
  ToolOptions bad;
  EXPECT_FALSE(parseToolOptions({"-frames=9-7", "m.pdb"}, bad, error));
  EXPECT_FALSE(parseToolOptions({"-frames=x", "m.pdb"}, bad, error));
  EXPECT_FALSE(parseToolOptions({}, bad, error));
  EXPECT_EQ(error, "no movie named");
}

TEST_F(CommandLineTest, FfmpegsOwnMessagesShowOnlyWithVerbose) {
  encodeMovie();
  const std::string junk = scratch.file("junk.mp4");
  std::ofstream(junk) << "not a movie";
  EXPECT_EQ(inspect({"-source=" + junk}), 1);
  EXPECT_EQ(err.str().find("ffmpeg: "), std::string::npos) << err.str();
  EXPECT_EQ(inspect({"-verbose", "-source=" + junk}), 1);
  EXPECT_NE(err.str().find("ffmpeg: [mov,mp4"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("moov atom not found\n"), std::string::npos) << err.str();
}

TEST_F(CommandLineTest, MissingFileFails) {
  EXPECT_EQ(inspect({}), 1);
  EXPECT_NE(err.str().find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace vantrel::inspect
