#include "EncoderMenuUI.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "EncoderMenuPages.h"
#include "ScriptedConsole.h"
#include "SettingsSummary.h"

namespace vantrel {
namespace {

const std::string kTopPrompt = "Menu choice (\"!\" to redraw)? ";
const std::string kSubPrompt = "Menu choice (\"-\" to go up, \"!\" to redraw)? ";
const std::string kQuit = "Are you sure you wish to quit? [n] ";
const std::string kPressEnter = "\nPress Enter to continue...";

// A drawn page: framed title, then the item lines, then the empty line.
std::string drawn(const std::string& title, const std::string& lines) {
  const std::string dashes(std::min<std::size_t>(title.size() + 2, 80), '-');
  return "\n" + dashes + "\n " + title + " \n" + dashes + "\n\n" + lines + "\n";
}

std::string notANumber(const std::string& answer) {
  return "Error - \"" + answer + "\" is not a valid number\n\n";
}

const std::string kMainDrawn = drawn("Main Menu",
                                     "  (F)iles menu\n"
                                     "  (V)ideo options menu\n"
                                     "  (A)udio options menu\n"
                                     "  (O)utput options menu\n"
                                     "\n"
                                     "  (S)how current settings\n"
                                     "\n"
                                     "  (G)o run conversion\n"
                                     "  (Q)uit\n");

class EncoderMenuUITest : public ::testing::Test {
 protected:
  // Runs the menus over a script; starts at the Main Menu unless firstRun.
  int runScript(const std::string& script, bool firstRun = false) {
    console = std::make_unique<ScriptedConsole>(script);
    return runMenus(settings, !firstRun, console->input, console->output);
  }
  std::string output() { return console->text(); }
  bool outputHas(const std::string& text) { return output().find(text) != std::string::npos; }

  // A menu object for the value texts, without running it.
  std::string displayValue(SettingId id) {
    ScriptedConsole idle("");
    return EncoderMenuUI(encoderMenuPages(), settings, idle.input, idle.output).displayValue(id);
  }
  std::string promptValue(SettingId id) {
    ScriptedConsole idle("");
    return EncoderMenuUI(encoderMenuPages(), settings, idle.input, idle.output).promptValue(id);
  }
  static std::string cwd() { return std::filesystem::current_path().string(); }

  EncoderSettings settings;
  std::unique_ptr<ScriptedConsole> console;
};

TEST_F(EncoderMenuUITest, LaterEntryStartsAtTheMainMenuAndQuitConfirmedGivesOne) {
  EXPECT_EQ(runScript("q\ny\n"), 1);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kQuit);
}

TEST_F(EncoderMenuUITest, RefusedQuitLeavesTheUserAtTheMenuPrompt) {
  EXPECT_EQ(runScript("q\nn\n"), 2);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kQuit + kTopPrompt);
}

TEST_F(EncoderMenuUITest, FirstRunAsksForFilesRepeatsOutputShowsSettingsThenMainMenu) {
  EXPECT_EQ(runScript("\n\n\nmovies/clip.pdb\n\nq\ny\n", true), 1);
  EXPECT_EQ(settings.outfile, "movies/clip.pdb");
  EXPECT_EQ(settings.palmname, "clip");
  EXPECT_EQ(output(), "Source video pathname (\"-\" for no video)? [no video] "
                      "Source audio pathname (\"-\" for no audio)? [no audio] "
                      "Output pathname (Palm database *.pdb)? "
                      "An output file must be specified.\n"
                      "Output pathname (Palm database *.pdb)? " +
                          settingsSummaryText(settings) + kPressEnter + kMainDrawn + kTopPrompt +
                          kQuit);
}

TEST_F(EncoderMenuUITest, MainMenuReachedFromTheFirstRunOffersNoWayBack) {
  EXPECT_EQ(runScript("a.avi\n\nout.pdb\n\n-\nq\ny\n", true), 1);
  EXPECT_TRUE(outputHas(kMainDrawn + kTopPrompt + kTopPrompt + kQuit));
}

