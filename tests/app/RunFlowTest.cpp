#include "RunFlow.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "CommandLineFlags.h"
#include "ConsoleMovieEncoder.h"
#include "HostCheck.h"
#include "ScriptedConsole.h"
#include "sources/SourceKinds.h"
#include "database/DatabaseReader.h"
#include "support/FakeAudioSource.h"
#include "support/FakeVideoSource.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// A video kind whose open answers a fixed code; open 0 makes it open.
class ScriptedVideoKind final : public VideoStreamSource {
 public:
  explicit ScriptedVideoKind(std::uint32_t kindTag) : tag(kindTag) {}
  ~ScriptedVideoKind() = default;

  void close() override { opened = false; }
  bool isOpen() override { return opened; }
  std::uint32_t kind() override { return tag; }
  int startup() override { return startupCode; }
  int open(const char* fileName) override {
    openedNames.emplace_back(fileName);
    opened = openCode == 0;
    return openCode;
  }
  int readFrame(int, FrameImage**) override { return kVideoReadFailed; }
  int getStreamInfo(VideoStreamInfo&) override { return kVideoNotOpen; }
  int firstFrame() override { return 0; }
  int frameCount() override { return 0; }

  std::uint32_t tag;
  int openCode = kVideoBadFormat;
  int startupCode = 0;
  bool opened = false;
  std::vector<std::string> openedNames;
};

// An audio kind whose open answers a fixed code; open 0 makes it open.
class ScriptedAudioKind final : public AudioStreamSource {
 public:
  explicit ScriptedAudioKind(std::uint32_t kindTag) : tag(kindTag) {}
  ~ScriptedAudioKind() = default;

  void close() override { opened = false; }
  bool isOpen() override { return opened; }
  int open(const char* fileName) override {
    openedNames.emplace_back(fileName);
    opened = openCode == 0;
    return openCode;
  }
  std::uint32_t kind() override { return tag; }
  int startup() override { return startupCode; }
  int read(int, int, void*, int, int& bytesRead, int& samplesRead) override {
    bytesRead = 0;
    samplesRead = 0;
    return kAudioReadFailed;
  }
  int getStreamInfo(AudioStreamInfo&) override { return kAudioNotOpen; }
  int firstSample() override { return 0; }
  int sampleCount() override { return 0; }

  std::uint32_t tag;
  int openCode = kAudioBadFormat;
  int startupCode = 0;
  bool opened = false;
  std::vector<std::string> openedNames;
};

// The console engine with the two encode drivers replaced by recorders that
// write a marker, so the run flow is seen without a real encode.
class RecordingEngine final : public ConsoleMovieEncoder {
 public:
  using ConsoleMovieEncoder::ConsoleMovieEncoder;

  void encodeMovie(std::FILE* file, const char* databaseName, int width, int height,
                   int depth, bool flipV, bool flipH, bool turn, float, float, int,
                   int) override {
    calls.push_back("movie " + std::string(databaseName) + " " + std::to_string(width) +
                    "x" + std::to_string(height) + " " + std::to_string(depth) + " " +
                    std::to_string(flipV) + std::to_string(flipH) + std::to_string(turn));
    std::fputs("MOVIE", file);
    if (errorText != nullptr) {
      noteOutcome(4);
      reportProgress(4, 0, reinterpret_cast<std::intptr_t>(errorText));
    }
  }
  void encodeSoundOnly(std::FILE* file, const char* databaseName) override {
    calls.push_back("sound " + std::string(databaseName));
    std::fputs("SOUND", file);
    if (flushLikeTheDrivers && std::fflush(file) != 0) {
      noteOutcome(4);
      reportProgress(4, 0, reinterpret_cast<std::intptr_t>("Unable to write to the output file."));
    }
  }

  std::vector<std::string> calls;
  const char* errorText = nullptr;  // reported by encodeMovie when set
  bool flushLikeTheDrivers = false;  // encodeSoundOnly flushes and reports a failure
};

