// Conversions that fail during the encode: a video source that stops
// delivering frames, an output file that cannot be written, a file size limit
// and an interruption by a signal. The failure is reported on the error
// stream, the run ends with a failing status, and no output file appears: an
// earlier file of the output name keeps every byte and no temporary file is
// left in the folder. The last two run the program itself in a child process.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <string>
#include <vector>

#include "EndToEndHarness.h"
#include "sources/SourceKinds.h"
#include "support/EncodedClipWriter.h"
#include "support/FakeVideoSource.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kReadErrorLine =
    "vantrel: \nEncode error occurred: An error occurred while reading from the video "
    "file\n";

// The bytes of a file; empty when it cannot be read.
std::string contentOf(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// The names in the folder of path.
std::vector<std::string> namesBeside(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

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

  // The read error's message, with the files of the run.
  std::string readErrorLines() const {
    return kReadErrorLine +
           ("    - video file \"" + harness.file("clip.avi") +
            "\"\n    - output file \"" + harness.file("movie.pdb") + "\"\n");
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

TEST_F(EndToEndFailureTest, ReadFailureDuringAnalysisLeavesNoOutputFile) {
  source.failReadAt(10);
  EXPECT_EQ(convert({"-colordepth=16"}), kExitFailure);
  EXPECT_EQ(harness.errors(), readErrorLines());
  EXPECT_EQ(harness.output().find("Translating colors"), std::string::npos);
  // Ten frames analysed, the eleventh read failed; nothing was encoded.
  EXPECT_EQ(harness.frameReads(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_TRUE(harness.encodedFrames().empty());
  EXPECT_FALSE(harness.databaseLoaded());
  EXPECT_EQ(namesBeside(harness.file("movie.pdb")), std::vector<std::string>{"clip.avi"});
}

TEST_F(EndToEndFailureTest, ReadFailureDuringFramesKeepsTheEarlierMovie) {
  ASSERT_EQ(convert({"-colordepth=24"}), kExitSuccess);
  ASSERT_TRUE(harness.databaseLoaded());
  EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
  const std::string earlier = contentOf(harness.file("movie.pdb"));

  source.failReadAt(10);
  EXPECT_EQ(convert({"-colordepth=24"}), kExitFailure);
  EXPECT_NE(harness.output().find("\nTranslating colors...\n"), std::string::npos);
  EXPECT_EQ(harness.output().find("Video encoding complete"), std::string::npos);
  EXPECT_EQ(harness.output().find("Summary"), std::string::npos);
  EXPECT_EQ(harness.errors(), readErrorLines());
  EXPECT_EQ(harness.encodedFrames().size(), 10u);
  EXPECT_EQ(contentOf(harness.file("movie.pdb")), earlier);
  EXPECT_EQ(namesBeside(harness.file("movie.pdb")),
            (std::vector<std::string>{"clip.avi", "movie.pdb"}));
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
  // report. A device is written in place, never renamed over.
  const int status = harness.run(movieArguments(clip, "/dev/full", {"-colordepth=16"}));
  // It names the files of the run and why the write failed.
  EXPECT_EQ(harness.errors(),
            "vantrel: \nEncode error occurred: Unable to write to the output file.\n"
            "    - video file \"" +
                clip +
                "\"\n"
                "    - output file \"/dev/full\": No space left on device\n");
  EXPECT_NE(harness.output().find("\rEncoded frame 0 of 3,    0 bytes"), std::string::npos);
  EXPECT_EQ(harness.output().find("Video encoding complete"), std::string::npos);
  EXPECT_EQ(harness.output().find("Summary"), std::string::npos);
  EXPECT_EQ(status, kExitFailure);
  EXPECT_TRUE(harness.encodedFrames().empty());
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// The program itself in a child process, its console going to files.
class ProgramProcess {
 public:
  // Starts the program with arguments; a positive fileSizeLimit caps the
  // size of every file it writes (RLIMIT_FSIZE).
  ProgramProcess(const std::vector<std::string>& arguments, const std::string& consoleFile,
                 rlim_t fileSizeLimit = 0) {
    std::vector<std::string> words = programCommand(arguments);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    child = fork();
    if (child == 0) {
      if (fileSizeLimit > 0) {
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(90);
      }
      if (std::freopen(consoleFile.c_str(), "w", stdout) == nullptr ||
          std::freopen((consoleFile + ".err").c_str(), "w", stderr) == nullptr) {
        _exit(91);
      }
      execv(argv[0], argv.data());
      _exit(92);
    }
  }

  void signal(int number) const { kill(child, number); }

  // The exit status, or -1 when the program did not exit normally.
  int wait() const {
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  pid_t child = -1;
};

// 3000 frames of 32 x 24 at 30 per second: encoding them all takes long
// enough to be interrupted in the middle.
class ProgramProcessTest : public ::testing::Test {
 protected:
  ProgramProcessTest() {
    RawAviClip shape;
    shape.frames = 3000;
    shape.rate = 30;
    EXPECT_TRUE(writeRawAvi(scratch.file("long.avi"), shape));
  }

  std::vector<std::string> arguments() const {
    return {"-vidfile=" + scratch.file("long.avi"), "-outfile=" + scratch.file("movie.pdb"),
            "-framerate=30", "-colordepth=16"};
  }

  std::string console(const char* stream) const {
    return contentOf(scratch.file(std::string("console") + stream));
  }

  ScratchDirectory scratch;
};

TEST_F(ProgramProcessTest, InterruptionRemovesThePartialMovieAndKeepsTheEarlierOne) {
  ASSERT_TRUE(writeTextFile(scratch.file("movie.pdb"), "earlier movie"));
  const std::string earlier = contentOf(scratch.file("movie.pdb"));
  for (const int number : {SIGINT, SIGTERM}) {
    const ProgramProcess program(arguments(), scratch.file("console"));
    // Wait until the movie is being written under its temporary name.
    bool writing = false;
    for (int i = 0; i < 20000 && !writing; ++i) {
      for (const std::string& name : namesBeside(scratch.file("movie.pdb"))) {
        std::error_code error;
        if (name.starts_with(".movie-") && fs::file_size(scratch.file(name), error) > 0 &&
            !error) {
          writing = true;
        }
      }
      if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(writing);
    program.signal(number);
    EXPECT_EQ(program.wait(), 128 + number);
    EXPECT_NE(console(".err").find("Conversion interrupted"), std::string::npos)
        << console(".err");
    EXPECT_EQ(contentOf(scratch.file("movie.pdb")), earlier);
    EXPECT_EQ(namesBeside(scratch.file("movie.pdb")),
              (std::vector<std::string>{"console", "console.err", "long.avi", "movie.pdb"}));
  }
}

TEST_F(ProgramProcessTest, FileSizeLimitLeavesNoFile) {
  const ProgramProcess program(arguments(), scratch.file("console"), 20000);
  EXPECT_EQ(program.wait(), 1);
  EXPECT_EQ(console(".err"),
            "vantrel: \nEncode error occurred: Unable to write to the output file.\n"
            "    - video file \"" +
                scratch.file("long.avi") +
                "\"\n"
                "    - output file \"" +
                scratch.file("movie.pdb") + "\": File too large\n");
  EXPECT_EQ(namesBeside(scratch.file("movie.pdb")),
            (std::vector<std::string>{"console", "console.err", "long.avi"}));
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