TEST_F(EncoderMenuUITest, AudioOptionsPageLinesUpValuesAfterLabels) {
  EXPECT_EQ(runScript("a\n"), 2);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt +
                          drawn("Main Menu >> Audio Options",
                                "  (A)udio source file  [no audio]\n"
                                "\n"
                                "  (H)igh fidelity audio (toggle)   [Standard]\n"
                                "  (C)ompress audio (toggle)        [None]\n"
                                "  (V)olume adjustment              [150%]\n"
                                "  (P)refilter audio (toggle)       [On]\n"
                                "\n"
                                "  (S)how current settings\n") +
                          kSubPrompt);
}

TEST_F(EncoderMenuUITest, VideoOptionsPageShowsDefaultValues) {
  EXPECT_EQ(runScript("v\n"), 2);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt +
                          drawn("Main Menu >> Video Options",
                                "  (A)dvanced video options\n"
                                "\n"
                                "  (V)ideo source file    [no video]\n"
                                "\n"
                                "  (R)esolution                 [160x160]\n"
                                "  (C)ropping percentage        [0 (Letterbox)]\n"
                                "  (G)ray/Color mode (toggle)   [Color]\n"
                                "  (B)it color depth per pixel  [16/24-bit Truecolor Plus]\n"
                                "\n"
                                "  (F)rames per second playback rate  [15]\n"
                                "  (K)ey frame interval (minimum)  [0]\n"
                                "  (T)arget compressed frame size  (bytes)  [1600]\n"
                                "\n"
                                "  (S)how current settings\n") +
                          kSubPrompt);
}

TEST_F(EncoderMenuUITest, AdvancedOptionsPageLiesTwoLevelsDeep) {
  EXPECT_EQ(runScript("v\na\n-\n-\nq\ny\n"), 1);
  const std::string advanced =
      drawn("Main Menu >> Video Options >> Advanced Video Options",
            "  (E)ncode video faster, but with lower quality (toggle)  [Standard]\n"
            "  (B)est pictures in the same size, slower (toggle)       [Standard]\n"
            "  (H)old and wait for tap after movie playback (toggle)   [Don't Hold]\n"
            "  (L)oop back to first frame after playback (toggle)      [Stop at end]\n"
            "  (C)ompress video frames for manageable sizes (toggle)   [Compressed]\n"
            "  (Y)-flip input video frames vertically (toggle)         [Normal]\n"
            "  (X)-flip input video frames horizontally (toggle)       [Normal]\n"
            "  (R)otate video frames 90 degrees (toggle)               [Off (Portrait)]\n"
            "\n"
            "  St(a)rt this far into the source                        [beginning]\n"
            "  (D)uration of the part to convert                       [to the end]\n"
            "  Largest movie file si(z)e (sets the frame size)         [no limit]\n"
            "\n"
            "  (S)how current settings\n");
  EXPECT_TRUE(outputHas(kSubPrompt + advanced + kSubPrompt)) << output();
  EXPECT_TRUE(outputHas(kSubPrompt + kMainDrawn + kTopPrompt + kQuit));
}

