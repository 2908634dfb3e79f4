// The console text of whole conversions: the run messages of the program
// entry, then the progress lines of the encode, in order, byte for byte.

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "EndToEndHarness.h"
#include "engine/ProgressEvent.h"
#include "support/EncodedClipWriter.h"

namespace vantrel::test {
namespace {

constexpr const char* kBanner =
    "Vantrel Encoder v3.90.00 - converts video and audio files into Palm OS movies\n\n";

class EndToEndConsoleTest : public ::testing::Test {
 protected:
  std::string writeClip(int frames) {
    EncodedClip shape;
    shape.width = 64;
    shape.height = 48;
    shape.frames = frames;
    shape.fpsNum = 15;
    const std::string path = harness.file("clip.avi");
    EXPECT_EQ(writeEncodedClip(path, shape), "");
    return path;
  }

  // The console output with the counter lines that the once-a-second rule may
  // add in between taken out: an analysis line followed by another, and a
  // frame line of frames 1 to N - 1. What stays is the same on every run.
  static std::string withoutIntermediateCounters(const std::string& text, int frames) {
    const std::string count = std::to_string(frames);
    const std::regex analysis("\rAnalyzing frame [0-9]+ of " + count +
                              " for color optimization(?=\rAnalyzing)");
    std::string kept = std::regex_replace(text, analysis, "");
    const std::regex frameLine("\rEncoded frame [0-9]+ of " + count +
                               ", [ 0-9]{3}[0-9]+ bytes, quality = [0-9]+\\.[0-9]%  "
                               "(?=\rEncoded frame [0-9]+ of " +
                               count + ", )");
    kept = std::regex_replace(kept, frameLine, "");
    // Frame 0 of N opens the frame pass; put it back if it was taken.
    const std::string opening =
        "\rEncoded frame 0 of " + count + ",    0 bytes, quality = 0.1%  ";
    const std::string translating = "\nTranslating colors...\n";
    const std::size_t at = kept.find(translating);
    if (at != std::string::npos &&
        kept.compare(at + translating.size(), opening.size(), opening) != 0) {
      kept.insert(at + translating.size(), opening);
    }
    return kept;
  }

  static std::string frameLine(int frame, int frames, std::size_t bytes,
                               const char* quality) {
    char line[128];
    std::snprintf(line, sizeof line,
                  "\rEncoded frame %d of %d, %4zu bytes, quality = %s%%  ", frame, frames,
                  bytes, quality);
    return line;
  }

  std::string summary(int frames, const char* quality) {
    return "\nEncode complete.  Summary:\n\tDatabase name:     movie\n"
           "\tFrame Rate:        15 fps\n\tAverage Quality:   " +
           std::string(quality) + "%\n\tTotal frame Count: " + std::to_string(frames) +
           "\n\tOutput file size:  " + std::to_string(harness.database().bytes().size()) +
           " bytes\n\n";
  }

  std::string lastRecordLength() {
    return std::to_string(
        harness.database().record(harness.database().recordCount - 1).size());
  }

