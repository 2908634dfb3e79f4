// Conversions that fail during the encode: a video source that stops
// delivering frames, and an output file that cannot be written. The driver
// reports the failure on the console, the file keeps an all-zero record list,
// and the program entry still ends the run.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "EndToEndHarness.h"
#include "sources/SourceKinds.h"
#include "support/EncodedClipWriter.h"
#include "support/FakeVideoSource.h"

namespace vantrel::test {
namespace {

constexpr const char* kReadErrorLine =
    "vantrel: \nEncode error occurred: An error occurred while reading from the video "
    "file\n";

// 78-byte header and 20 list entries (record 0 and 19 frames).
constexpr std::size_t kListEnd = 78 + 8 * 20;

class EndToEndFailureTest : public ::testing::Test {
 protected:
  EndToEndFailureTest() {
    // 20 source frames at 10 fps: 19 movie frames.
    VideoStreamInfo stream;
    stream.rate = 10;
    stream.scale = 1;
    stream.length = 20;
    stream.width = 32;
    stream.height = 24;
    source.setStream(stream);
    harness.replaceAviVideoKind(&source);
    EXPECT_TRUE(writeTextFile(harness.file("clip.avi"), "stand-in"));
  }

  int convert(const std::vector<std::string>& extra) {
    std::vector<std::string> flags{"-framerate=10"};
    flags.insert(flags.end(), extra.begin(), extra.end());
    return harness.run(
        movieArguments(harness.file("clip.avi"), harness.file("movie.pdb"), flags));
  }