TEST_F(EncoderMenuUITest, EverySettingCanBeChangedThroughItsMenu) {
  const std::string script =
      "f\nv\nclip.avi\na\nsound.wav\no\nout/movie.pdb\n-\n"
      "o\nn\nMyMovie\nf\nFull Title\na\nMe\n-\n"
      "a\nh\nc\nv\n200\np\n-\n"
      "v\nr\n1\nc\n25\ng\nb\n1\nf\n12\nk\n3\nt\n2000\n"
      "a\ne\nh\nl\nc\ny\nx\nr\na\n1:30\nd\n12.5\nz\n9X\n2M\n-\n-\n"
      "g\n";
  EXPECT_EQ(runScript(script), 0);
  EXPECT_EQ(settings.vidfile, "clip.avi");
  EXPECT_EQ(settings.audfile, "sound.wav");
  EXPECT_EQ(settings.outfile, "out/movie.pdb");
  EXPECT_EQ(settings.palmname, "MyMovie");
  EXPECT_EQ(settings.title, "Full Title");
  EXPECT_EQ(settings.author, "Me");
  EXPECT_TRUE(settings.hifi);
  EXPECT_TRUE(settings.adpcm);
  EXPECT_EQ(settings.audioboost, 200);
  EXPECT_FALSE(settings.audiofilter);
  EXPECT_EQ(settings.resolution, 1);
  EXPECT_DOUBLE_EQ(settings.cropping, 0.25);
  EXPECT_TRUE(settings.grayscale);
  EXPECT_EQ(settings.colordepth, 16);
  EXPECT_EQ(settings.framerate, 12);
  EXPECT_EQ(settings.framesize, 2000);
  EXPECT_TRUE(settings.fastencode);
  EXPECT_TRUE(settings.hold);
  EXPECT_TRUE(settings.loop);
  EXPECT_TRUE(settings.uncompressed);
  EXPECT_TRUE(settings.vflip);
  EXPECT_TRUE(settings.hflip);
  EXPECT_TRUE(settings.rotate);
  EXPECT_EQ(settings.start, "1:30");
  EXPECT_EQ(settings.duration, "12.5");
  EXPECT_EQ(settings.filesize, "2M");
  EXPECT_TRUE(outputHas("Error - \"9X\" is not valid (bytes, or a number followed by K, M or G).\n"));
}

TEST_F(EncoderMenuUITest, OutputAnswerDerivesTheNameOnlyWhileItIsEmpty) {
  EXPECT_EQ(runScript("f\no\nC:/out/clip.pdb\no\nother/second.pdb\n"), 2);
  EXPECT_EQ(settings.outfile, "other/second.pdb");
  EXPECT_EQ(settings.palmname, "clip");
}

TEST_F(EncoderMenuUITest, EmptyOutputAnswerKeepsTheFileAndStillDerivesTheName) {
  settings.outfile = "dir/keep.pdb";
  EXPECT_EQ(runScript("o\no\n\n"), 2);
  EXPECT_EQ(settings.outfile, "dir/keep.pdb");
  EXPECT_EQ(settings.palmname, "keep");
  EXPECT_FALSE(outputHas("An output file must be specified."));
  EXPECT_TRUE(outputHas("Output pathname (Palm database *.pdb)? [dir/keep.pdb] "));
}

TEST_F(EncoderMenuUITest, OutputPromptOnAMenuRepeatsUntilAnswered) {
  EXPECT_EQ(runScript("f\no\n\n\nx.pdb\n"), 2);
  const std::string prompt = "Output pathname (Palm database *.pdb)? [] ";
  const std::string again = "An output file must be specified.\n";
  EXPECT_TRUE(outputHas(kSubPrompt + prompt + again + prompt + again + prompt + "\n"));
  EXPECT_EQ(settings.outfile, "x.pdb");
}

TEST_F(EncoderMenuUITest, DashAnswerRemovesTheVideoSource) {
  settings.vidfile = "a.avi";
  EXPECT_EQ(runScript("f\nv\n-\n"), 2);
  EXPECT_EQ(settings.vidfile, "");
  EXPECT_TRUE(outputHas("Source video pathname (\"-\" for no video)? [a.avi] "));
  EXPECT_TRUE(outputHas("  (V)ideo source file  [no video]\n"));
}

TEST_F(EncoderMenuUITest, DashAnswerRemovesTheAudioSource) {
  settings.audfile = "a.wav";
  EXPECT_EQ(runScript("a\na\n-\n"), 2);
  EXPECT_EQ(settings.audfile, "");
}

