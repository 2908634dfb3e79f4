// Whole program runs without arguments: the real menus on a scripted console,
// from the first-run questions to the closing prompt, a failed conversion that
// brings the menus back, and console input that ends at any prompt.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "MovieSound.h"
#include "ProgramRun.h"
#include "RunFlow.h"
#include "database/DatabaseReader.h"
#include "support/TestClips.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kClosingPrompt = "Encode complete, press Return to exit...";

// The lines typed at the console, joined with line ends.
std::string typed(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos;
       at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

class InteractiveRunTest : public ::testing::Test {
 protected:
  InteractiveRunTest() {
    test::RawAviClip clip;
    clip.frames = 11;
    EXPECT_TRUE(test::writeRawAvi(videoFile(), clip));
    EXPECT_TRUE(test::writePcm16Wav(audioFile(), 22050, 1,
                                    test::toneSamples(22050, 1, 1.0, {{1000.0, 0.4}})));
  }

  std::string videoFile() const { return media.file("clip.avi"); }
  std::string audioFile() const { return media.file("tone.wav"); }
  std::string missingFile() const { return media.file("missing.avi"); }
  std::string movie() const { return media.file("movie.pdb"); }

  // The answers of a session that first names a video file that does not
  // exist, converts, gets the menus back, names the real file on the Files
  // page and converts again.
  std::vector<std::string> retrySession() const {
    return {missingFile(),  // first run: video source
            "",             // audio source: none
            movie(),        // output file (the database name follows from it)
            "",             // the settings are shown: Enter to continue
            "g",            // Main Menu: go; the video file is missing
            "f",            // Main Menu again: Files menu
            "v",            // video source item
            videoFile(),    // its prompt
            "-",            // back to the Main Menu
            "g"};           // convert
  }

  // Media written once; every run gets its own program objects.
  test::ScratchDirectory media;
  test::ProgramRun program;
};

TEST_F(InteractiveRunTest, AConversionFromTheMenusEndsWithTheSummaryAndTheClosingPrompt) {
  const int status =
      program.run({}, typed({videoFile(), audioFile(), movie(), "", "g", ""}));
  EXPECT_EQ(status, kExitSuccess) << program.errors();
  EXPECT_EQ(program.errors(), "");
  const std::string text = program.output();
  // The first-run questions, the settings, then the Main Menu.
  EXPECT_NE(text.find("Source video pathname (\"-\" for no video)? [no video] "),
            std::string::npos);
  EXPECT_NE(text.find("Source audio pathname (\"-\" for no audio)? [no audio] "),
            std::string::npos);
  EXPECT_NE(text.find("Output pathname (Palm database *.pdb)? "), std::string::npos);
  EXPECT_NE(text.find("\tPalm file name: \"movie\"\n"), std::string::npos);
  EXPECT_NE(text.find("\nPress Enter to continue..."), std::string::npos);
  EXPECT_NE(text.find("\n-----------\n Main Menu \n-----------\n\n"), std::string::npos);
  EXPECT_NE(text.find("Menu choice (\"!\" to redraw)? "), std::string::npos);
  // A menu run prints its messages without the program name. (A terminal
  // echoes the typed "g" and its line end; the scripted console does not.)
  EXPECT_NE(text.find("? Performing video and audio conversion...\n"
                      "    - video file \"" + videoFile() + "\"\n"
                      "    - audio file \"" + audioFile() + "\"\n"),
            std::string::npos);
  EXPECT_EQ(text.find("vantrel: "), std::string::npos);
  EXPECT_NE(text.find("\nVideo encoding complete.\n"), std::string::npos);
  EXPECT_NE(text.find("\nAudio encoding complete.\n"), std::string::npos);
  EXPECT_NE(text.find("\nEncode complete.  Summary:\n\tDatabase name:     movie\n"
                      "\tFrame Rate:        10 fps\n"),
            std::string::npos);
  EXPECT_NE(text.find("\tTotal frame Count: 10\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with(std::string("\n\n") + kClosingPrompt)) << text;

  DatabaseReader database;
  ASSERT_TRUE(database.load(movie())) << database.error();
  EXPECT_EQ(fourCCText(database.type), "Mvie");
  EXPECT_EQ(database.name, "movie");
  EXPECT_EQ(database.recordCount, 1 + 10 + 1);
  EXPECT_TRUE(database.structureProblems().empty());
}

TEST_F(InteractiveRunTest, AMissingVideoFileBringsBackTheMainMenuWithTheSettingsKept) {
  const int status = program.run({}, typed(retrySession()) + "\n");
  EXPECT_EQ(status, kExitSuccess);
  EXPECT_EQ(program.errors(),
            "Error: The specified video file doesn't exist\n"
            "    - video file \"" +
                missingFile() +
                "\"\n"
                "    - output file \"" +
                movie() + "\"\n");
  const std::string text = program.output();
  const std::size_t failure = text.find("    - video file \"" + missingFile() + "\"\n");
  ASSERT_NE(failure, std::string::npos) << text;
  const std::string after = text.substr(failure);
  // Straight back to the Main Menu (the first-run questions are not asked
  // again), with the video path and the output file as they were.
  EXPECT_EQ(after.find("[no video]"), std::string::npos);
  const std::size_t menu = after.find("\n-----------\n Main Menu \n-----------\n\n");
  const std::size_t files = after.find(" Main Menu >> Files \n");
  ASSERT_NE(menu, std::string::npos);
  ASSERT_NE(files, std::string::npos);
  EXPECT_LT(menu, files);
  EXPECT_NE(after.find("  (V)ideo source file  [" + missingFile() + "]\n"), std::string::npos);
  EXPECT_NE(after.find("  (O)utput .pdb file   [" + movie() + "]\n"), std::string::npos);
  EXPECT_NE(after.find("Source video pathname (\"-\" for no video)? [" + missingFile() + "] "),
            std::string::npos);
  EXPECT_EQ(occurrences(text, "Encode complete.  Summary:"), 1u);
  EXPECT_TRUE(text.ends_with(kClosingPrompt));

  DatabaseReader database;
  ASSERT_TRUE(database.load(movie())) << database.error();
  EXPECT_EQ(database.name, "movie");
  EXPECT_EQ(fourCCText(database.type), "Mvie");
}

TEST_F(InteractiveRunTest, EndOfInputAtAnyMenuPromptEndsWithStatusOne) {
  const std::vector<std::string> session = retrySession();
  // Every prefix of the session stops at one of its prompts, the last one at
  // the Main Menu right before the final "g".
  for (std::size_t answered = 0; answered < session.size(); ++answered) {
    SCOPED_TRACE("input ends after " + std::to_string(answered) + " answers");
    const std::vector<std::string> lines(session.begin(),
                                         session.begin() + std::ptrdiff_t(answered));
    auto run = std::make_unique<test::ProgramRun>();
    EXPECT_EQ(run->run({}, typed(lines)), kExitFailure);
    EXPECT_EQ(run->output().find("Encode complete"), std::string::npos);
    EXPECT_FALSE(fs::exists(movie()));
  }
}

TEST_F(InteractiveRunTest, EndOfInputAtTheRepeatedOutputQuestionEndsWithStatusOne) {
  EXPECT_EQ(program.run({}, typed({"", "", "", ""})), kExitFailure);
  EXPECT_EQ(occurrences(program.output(), "An output file must be specified.\n"), 2u);
}

TEST_F(InteractiveRunTest, EndOfInputAtTheQuitQuestionEndsWithStatusOne) {
  const std::vector<std::string> toMainMenu = {"", "", movie(), ""};
  std::vector<std::string> lines = toMainMenu;
  lines.push_back("q");
  EXPECT_EQ(program.run({}, typed(lines)), kExitFailure);
  EXPECT_TRUE(program.output().ends_with("Are you sure you wish to quit? [n] "));

  auto quitting = std::make_unique<test::ProgramRun>();
  lines.push_back("y");
  EXPECT_EQ(quitting->run({}, typed(lines)), kExitSuccess);
  EXPECT_EQ(quitting->output().find(kClosingPrompt), std::string::npos);
}

TEST_F(InteractiveRunTest, EndOfInputAtTheClosingPromptStillEndsWithStatusZero) {
  // The conversion has run: the movie is complete whatever follows.
  EXPECT_EQ(program.run({}, typed({videoFile(), "", movie(), "", "g"})), kExitSuccess);
  EXPECT_TRUE(program.output().ends_with(kClosingPrompt));
  DatabaseReader database;
  ASSERT_TRUE(database.load(movie())) << database.error();
  EXPECT_TRUE(database.structureProblems().empty());
}

}  // namespace
}  // namespace vantrel