  FakeVideoSource source{kVideoKindAvi};
  EndToEndHarness harness;
};

TEST_F(EndToEndFailureTest, ReadFailureDuringAnalysisIsReportedAndLeavesZeroList) {
  source.failReadAt(10);
  EXPECT_EQ(convert({"-colordepth=16"}), kExitSuccess);
  const std::string& text = harness.output();
  ASSERT_GE(text.size(), std::string(kReadErrorLine).size());
  EXPECT_EQ(text.substr(text.size() - std::string(kReadErrorLine).size()),
            kReadErrorLine);
  EXPECT_EQ(text.find("Translating colors"), std::string::npos);
  EXPECT_EQ(harness.errors(), "");
  // Ten frames analysed, the eleventh read failed; nothing was encoded.
  EXPECT_EQ(harness.frameReads(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_TRUE(harness.encodedFrames().empty());
  ASSERT_TRUE(harness.databaseLoaded());
  EXPECT_EQ(harness.database().recordCount, 20);
  EXPECT_TRUE(harness.database().recordListIsZero());
  EXPECT_EQ(harness.database().bytes().size(), kListEnd);
}

TEST_F(EndToEndFailureTest, ReadFailureDuringFramesKeepsTheTenFramesWritten) {
  // The same movie encoded whole, for the bytes the first ten frames take.
  ASSERT_EQ(convert({"-colordepth=24"}), kExitSuccess);
  ASSERT_TRUE(harness.databaseLoaded());
  const DatabaseReader& whole = harness.database();
  ASSERT_EQ(whole.recordOffset(0), kListEnd);
  EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
  const std::vector<std::uint8_t> firstTen(
      whole.bytes().begin() + long(kListEnd),
      whole.bytes().begin() + whole.recordOffset(11));

  source.failReadAt(10);
  EXPECT_EQ(convert({"-colordepth=24"}), kExitSuccess);
  const std::string& text = harness.output();
  EXPECT_NE(text.find("\nTranslating colors...\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - std::string(kReadErrorLine).size()),
            kReadErrorLine);
  EXPECT_EQ(text.find("Video encoding complete"), std::string::npos);
  EXPECT_EQ(text.find("Summary"), std::string::npos);
  EXPECT_EQ(harness.encodedFrames().size(), 10u);
  ASSERT_TRUE(harness.databaseLoaded());
  const DatabaseReader& partial = harness.database();
  EXPECT_TRUE(partial.recordListIsZero());
  // Header record and frames 0 to 9 as a complete encode writes them, and no more.
  const std::vector<std::uint8_t> written(partial.bytes().begin() + long(kListEnd),
                                          partial.bytes().end());
  EXPECT_TRUE(written == firstTen);
}

TEST_F(EndToEndFailureTest, FullDiskIsReportedOnceAsWriteFailure) {
  harness.replaceAviVideoKind(nullptr);
  EncodedClip shape;
  shape.width = 64;
  shape.height = 48;
  shape.frames = 4;
  shape.fpsNum = 15;
  const std::string clip = harness.file("real.avi");
  ASSERT_EQ(writeEncodedClip(clip, shape), "");
  // The first frame record (26378 bytes) overflows the stream's buffer, so its
  // write reaches the device and fails at once. The failed write leaves nothing
  // buffered, so closing the file succeeds: the encode's own message is the one
  // report, and a failed encode ends the run with status 0.
  const int status = harness.run(movieArguments(clip, "/dev/full", {"-colordepth=16"}));
  const std::string& text = harness.output();
  const std::string writeError =
      "vantrel: \nEncode error occurred: Unable to write to the output file.\n";
  ASSERT_GE(text.size(), writeError.size());
  EXPECT_EQ(text.substr(text.size() - writeError.size()), writeError);
  EXPECT_NE(text.find("\rEncoded frame 0 of 3,    0 bytes"), std::string::npos);
  EXPECT_EQ(text.find("Video encoding complete"), std::string::npos);
  EXPECT_EQ(text.find("Summary"), std::string::npos);
  EXPECT_EQ(harness.errors(), "");
  EXPECT_EQ(status, kExitSuccess);
  EXPECT_TRUE(harness.encodedFrames().empty());
}

TEST_F(EndToEndFailureTest, CutFileConvertsThePicturesAndSoundItHolds) {
  // A fast-start MP4 (its index before the pictures, as files for streaming
  // are written) and a Matroska file with sound, and an AVI file, each cut to
  // its first 30 % like a partial download: the movie is the whole file's
  // movie up to where the pictures end, and the sound alone is the sound the
  // file holds.
  harness.replaceAviVideoKind(nullptr);
  EncodedClip shape;
  shape.width = 128;
  shape.height = 96;
  shape.frames = 120;  // 5 s
  shape.fpsNum = 24;
  shape.keyFrameInterval = 1;  // pictures of about the same size fill the file
  shape.fastStart = true;
  for (const std::string container : {"mp4", "matroska", "avi"}) {
    SCOPED_TRACE(container);
    shape.container = container;
    const bool avi = container == "avi";
    shape.video = avi ? ClipVideo::Mjpeg : ClipVideo::Mpeg4;
    shape.audio = avi ? ClipAudio::None : ClipAudio::Aac;
    const std::string whole = harness.file("whole." + container);
    ASSERT_EQ(writeEncodedClip(whole, shape), "");
    ASSERT_EQ(harness.run(movieArguments(whole, harness.file("whole.pdb"))),
              kExitSuccess);
    const std::vector<DecodedFrame> wholeMovie = harness.decodeMovie();
    ASSERT_EQ(wholeMovie.size(), 74u);

    std::ifstream in(whole, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string cut = harness.file("cut." + container);
    std::ofstream(cut, std::ios::binary).write(bytes.data(), long(bytes.size() * 3 / 10));
    ASSERT_EQ(harness.run(movieArguments(cut, harness.file("cut.pdb"))), kExitSuccess);
    const std::string text = harness.output() + harness.errors();
    EXPECT_EQ(text.find("Encode error"), std::string::npos) << text;
    const std::size_t warning =
        text.find("Encode warning: The video file is cut short: it holds ");
    ASSERT_NE(warning, std::string::npos) << text;
    EXPECT_EQ(text.find("warning", warning + 8), std::string::npos);  // one warning
    EXPECT_NE(text.find(" of the 5.0 seconds it states (", warning), std::string::npos);
    EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
    const std::vector<DecodedFrame> cutMovie = harness.decodeMovie();
    // About a third of the pictures (the MP4 file's index comes first).
    EXPECT_GE(cutMovie.size(), 15u);
    EXPECT_LE(cutMovie.size(), 22u);
    for (std::size_t i = 0; i < cutMovie.size(); ++i) {
      EXPECT_TRUE(cutMovie[i].picture == wholeMovie[i].picture) << "frame " << i;
    }
    if (avi) continue;
    // Its sound alone: the sound it holds, with the same warning.
    ASSERT_EQ(harness.run({"-audfile=" + cut, "-outfile=" + harness.file("sound.pdb")}),
              kExitSuccess);
    const std::string soundText = harness.output() + harness.errors();
    EXPECT_NE(soundText.find("Encode warning: The audio file is cut short: it holds "),
              std::string::npos)
        << soundText;
    DatabaseReader sound;
    ASSERT_TRUE(sound.load(harness.file("sound.pdb")));
    MovieHeaderView header;
    ASSERT_TRUE(sound.movieHeader(header));
    EXPECT_GE(header.frameCount, 10);  // tenths of a second
    EXPECT_LE(header.frameCount, 17);
  }
}

}  // namespace
}  // namespace vantrel::test