TEST_F(EncoderMenuUITest, EmptyAnswerKeepsATextSetting) {
  settings.title = "Kept";
  EXPECT_EQ(runScript("o\nf\n\n"), 2);
  EXPECT_EQ(settings.title, "Kept");
  EXPECT_TRUE(outputHas("Movie title description? [Kept] "));
}

TEST_F(EncoderMenuUITest, NumberASettingDoesNotTakeIsNeverStoredAndAsksAgain) {
  struct Case {
    const char* keys;  // page, item, the answer refused, the answer taken
    const char* prompt;
    const char* refused;
    const char* range;
  };
  const Case cases[] = {
      {"v\nr\n7\n3\n", "Resolution (0 = 160x160, 1 = 320x240, 2 = 320x320, 3 = 216x384) ",
       "7", "0 to 3"},
      {"v\nb\n-1\n0\n",
       "Color Depth Mode (0 = 8-bits, 1 = 8-bits enhanced, 2 = 16/24 bit true, 3 = 16/24 "
       "bit "
       "true plus) ",
       "-1", "0 to 3"},
      {"a\nv\n301\n200\n", "% to adjust volume (100 = no adjustment)? [150] ", "301",
       "100 to 300"},
      {"v\nf\n61\n3\n", "Output frame rate (1 fps - source rate):  ", "61", "0 to 60"},
      {"v\nt\n-1\n3\n", "Desired average frame size in bytes? [1600] ", "-1",
       "0 or more"}};
  for (const Case& c : cases) {
    EXPECT_EQ(runScript(c.keys), 2);
    EXPECT_TRUE(outputHas(std::string(c.prompt) + "Error - \"" + c.refused +
                          "\" is out of range (" + c.range + ").\n" + c.prompt + "\n"))
        << output();
  }
  EXPECT_EQ(settings.resolution, 3);
  EXPECT_EQ(settings.colordepth, 12);
  EXPECT_EQ(settings.audioboost, 200);
  EXPECT_EQ(settings.framerate, 3);
  EXPECT_EQ(settings.framesize, 3);
}

TEST_F(EncoderMenuUITest, FractionalResolutionStoresItsWholePartAndIsReported) {
  EXPECT_EQ(runScript("v\nr\n2.5\n"), 2);
  EXPECT_EQ(settings.resolution, 2);
  EXPECT_TRUE(outputHas(notANumber("2.5") + kSubPrompt));
}

TEST_F(EncoderMenuUITest, NonNumericCodeAnswerIsReportedAndChangesNothing) {
  settings.resolution = 1;
  settings.colordepth = 24;
  EXPECT_EQ(runScript("v\nr\nabc\nb\nxyz\n"), 2);
  EXPECT_EQ(settings.resolution, 1);
  EXPECT_EQ(settings.colordepth, 24);
  EXPECT_TRUE(outputHas(notANumber("abc") + kSubPrompt));
  EXPECT_TRUE(outputHas(notANumber("xyz") + kSubPrompt));
}

TEST_F(EncoderMenuUITest, ColourDepthChoicesMapToModeCodes) {
  const std::pair<const char*, int> cases[] = {
      {"0", 12}, {"1", 16}, {"2", 24}, {"3", 25}, {"2.5", 24}};
  for (const auto& [answer, code] : cases) {
    settings.colordepth = 0;
    EXPECT_EQ(runScript(std::string("v\nb\n") + answer + "\n"), 2);
    EXPECT_EQ(settings.colordepth, code) << answer;
  }
}