class RunFlowTest : public ::testing::Test {
 protected:
  RunFlowTest() {
    std::string pattern = (fs::temp_directory_path() / "runflow-XXXXXX").string();
    directory = mkdtemp(pattern.data());
  }
  ~RunFlowTest() override { fs::remove_all(directory); }

  std::string path(const char* name) const { return (directory / name).string(); }

  std::string makeFile(const char* name, const char* content = "source data") const {
    std::ofstream(directory / name) << content;
    return path(name);
  }

  static std::string contentOf(const std::string& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Runs the program with the arguments after the program path; input is
  // what the console reads (menus are scripted through menuSteps).
  int run(std::vector<std::string> arguments, std::string input = "") {
    console = std::make_unique<ScriptedConsole>(std::move(input));
    RunFlow flow(settings, engine, videoSources, audioSources,
                 SourceKinds{&audioAvi, &videoAvi, &audioMovie, &videoMovie},
                 RunStreams{console->input, console->output, errors.output});
    flow.setHostChecker([this] { return hostProblem; });
    flow.setMenuRunner([this](EncoderSettings& menuSettings, bool notFirstTime) {
      menuCalls.push_back(notFirstTime);
      if (menuSteps.empty()) return 2;
      auto step = std::move(menuSteps.front());
      menuSteps.erase(menuSteps.begin());
      return step(menuSettings);
    });
    arguments.insert(arguments.begin(), "/usr/bin/vantrel");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    return flow.run(static_cast<int>(argv.size()), argv.data());
  }

  std::string output() { return console->text(); }
  std::string errorOutput() { return errors.text(); }

  // The line naming a file that follows each error and warning of a run.
  static std::string line(const char* role, const std::string& file) {
    return "    - " + std::string(role) + " file \"" + file + "\"\n";
  }

  fs::path directory;
  EncoderSettings settings;
  RecordingEngine engine{settings};
  VideoSourceList videoSources;
  AudioSourceList audioSources;
  ScriptedVideoKind videoAvi{kVideoKindAvi};
  ScriptedVideoKind videoMovie{kVideoKindMovie};
  ScriptedAudioKind audioAvi{kAudioKindAvi};
  ScriptedAudioKind audioMovie{kAudioKindMovie};
  const char* hostProblem = nullptr;
  std::vector<std::function<int(EncoderSettings&)>> menuSteps;
  std::vector<bool> menuCalls;
  std::unique_ptr<ScriptedConsole> console;
  ScriptedConsole errors{""};
};

TEST_F(RunFlowTest, BannerShowsVersion) {
  run({"-bogus"});
  EXPECT_EQ(output().rfind("Vantrel Encoder v3.90.00 ", 0), 0u);
}

TEST_F(RunFlowTest, SourceKindsAreRegisteredAviFirst) {
  run({"-bogus"});
  EXPECT_EQ(videoSources, (VideoSourceList{&videoAvi, &videoMovie}));
  EXPECT_EQ(audioSources, (AudioSourceList{&audioAvi, &audioMovie}));
  EXPECT_EQ(engine.videoSources, &videoSources);
  EXPECT_EQ(engine.audioSources, &audioSources);
}

TEST_F(RunFlowTest, RejectedFlagsEndWithStatusOne) {
  EXPECT_EQ(run({"-bogus"}), kExitFailure);
  EXPECT_EQ(errorOutput(), "vantrel: Unknown flag \"-bogus\"\n");
  EXPECT_TRUE(engine.calls.empty());
}

TEST_F(RunFlowTest, HelpPrintsTheUsageAndSucceeds) {
  for (const char* help : {"-help", "--help"}) {
    EXPECT_EQ(run({help}), kExitSuccess) << help;
    EXPECT_EQ(errorOutput(), "") << help;
    EXPECT_NE(output().find(usageText()), std::string::npos) << help;
    EXPECT_TRUE(engine.calls.empty());
  }
}

TEST_F(RunFlowTest, UnknownHostEndsBeforeAnything) {
  hostProblem = kHostUnknownMessage;
  EXPECT_EQ(run({}), kExitFailure);
  EXPECT_EQ(errorOutput(), "\nINTERNAL ERROR - unable to determine system version\n\n");
  EXPECT_TRUE(menuCalls.empty());
}

TEST_F(RunFlowTest, NoSourceKindStartingEndsWithStatusOne) {
  for (ScriptedVideoKind* kind : {&videoAvi, &videoMovie}) kind->startupCode = kVideoUnknown;
  for (ScriptedAudioKind* kind : {&audioAvi, &audioMovie}) kind->startupCode = kAudioUnknown;
  EXPECT_EQ(run({}), kExitFailure);
  EXPECT_NE(errorOutput().find("FATAL ERROR: No stream source was able to initialize"),
            std::string::npos);
  EXPECT_TRUE(menuCalls.empty());
}

TEST_F(RunFlowTest, NoFileNamedIsAnError) {
  EXPECT_EQ(run({"-outfile=" + path("out.pdb")}), kExitFailure);
  EXPECT_EQ(errorOutput(),
            "vantrel: a video file, audio file, or both must be specified\n" +
                line("output", path("out.pdb")));
  EXPECT_FALSE(fs::exists(path("out.pdb")));
}

TEST_F(RunFlowTest, FileNamedAloneIsConvertedWithItsSoundIntoAMovieBesideIt) {
  videoAvi.openCode = 0;
  audioAvi.openCode = 0;
  const std::string clip = makeFile("clip.avi");
  EXPECT_EQ(run({clip, "-hold=no"}), kExitSuccess);
  EXPECT_EQ(videoAvi.openedNames, std::vector<std::string>{clip});
  EXPECT_EQ(audioAvi.openedNames, std::vector<std::string>{clip});
  EXPECT_EQ(engine.calls, std::vector<std::string>{"movie clip 160x160 25 000"});
  EXPECT_EQ(contentOf(path("clip.pdb")), "MOVIE");
  EXPECT_FALSE(engine.holdLastFrame);
}

TEST_F(RunFlowTest, MissingVideoFileIsReportedWithFileLines) {
  const std::string video = path("missing.avi");
  EXPECT_EQ(run({"-vidfile=" + video, "-outfile=" + path("out.pdb")}), kExitFailure);
  EXPECT_EQ(errorOutput(), "vantrel: Error: The specified video file doesn't exist\n" +
                               line("video", video) + line("output", path("out.pdb")));
  EXPECT_TRUE(output().ends_with("vantrel: Performing video-only conversion...\n" +
                                 line("video", video)));
  EXPECT_FALSE(fs::exists(path("out.pdb")));
}

TEST_F(RunFlowTest, MissingOutputDirectoryIsSystemError) {
  audioAvi.openCode = 0;
  const std::string output = path("no-such-dir/out.pdb");
  EXPECT_EQ(run({"-audfile=" + makeFile("a.wav"), "-outfile=" + output}), kExitFailure);
  EXPECT_EQ(errorOutput(), "vantrel: can't open output file " + output +
                               ": No such file or directory\n" +
                               line("audio", path("a.wav")) + line("output", output));
  EXPECT_TRUE(engine.calls.empty());
}

TEST_F(RunFlowTest, OnlyAudioNamedMakesSoundOnlyDatabase) {
  audioAvi.openCode = 0;
  const std::string audio = makeFile("a.wav");
  EXPECT_EQ(run({"-audfile=" + audio, "-outfile=" + path("tune.pdb")}), kExitSuccess);
  EXPECT_EQ(engine.calls, std::vector<std::string>{"sound tune"});
  EXPECT_NE(output().find("vantrel: Performing audio-only conversion...\n"
                          "    - audio file \"" + audio + "\"\n"),
            std::string::npos);
  EXPECT_EQ(output().find("press Return"), std::string::npos);
  EXPECT_EQ(contentOf(path("tune.pdb")), "SOUND");
  EXPECT_FALSE(audioAvi.opened);  // sources closed after the encode
}

TEST_F(RunFlowTest, VideoWithoutVideoFallsBackToSound) {
  videoAvi.openCode = kVideoNoVideo;
  audioAvi.openCode = 0;
  const std::string video = makeFile("v.avi");
  EXPECT_EQ(run({"-vidfile=" + video, "-audfile=" + makeFile("a.wav"),
                 "-outfile=" + path("o.pdb"), "-palmname=Clip"}),
            kExitSuccess);
  EXPECT_EQ(errorOutput(),
            "vantrel: Warning: the video file has no video; the output movie "
            "will not have video.\n" +
                line("video", video) + line("audio", path("a.wav")) +
                line("output", path("o.pdb")));
  EXPECT_EQ(engine.calls, std::vector<std::string>{"sound Clip"});
}

TEST_F(RunFlowTest, AudioWithoutAudioMakesSilentMovie) {
  videoAvi.openCode = 0;
  audioAvi.openCode = kAudioNoAudio;
  const std::string audio = makeFile("a.wav");
  EXPECT_EQ(run({"-vidfile=" + makeFile("v.avi"), "-audfile=" + audio,
                 "-outfile=" + path("o.pdb"), "-resolution=3", "-colordepth=16", "-hflip"}),
            kExitSuccess);
  EXPECT_NE(
      errorOutput().find("vantrel: Warning: the audio file has no audio; the output "
                         "movie will not have audio.\n"),
      std::string::npos);
  EXPECT_EQ(output().find("Warning"), std::string::npos);
  EXPECT_EQ(engine.calls, std::vector<std::string>{"movie o 216x384 16 010"});
}

TEST_F(RunFlowTest, NeitherFileUsableIsAnErrorWithoutOutputFile) {
  videoAvi.openCode = kVideoNoVideo;
  audioAvi.openCode = kAudioNoAudio;
  EXPECT_EQ(run({"-vidfile=" + makeFile("v.avi"), "-audfile=" + makeFile("a.wav"),
                 "-outfile=" + path("o.pdb")}),
            kExitFailure);
  EXPECT_NE(errorOutput().find("the video file has no video and the audio file has no audio"),
            std::string::npos);
  EXPECT_EQ(output().find("Warning"), std::string::npos);
  EXPECT_FALSE(fs::exists(path("o.pdb")));
  EXPECT_TRUE(engine.calls.empty());
}

TEST_F(RunFlowTest, OnlyAudioWithoutAudioIsAnError) {
  audioAvi.openCode = kAudioNoAudio;
  const std::string audio = makeFile("a.wav");
  EXPECT_EQ(run({"-audfile=" + audio, "-outfile=" + path("o.pdb")}), kExitFailure);
  EXPECT_EQ(errorOutput(),
            "vantrel: Error: the audio file has no audio and cannot be used "
            "as the only source.\n" +
                line("audio", audio) + line("output", path("o.pdb")));
  EXPECT_FALSE(fs::exists(path("o.pdb")));
}

TEST_F(RunFlowTest, OnlyVideoWithoutVideoIsAnError) {
  videoAvi.openCode = kVideoNoVideo;
  EXPECT_EQ(run({"-vidfile=" + makeFile("v.avi"), "-outfile=" + path("o.pdb")}),
            kExitFailure);
  EXPECT_TRUE(
      errorOutput().starts_with("vantrel: Error: the video file has no video and "
                                "cannot be used as the only source.\n    - video"));
}

TEST_F(RunFlowTest, OutputSameAsVideoSourceIsRefusedAndSourceKept) {
  videoAvi.openCode = 0;
  const std::string video = makeFile("clip.avi", "precious video");
  EXPECT_EQ(run({"-vidfile=" + video, "-outfile=" + video}), kExitFailure);
  EXPECT_NE(errorOutput().find("the output file is the video source file"), std::string::npos);
  EXPECT_EQ(contentOf(video), "precious video");
  EXPECT_TRUE(engine.calls.empty());
}

TEST_F(RunFlowTest, OutputLinkedToAudioSourceIsRefused) {
  audioAvi.openCode = 0;
  const std::string audio = makeFile("tune.wav", "precious sound");
  fs::create_hard_link(audio, path("tune.pdb"));
  EXPECT_EQ(run({"-audfile=" + audio, "-outfile=" + path("tune.pdb")}), kExitFailure);
  EXPECT_NE(errorOutput().find("the output file is the audio source file"), std::string::npos);
  EXPECT_EQ(contentOf(audio), "precious sound");
}

TEST_F(RunFlowTest, DatabaseNameComesFromOutputFileWithoutPalmname) {
  audioAvi.openCode = 0;
  run({"-audfile=" + makeFile("a.wav"), "-outfile=" + path("holiday.pdb")});
  EXPECT_EQ(engine.calls, std::vector<std::string>{"sound holiday"});
  EXPECT_EQ(settings.palmname, "holiday");
}

TEST_F(RunFlowTest, UnusableOutputNameWithoutPalmnameIsRefused) {
  audioAvi.openCode = 0;
  fs::create_directory(directory / "my.dir");
  EXPECT_EQ(run({"-audfile=" + makeFile("a.wav"), "-outfile=" + path("my.dir/clip")}),
            kExitFailure);
  EXPECT_NE(errorOutput().find("the Palm database name must be specified"), std::string::npos);
  EXPECT_FALSE(fs::exists(path("my.dir/clip")));
}

TEST_F(RunFlowTest, EncodeErrorEndsWithStatusOneAndKeepsTheEarlierFile) {
  videoAvi.openCode = 0;
  engine.errorText = "The video file is corrupt or is an unrecognized format";
  const std::string video = makeFile("v.avi");
  makeFile("o.pdb", "earlier movie");
  EXPECT_EQ(run({"-vidfile=" + video, "-outfile=" + path("o.pdb")}), kExitFailure);
  EXPECT_EQ(errorOutput(),
            "vantrel: \nEncode error occurred: The video file is corrupt or is "
            "an unrecognized format\n" +
                line("video", video) + line("output", path("o.pdb")));
  EXPECT_EQ(engine.calls.size(), 1u);
  // The partial movie went with its temporary name; the earlier one is whole.
  EXPECT_EQ(contentOf(path("o.pdb")), "earlier movie");
  EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 2);