  EndToEndHarness harness;
};

// Runs the program itself with arguments, its standard output on a new
// pseudo-terminal (onTerminal) or into a pipe, and returns what it wrote
// there; status is its exit status, or -1 when it did not exit. A non-empty
// errorFile receives its standard error.
std::string programOutput(const std::vector<std::string>& arguments, bool onTerminal,
                          int& status, const std::string& errorFile = "") {
  std::vector<std::string> words = programCommand(arguments);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);
  int reader = -1;
  pid_t child = -1;
  if (onTerminal) {
    child = forkpty(&reader, nullptr, nullptr, nullptr);
  } else {
    int ends[2];
    if (pipe(ends) != 0) return {};
    child = fork();
    if (child == 0) dup2(ends[1], STDOUT_FILENO);
    close(ends[1]);
    reader = ends[0];
    if (child == 0) close(reader);
  }
  if (child == 0) {
    if (!errorFile.empty() && std::freopen(errorFile.c_str(), "w", stderr) == nullptr)
      _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t count = read(reader, buffer, sizeof buffer);
    if (count > 0) {
      text.append(buffer, std::size_t(count));
    } else if (count == 0 || errno != EINTR) {
      break;  // the end of the pipe, or EIO once the terminal's last user left
    }
  }
  close(reader);
  int result = 0;
  status = child > 0 && waitpid(child, &result, 0) == child && WIFEXITED(result)
               ? WEXITSTATUS(result)
               : -1;
  return text;
}

TEST_F(EndToEndConsoleTest, TerminalShowsTheShareDoneAndTheTimeLeftAndPipesGetWholeLines) {
  const std::vector<std::string> arguments =
      movieArguments(writeClip(30), harness.file("movie.pdb"), {"-colordepth=12"});
  int status = -1;
  const std::string terminal = programOutput(arguments, true, status);
  EXPECT_EQ(status, 0) << terminal;
  EXPECT_NE(terminal.find("\rEncoded frame 0 of 29,    0 bytes, quality = 0.1%  0% done, "
                          "--:-- left  "),
            std::string::npos)
      << terminal;
  EXPECT_TRUE(std::regex_search(
      terminal, std::regex("\rEncoded frame 29 of 29, [ 0-9]{4} bytes, quality = [0-9.]+%  "
                           "100% done, 0:00 left  ")))
      << terminal;

  // Into a pipe: whole lines, no carriage return, the last frame's line kept.
  const std::string piped = programOutput(arguments, false, status);
  EXPECT_EQ(status, 0) << piped;
  EXPECT_EQ(piped.find('\r'), std::string::npos) << piped;
  EXPECT_TRUE(std::regex_search(
      piped, std::regex("\nTranslating colors...\n(Encoded frame [0-9]+ of 29, [^\n]* left\n)*"
                        "Encoded frame 29 of 29, [ 0-9]{4} bytes, quality = [0-9.]+%  100% "
                        "done, 0:00 left\nVideo encoding complete.\n")))
      << piped;
}

TEST_F(EndToEndConsoleTest, SilentEightBitMovieShowsEveryPhaseInOrder) {
  const std::string clip = writeClip(4);
  ASSERT_EQ(harness.run(movieArguments(clip, harness.file("movie.pdb"),
                                       {"-colordepth=16", "-uncompressed"})),
            kExitSuccess);
  ASSERT_TRUE(harness.databaseLoaded());
  const std::size_t lastBytes = harness.database().record(3).size();
  const std::string expected =
      std::string(kBanner) + "vantrel: Performing video-only conversion...\n" +
      "    - video file \"" + clip + "\"\n" +
      "\rAnalyzing frame 3 of 3 for color optimization" + "\nTranslating colors...\n" +
      "\rEncoded frame 0 of 3,    0 bytes, quality = 0.1%  " +
      frameLine(3, 3, lastBytes, "100.0") +  // key frames have quality 1, capped at 100.0
      "\nVideo encoding complete.\n" + summary(3, "100.0");
  EXPECT_EQ(withoutIntermediateCounters(harness.output(), 3), expected);
  EXPECT_EQ(harness.errors(), "");
  EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
}

TEST_F(EndToEndConsoleTest, DifferenceFramesReportTheirBytesAndQuality) {
  const std::string clip = writeClip(4);
  ASSERT_EQ(
      harness.run(movieArguments(clip, harness.file("movie.pdb"), {"-colordepth=12"})),
      kExitSuccess);
  ASSERT_TRUE(harness.databaseLoaded());
  const std::string text = withoutIntermediateCounters(harness.output(), 3);
  // The last frame is a difference frame: its quality is below 100 percent or,
  // for a frame coded exactly, 100.0.
  const std::regex expected(
      std::string("[\\s\\S]*\n\n") + "vantrel: Performing video-only conversion...\n" +
      "    - video file \"[^\"]+\"\n" +
      "\rAnalyzing frame 3 of 3 for color optimization" + "\nTranslating colors...\n" +
      "\rEncoded frame 0 of 3,    0 bytes, quality = 0\\.1%  " +
      "\rEncoded frame 3 of 3, +" + lastRecordLength() +
      " bytes, quality = [0-9]{1,3}\\.[0-9]%  " + "\nVideo encoding complete.\n" +
      "\nEncode complete\\.  Summary:\n\tDatabase name:     movie\n" +
      "\tFrame Rate:        15 fps\n\tAverage Quality:   [0-9]{1,3}\\.[0-9]%\n" +
      "\tTotal frame Count: 3\n\tOutput file size:  " +
      std::to_string(harness.database().bytes().size()) + " bytes\n\n");
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
  // The summary's quality is the mean of the frames' qualities.
  char average[32];
  std::snprintf(average, sizeof average, "Average Quality:   %1.01f%%",
                harness.engine().summary.averageQuality * 100.0 + 0.05);
  EXPECT_NE(text.find(average), std::string::npos);
  EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
}

TEST_F(EndToEndConsoleTest, TruecolorMovieHasNoAnalysisLine) {
  const std::string clip = writeClip(4);
  ASSERT_EQ(
      harness.run(movieArguments(clip, harness.file("movie.pdb"), {"-colordepth=24"})),
      kExitSuccess);
  const std::string text = harness.output();
  EXPECT_EQ(text.find("Analyzing"), std::string::npos);
  const std::string fileLine = "    - video file \"" + clip + "\"\n";
  EXPECT_NE(text.find(fileLine + "\nTranslating colors...\n\rEncoded frame 0 of 3,"),
            std::string::npos)
      << text;
  EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
}

TEST_F(EndToEndConsoleTest, ProgressHookSeesTheEventsOfOneEncodeInOrder) {
  const std::string clip = writeClip(4);
  ASSERT_EQ(
      harness.run(movieArguments(clip, harness.file("movie.pdb"), {"-colordepth=16"})),
      kExitSuccess);
  // Counter events of the passes may repeat; the phases come once each, in order.
  std::vector<int> phases;
  for (const ProgressCall& call : harness.progress()) {
    const bool counter =
        (call.event == eventCode(ProgressEvent::Analysis) && call.data != 0) ||
        (call.event == eventCode(ProgressEvent::FrameEncoded) && call.value != 0);
    if (!counter) phases.push_back(call.event);
  }
  EXPECT_EQ(phases, (std::vector<int>{6, 7, 1, 0}));
  const ProgressCall& last = harness.progress().back();
  EXPECT_EQ(last.data, reinterpret_cast<std::intptr_t>(&harness.engine().summary));
  const ProgressCall& lastFrame = harness.progress()[harness.progress().size() - 3];
  EXPECT_EQ(lastFrame.event, eventCode(ProgressEvent::FrameEncoded));
  EXPECT_EQ(lastFrame.data, std::intptr_t(packPair(3, 3)));
  EXPECT_EQ(lowHalf(lastFrame.value), std::stoi(lastRecordLength()));
  EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
}

TEST_F(EndToEndConsoleTest,
       MovieSentToAPipeOnStandardOutputHasEveryMessageOnTheErrorStream) {
  const std::string clip = writeClip(4);
  ASSERT_EQ(harness.run(movieArguments(clip, harness.file("movie.pdb"), {})),
            kExitSuccess);
  const DatabaseReader& written = harness.database();
  for (const char* output : {"/dev/stdout", "-"}) {
    int status = -1;
    const std::string errors = harness.file("errors.txt");
    // Without -palmname the movie is named after its clip, not after "-".
    const bool named = output[0] == '/';
    std::vector<std::string> arguments = {"-vidfile=" + clip, "-outfile=" + std::string(output)};
    if (named) arguments.push_back("-palmname=movie");
    const std::string movie = programOutput(arguments, false, status, errors);
    EXPECT_EQ(status, kExitSuccess) << output;
    // Byte for byte the movie written to a file, but for the dates of the
    // database header.
    ASSERT_TRUE(writeTextFile(harness.file("piped.pdb"), movie));
    DatabaseReader piped;
    ASSERT_TRUE(piped.load(harness.file("piped.pdb"))) << output << ": " << piped.error();
    EXPECT_TRUE(piped.structureProblems().empty()) << output;
    EXPECT_EQ(piped.name, named ? "movie" : std::filesystem::path(clip).stem().string());
    ASSERT_EQ(piped.recordCount, written.recordCount) << output;
    for (int index = 0; index < piped.recordCount; ++index) {
      EXPECT_TRUE(std::ranges::equal(piped.record(index), written.record(index)))
          << index;
    }
    std::ifstream stream(errors);
    const std::string console{std::istreambuf_iterator<char>(stream), {}};
    EXPECT_TRUE(console.starts_with(kBanner)) << console;
    EXPECT_NE(console.find("Encode complete.  Summary:"), std::string::npos) << console;
  }
}

TEST_F(EndToEndConsoleTest, ValueOutsideAFlagsRangeEndsTheRunBeforeAnythingIsOpened) {
  const std::string clip = writeClip(4);
  const std::pair<const char*, const char*> cases[] = {
      {"resolution=9", "0 to 3"},   {"colordepth=99", "8, 12, 16, 24 or 25"},
      {"cropping=101", "0 to 100"}, {"audioboost=1000", "100 to 300"},
      {"framerate=-1", "0 to 60"},  {"framesize=-1", "0 or more"},
      {"keyframes=-1", "0 or more"}};
  for (const auto& [flag, range] : cases) {
    const std::string text = flag;
    const std::size_t equals = text.find('=');
    EXPECT_EQ(harness.run(movieArguments(clip, harness.file("movie.pdb"), {"-" + text})),
              kExitFailure);
    EXPECT_EQ(harness.errors(), "vantrel: flag \"" + text.substr(0, equals) +
                                    "\" parameter \"" + text.substr(equals + 1) +
                                    "\" is out of range (" + range + ")\n");
    EXPECT_EQ(harness.output(), kBanner);
    // Nothing was written: the scratch folder holds the clip alone.
    const std::filesystem::directory_iterator folder(
        std::filesystem::path(clip).parent_path());
    EXPECT_EQ(std::distance(folder, std::filesystem::directory_iterator()), 1) << flag;
  }
}

TEST_F(EndToEndConsoleTest, RunsThatCannotWriteTheirMovieEndBeforeAnythingIsOpened) {
  const std::string clip = writeClip(4);
  const std::string folder = harness.file("folder");
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  const std::string movie = "-outfile=" + harness.file("movie.pdb");
  const std::string isFolder =
      "vantrel: Error: the output file is a folder; name the movie "
      "file to write (such as ";
  // Each run, and the first line of what it says.
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-vidfile=" + clip},
       "vantrel: Error: no output file is named; give one with "
       "-outfile=movie.pdb, or name the file to convert alone (vantrel "
       "clip.mp4 writes clip.pdb).\n"},
      {{"-vidfile=" + folder, movie},
       "vantrel: Error: the video file is a folder, not a file.\n"},
      {{clip, "-audfile=" + folder, movie},
       "vantrel: Error: the audio file is a folder, not a file.\n"},
      {{clip, "-outfile=" + folder + "/new/"}, isFolder + folder + "/new/movie.pdb).\n"},
      {{clip, "-outfile=" + folder}, isFolder + folder + "/movie.pdb).\n"},
      {{clip, "-loop=maybe"},
       "vantrel: flag \"loop\" parameter \"maybe\" is not valid (1 or "
       "0, on or off, yes or no, true or false)\n"},
      {{clip, "-colordepth"},
       "vantrel: flag \"colordepth\" needs a value (-colordepth=...)\n"}};
  for (const auto& [arguments, message] : cases) {
    EXPECT_EQ(harness.run(arguments), kExitFailure) << message;
    EXPECT_EQ(harness.errors().substr(0, message.size()), message);
    // No source was opened: that would have said "Performing ... conversion".
    EXPECT_EQ(harness.output(), kBanner) << message;
  }
  // Nothing was written: the scratch folder holds the clip and the folder.
  const std::filesystem::directory_iterator files(
      std::filesystem::path(clip).parent_path());
  EXPECT_EQ(std::distance(files, std::filesystem::directory_iterator()), 2);
}

}  // namespace
}  // namespace vantrel::test