TEST_F(EncoderMenuUITest, CroppingPercentIsStoredAsAFractionAndShown) {
  EXPECT_EQ(runScript("v\nc\n50\n"), 2);
  EXPECT_DOUBLE_EQ(settings.cropping, 0.5);
  EXPECT_TRUE(outputHas("Cropping percentage (0 = letterbox, 100 = fill entire frame?) [0] "));
  EXPECT_TRUE(outputHas("  (C)ropping percentage        [50%]\n"));
  EXPECT_EQ(runScript("v\nc\n100\n"), 2);
  EXPECT_DOUBLE_EQ(settings.cropping, 1.0);
  EXPECT_TRUE(outputHas("fill entire frame?) [50] "));
  EXPECT_TRUE(outputHas("[100 (Fill Frame)]"));
}

TEST_F(EncoderMenuUITest, CroppingKeepsSixDecimals) {
  EXPECT_EQ(runScript("v\nc\n33.33333\n"), 2);
  EXPECT_EQ(settings.cropping, 0.333333);
}

TEST_F(EncoderMenuUITest, CroppingOutOfRangeAsksAgain) {
  EXPECT_EQ(runScript("v\nc\n101\n-1\n10\n"), 2);
  const std::string prompt = "Cropping percentage (0 = letterbox, 100 = fill entire frame?) [0] ";
  const std::string range = "Error - invalid percentage, must be between 0 and 100.\n";
  EXPECT_TRUE(outputHas(prompt + range + prompt + range + prompt + "\n"));
  EXPECT_DOUBLE_EQ(settings.cropping, 0.1);
}

TEST_F(EncoderMenuUITest, CroppingThatIsNotANumberIsReportedAndChangesNothing) {
  settings.cropping = 0.25;
  for (const char* answer : {"abc", "50x", "nan"}) {
    EXPECT_EQ(runScript(std::string("v\nc\n") + answer + "\n"), 2);
    EXPECT_DOUBLE_EQ(settings.cropping, 0.25) << answer;
    EXPECT_TRUE(outputHas(notANumber(answer) + kSubPrompt)) << answer;
  }
}

TEST_F(EncoderMenuUITest, IntegerAnswerThatIsNotWholeIsReportedAndKeepsItsNumber) {
  EXPECT_EQ(runScript("v\nf\n12x\n"), 2);
  EXPECT_EQ(settings.framerate, 12);
  EXPECT_TRUE(outputHas("Output frame rate (1 fps - source rate):  " + notANumber("12x") +
                        kSubPrompt));
}

TEST_F(EncoderMenuUITest, FrameSizePromptAlwaysNamesTheDefault) {
  settings.framesize = 2000;
  EXPECT_EQ(runScript("v\nt\n\n"), 2);
  EXPECT_TRUE(outputHas("Desired average frame size in bytes? [1600] "));
  EXPECT_EQ(settings.framesize, 2000);
}

TEST_F(EncoderMenuUITest, VolumeOfOneHundredShowsNone) {
  EXPECT_EQ(runScript("a\nv\n100\n"), 2);
  EXPECT_TRUE(outputHas("% to adjust volume (100 = no adjustment)? [150] "));
  EXPECT_TRUE(outputHas("  (V)olume adjustment              [None]\n"));
}

TEST_F(EncoderMenuUITest, TogglingHoldTwiceReturnsToDontHold) {
  EXPECT_EQ(runScript("v\na\nh\nh\n"), 2);
  EXPECT_FALSE(settings.hold);
  EXPECT_TRUE(outputHas("[Hold]\n"));
  EXPECT_EQ(displayValue(SettingId::Hold), "Don't Hold");
}

TEST_F(EncoderMenuUITest, CompressItemTogglesUncompressed) {
  EXPECT_EQ(runScript("v\na\nc\n"), 2);
  EXPECT_TRUE(settings.uncompressed);
  EXPECT_TRUE(outputHas("(C)ompress video frames for manageable sizes (toggle)   [Uncompressed]"));
}

TEST_F(EncoderMenuUITest, ShowSettingsWaitsForEnterThenRedraws) {
  EXPECT_EQ(runScript("s\nanything\n"), 2);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + settingsSummaryText(settings) + kPressEnter +
                          kMainDrawn + kTopPrompt);
}