  // The same run without the error replaces it, with nothing else left.
  engine.errorText = nullptr;
  EXPECT_EQ(run({"-vidfile=" + video, "-outfile=" + path("o.pdb")}), kExitSuccess);
  EXPECT_EQ(contentOf(path("o.pdb")), "MOVIE");
  EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 2);

  // Through a symbolic link the linked file is replaced and the link stays.
  fs::create_directory(directory / "movies");
  makeFile("movies/m.pdb", "linked movie");
  fs::permissions(path("movies/m.pdb"), fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(path("movies/m.pdb"), path("link.pdb"));
  EXPECT_EQ(run({"-vidfile=" + video, "-outfile=" + path("link.pdb")}), kExitSuccess);
  EXPECT_TRUE(fs::is_symlink(path("link.pdb")));
  EXPECT_EQ(contentOf(path("movies/m.pdb")), "MOVIE");
  EXPECT_EQ(fs::status(path("movies/m.pdb")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(std::distance(fs::directory_iterator(directory / "movies"), fs::directory_iterator()),
            1);
}

TEST_F(RunFlowTest, BothFilesNamedOpensEachWithItsKind) {
  videoAvi.openCode = kVideoBadFormat;
  videoMovie.openCode = 0;
  audioAvi.openCode = 0;
  const std::string video = makeFile("v.mov");
  const std::string audio = makeFile("a.wav");
  EXPECT_EQ(run({"-vidfile=" + video, "-audfile=" + audio, "-outfile=" + path("o.pdb")}),
            kExitSuccess);
  EXPECT_NE(output().find("vantrel: Performing video and audio conversion...\n"
                          "    - video file \"" + video + "\"\n"
                          "    - audio file \"" + audio + "\"\n"),
            std::string::npos);
  EXPECT_EQ(videoMovie.openedNames, std::vector<std::string>{video});
  EXPECT_EQ(audioAvi.openedNames, std::vector<std::string>{audio});
  EXPECT_EQ(engine.calls, std::vector<std::string>{"movie o 160x160 25 000"});
  EXPECT_EQ(contentOf(path("o.pdb")), "MOVIE");
}

TEST_F(RunFlowTest, OutputThatCannotBeCompletedIsReported) {
  audioAvi.openCode = 0;
  // Writes to /dev/full are buffered and fail when the file is closed.
  EXPECT_EQ(run({"-audfile=" + makeFile("a.wav"), "-outfile=/dev/full"}), kExitFailure);
  EXPECT_EQ(engine.calls, std::vector<std::string>{"sound full"});
  EXPECT_EQ(errorOutput(),
            "vantrel: can't write output file /dev/full: No space left on "
            "device\n" +
                line("audio", path("a.wav")) +
                "    - output file \"/dev/full\": No space left on device\n");
}

TEST_F(RunFlowTest, WriteFailureReportedByTheDriverIsNotReportedTwice) {
  audioAvi.openCode = 0;
  engine.flushLikeTheDrivers = true;
  // The driver's final flush fails and it reports the error itself; the run
  // then ends like any encode error, with status 1 and no second message. The
  // device is written in place, never replaced.
  EXPECT_EQ(run({"-audfile=" + makeFile("a.wav"), "-outfile=/dev/full"}), kExitFailure);
  EXPECT_EQ(errorOutput(),
            "vantrel: \nEncode error occurred: Unable to write to the output "
            "file.\n" +
                line("audio", path("a.wav")) +
                "    - output file \"/dev/full\": No space left on device\n");
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(RunFlowTest, MenusQuitEndsWithStatusZero) {
  menuSteps.push_back([](EncoderSettings&) { return 1; });
  EXPECT_EQ(run({}), kExitSuccess);
  EXPECT_EQ(menuCalls, std::vector<bool>{false});
}

TEST_F(RunFlowTest, MenusInputEndingEndsWithStatusOne) {
  EXPECT_EQ(run({}), kExitFailure);
}

TEST_F(RunFlowTest, InteractiveFailureReturnsToMenusWithSettingsKept) {
  audioAvi.openCode = 0;
  const std::string audio = makeFile("a.wav");
  const std::string missing = path("missing.wav");
  menuSteps.push_back([&](EncoderSettings& menuSettings) {
    menuSettings.audfile = missing;
    menuSettings.outfile = path("o.pdb");
    menuSettings.palmname = "Tune";
    return 0;
  });
  menuSteps.push_back([&](EncoderSettings& menuSettings) {
    EXPECT_EQ(menuSettings.audfile, missing);
    EXPECT_EQ(menuSettings.palmname, "Tune");
    menuSettings.audfile = audio;
    return 0;
  });
  EXPECT_EQ(run({}, "\n"), kExitSuccess);
  EXPECT_EQ(menuCalls, (std::vector<bool>{false, true}));
  EXPECT_EQ(engine.calls, std::vector<std::string>{"sound Tune"});
  EXPECT_TRUE(output().ends_with("Encode complete, press Return to exit..."));
  EXPECT_EQ(settings.programName, "");  // a menu run prints without prefix
  EXPECT_NE(errorOutput().find("Error: The specified audio file"), std::string::npos);
}

TEST_F(RunFlowTest, ClosingPromptReadsOneCharacter) {
  audioAvi.openCode = 0;
  const std::string audio = makeFile("a.wav");
  menuSteps.push_back([&](EncoderSettings& menuSettings) {
    menuSettings.audfile = audio;
    menuSettings.outfile = path("o.pdb");
    menuSettings.palmname = "Tune";
    return 0;
  });
  EXPECT_EQ(run({}, "xy"), kExitSuccess);
  EXPECT_EQ(std::fgetc(console->input), 'y');
}

TEST_F(RunFlowTest, InteractiveFirstIgnoresLaterArguments) {
  menuSteps.push_back([](EncoderSettings&) { return 1; });
  EXPECT_EQ(run({"-interactive", "-bogus"}), kExitSuccess);
  EXPECT_EQ(menuCalls.size(), 1u);
  EXPECT_EQ(errorOutput(), "");
}

// Whole runs through the real console engine and encode drivers, with
// in-memory sources standing in for the media files.
class RunFlowEncodeTest : public ::testing::Test {
 protected:
  RunFlowEncodeTest() {
    std::string pattern = (fs::temp_directory_path() / "runflow-encode-XXXXXX").string();
    directory = mkdtemp(pattern.data());
    std::ofstream(directory / "clip.avi") << "stand-in";
    VideoStreamInfo stream;
    stream.rate = 10;
    stream.scale = 1;
    stream.length = 5;
    stream.width = 32;
    stream.height = 24;
    video.setStream(stream);
  }
  ~RunFlowEncodeTest() override { fs::remove_all(directory); }

  int run(std::vector<std::string> arguments) {
    RunFlow flow(settings, engine, videoSources, audioSources,
                 SourceKinds{&audio, &video, nullptr, nullptr},
                 RunStreams{console.input, console.output, errors.output});
    flow.setHostChecker([] { return nullptr; });
    arguments.insert(arguments.begin(), "vantrel");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    return flow.run(static_cast<int>(argv.size()), argv.data());
  }

  std::string clip() const { return (directory / "clip.avi").string(); }
  std::string movie() const { return (directory / "movie.pdb").string(); }

  static std::vector<std::int16_t> ramp(int count) {
    std::vector<std::int16_t> samples;
    for (int i = 0; i < count; ++i) samples.push_back(static_cast<std::int16_t>(i * 7));
    return samples;
  }

  fs::path directory;
  EncoderSettings settings;
  ConsoleMovieEncoder engine{settings};
  VideoSourceList videoSources;
  AudioSourceList audioSources;
  FakeVideoSource video;
  FakeAudioSource audio{FakeAudioSource::pcmInfo(8000, 16, 1),
                        FakeAudioSource::packInt16(ramp(8000))};
  ScriptedConsole console{""};
  ScriptedConsole errors{""};
};

TEST_F(RunFlowEncodeTest, SoundOnlyRunWritesWaveDatabaseAndSummary) {
  ASSERT_EQ(run({"-audfile=" + clip(), "-outfile=" + movie()}), kExitSuccess);
  const std::string text = console.text();
  EXPECT_NE(text.find("\nAudio encoding complete.\n"), std::string::npos);
  EXPECT_NE(text.find("\nEncode complete.  Summary:\n\tDatabase name:     movie\n"
                      "\tFrame Rate:        10 fps\n\tAverage Quality:   100.0%\n"),
            std::string::npos);
  EXPECT_EQ(errors.text(), "");
  DatabaseReader database;
  ASSERT_TRUE(database.load(movie())) << database.error();
  EXPECT_EQ(database.name, "movie");
  EXPECT_EQ(database.type, fourCC('W', 'a', 'v', 'e'));
  EXPECT_EQ(database.creator, fourCC('V', 'n', 'T', 'r'));
  EXPECT_TRUE(database.structureProblems().empty());
}

TEST_F(RunFlowEncodeTest, MovieRunWritesMovieDatabase) {
  ASSERT_EQ(run({"-vidfile=" + clip(), "-audfile=" + clip(), "-outfile=" + movie(),
                 "-palmname=Clip", "-framerate=10"}),
            kExitSuccess);
  const std::string text = console.text();
  EXPECT_NE(text.find("\nVideo encoding complete.\n"), std::string::npos);
  EXPECT_NE(text.find("\tTotal frame Count: 4\n"), std::string::npos);
  DatabaseReader database;
  ASSERT_TRUE(database.load(movie())) << database.error();
  EXPECT_EQ(database.name, "Clip");
  EXPECT_EQ(database.type, fourCC('M', 'v', 'i', 'e'));
  EXPECT_TRUE(database.structureProblems().empty());
  EXPECT_FALSE(video.isOpen());
}

}  // namespace
}  // namespace vantrel