TEST_F(EncoderMenuUITest, ConversionChecksReportTheFirstMissingSetting) {
  EXPECT_EQ(runScript("g\n"), 2);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt +
                          "Error: a video file, audio file, or both must be specified.\n\n" +
                          kTopPrompt);
  settings.vidfile = "v.avi";
  EXPECT_EQ(runScript("g\n"), 2);
  EXPECT_TRUE(outputHas("Error: the output file must be specified.\n\n" + kTopPrompt));
  settings.outfile = "/tmp/x.pdb";
  EXPECT_EQ(runScript("g\n"), 2);
  EXPECT_TRUE(outputHas("Error: the Palm database name must be specified.\n\n" + kTopPrompt));
}

TEST_F(EncoderMenuUITest, ConversionWithOnlyAudioOutputAndNameIsApproved) {
  settings.audfile = "a.wav";
  settings.outfile = "o.pdb";
  settings.palmname = "o";
  EXPECT_EQ(runScript("g\n"), 0);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt);
}

TEST_F(EncoderMenuUITest, EndOfInputAtAnyQuestionGivesTwo) {
  EXPECT_EQ(runScript("", true), 2);
  EXPECT_EQ(runScript("a\n", true), 2);
  EXPECT_EQ(runScript("a\nb\nc.pdb\n", true), 2);
  EXPECT_EQ(runScript("q\n"), 2);
  EXPECT_EQ(runScript("o\nn\n"), 2);
}

TEST_F(EncoderMenuUITest, InputErrorGivesTwo) {
  std::FILE* writeOnly = std::fopen("/dev/null", "w");
  ASSERT_NE(writeOnly, nullptr);
  ScriptedConsole sink("");
  EXPECT_EQ(runMenus(settings, true, writeOnly, sink.output), 2);
  std::fclose(writeOnly);
}

TEST_F(EncoderMenuUITest, PathValuesAreShownAbsoluteBesideItemsButAsStoredInPrompts) {
  settings.vidfile = "clips/in.avi";
  EXPECT_EQ(displayValue(SettingId::Vidfile), cwd() + "/clips/in.avi");
  EXPECT_EQ(promptValue(SettingId::Vidfile), "clips/in.avi");
  settings.audfile = std::string(300, 'a');
  EXPECT_EQ(displayValue(SettingId::Audfile), "bad filename");
  EXPECT_EQ(displayValue(SettingId::Outfile), "");
  EXPECT_EQ(promptValue(SettingId::Outfile), "");
}

TEST_F(EncoderMenuUITest, ValueTextsForCodesAndNumbers) {
  settings.cropping = 0.255;
  EXPECT_EQ(promptValue(SettingId::Cropping), "25.5");
  EXPECT_EQ(displayValue(SettingId::Cropping), "25.5%");
  settings.cropping = 0.00004;
  EXPECT_EQ(displayValue(SettingId::Cropping), "0 (Letterbox)");
  settings.cropping = 0.99996;
  EXPECT_EQ(displayValue(SettingId::Cropping), "100 (Fill Frame)");
  settings.colordepth = 12;
  EXPECT_EQ(displayValue(SettingId::Colordepth), "8-bit Standard");
  settings.colordepth = 8;
  EXPECT_EQ(displayValue(SettingId::Colordepth), "8-bit Standard");
  settings.resolution = 9;
  EXPECT_EQ(displayValue(SettingId::Resolution), "216x384");
  settings.audioboost = 250;
  EXPECT_EQ(displayValue(SettingId::Audioboost), "250%");
  settings.keyframes = 5;
  EXPECT_EQ(displayValue(SettingId::Keyframes), "5");
  EXPECT_EQ(promptValue(static_cast<SettingId>(0)), "");
  EXPECT_EQ(displayValue(SettingId::Fastencode), "Standard");
}

}  // namespace
}  // namespace vantrel
