#include "CommandLineFlags.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "FileSizeTarget.h"
#include "sources/MovieRange.h"
#include "ScriptedConsole.h"

namespace vantrel {
namespace {

class CommandLineFlagsTest : public ::testing::Test {
 protected:
  CommandLineFlagsTest() {
    settings.outStream = out.output;
    settings.errStream = err.output;
  }

  // Parses the arguments after a fixed program path.
  bool parse(std::vector<const char*> arguments, const char* programPath = "/usr/bin/vnt") {
    arguments.insert(arguments.begin(), programPath);
    return settings.parseCommandLine(static_cast<int>(arguments.size()), arguments.data());
  }

  ScriptedConsole out{""};
  ScriptedConsole err{""};
  EncoderSettings settings;
};

TEST_F(CommandLineFlagsTest, SwitchFormsTurnSettingOnAndOff) {
  EXPECT_TRUE(parse({"-hold"}));
  EXPECT_TRUE(settings.hold);
  EXPECT_TRUE(parse({"-nohold"}));
  EXPECT_FALSE(settings.hold);
}

TEST_F(CommandLineFlagsTest, SwitchValueSaysOnOrOffAndAnythingElseIsRefused) {
  // Each switch form and value, and the state it leaves hold in.
  const std::pair<const char*, bool> cases[] = {
      {"-hold=1", true},    {"-hold=0", false},     {"-hold=ON", true},
      {"-hold=off", false}, {"-hold=Yes", true},    {"-hold=no", false},
      {"-hold=true", true}, {"-hold=FALSE", false}, {"-nohold=yes", false},
      {"-nohold=no", true}, {"-nohold=0", true},    {"-nohold", false}};
  for (const auto& [argument, on] : cases) {
    settings.hold = !on;
    EXPECT_TRUE(parse({argument})) << argument;
    EXPECT_EQ(settings.hold, on) << argument;
  }
  EXPECT_EQ(err.text(), "");
  settings.adpcm = false;
  EXPECT_FALSE(parse({"-adpcm=2", "-loop=", "-hold"}));
  EXPECT_FALSE(settings.adpcm);
  EXPECT_FALSE(settings.loop);
  EXPECT_TRUE(settings.hold);  // parsing goes on
  EXPECT_EQ(
      err.text(),
      "vnt: flag \"adpcm\" parameter \"2\" is not valid (1 or 0, on or off, yes or no, "
      "true or false)\n"
      "vnt: flag \"loop\" parameter \"\" is not valid (1 or 0, on or off, yes or no, "
      "true or false)\n");
}

TEST_F(CommandLineFlagsTest, ValueFlagWithoutValueSaysItNeedsOne) {
  EXPECT_FALSE(parse({"-colordepth", "-vidfile", "-hold"}));
  EXPECT_EQ(err.text(),
            "vnt: flag \"colordepth\" needs a value (-colordepth=...)\n"
            "vnt: flag \"vidfile\" needs a value (-vidfile=...)\n");
  EXPECT_TRUE(settings.hold);
  EXPECT_EQ(out.text(), "");  // no usage
}

TEST_F(CommandLineFlagsTest, FileNamedAloneIsTheVideoAndSoundWrittenBesideIt) {
  EXPECT_TRUE(parse({"films/clip.mp4", "-hold"}));
  EXPECT_EQ(settings.vidfile, "films/clip.mp4");
  EXPECT_EQ(settings.audfile, "films/clip.mp4");
  EXPECT_EQ(settings.outfile, "films/clip.pdb");
  // The flags win wherever they stand.
  EXPECT_TRUE(parse({"-audfile=", "my.dir/clip", "-outfile=x.pdb"}));
  EXPECT_EQ(settings.vidfile, "my.dir/clip");
  EXPECT_EQ(settings.audfile, "");
  EXPECT_EQ(settings.outfile, "x.pdb");
  EXPECT_EQ(movieBeside("my.dir/clip"), "my.dir/clip.pdb");
  EXPECT_EQ(movieBeside(".clip"), ".clip.pdb");
  EXPECT_EQ(err.text(), "");
  EXPECT_FALSE(parse({"a.mp4", "b.mp4"}));
  EXPECT_EQ(err.text(),
            "vnt: only one file can be converted at a time: \"a.mp4\" and "
            "\"b.mp4\"\n");
}

TEST_F(CommandLineFlagsTest, EmptyNumberIsZeroAndAccepted) {
  EXPECT_TRUE(parse({"-framerate="}));
  EXPECT_EQ(settings.framerate, 0);
  EXPECT_EQ(err.text(), "");
}

TEST_F(CommandLineFlagsTest, BadNumberIsReportedAndParsingGoesOn) {
  EXPECT_FALSE(parse({"-framerate=abc", "-hold", "-framesize=900"}));
  EXPECT_EQ(settings.framerate, 0);
  EXPECT_TRUE(settings.hold);
  EXPECT_EQ(settings.framesize, 900);
  EXPECT_EQ(err.text(), "vnt: flag \"framerate\" parameter \"abc\" is not a valid number\n");
  EXPECT_EQ(out.text(), "");  // no usage for a bad number
}

TEST_F(CommandLineFlagsTest, NumberPrefixIsKeptWhenTextFollows) {
  EXPECT_FALSE(parse({"-framerate=12x"}));
  EXPECT_EQ(settings.framerate, 12);
}

TEST_F(CommandLineFlagsTest, NegatedValueFlagStopsWithoutUsage) {
  EXPECT_FALSE(parse({"-noframerate=5", "-hold"}));
  EXPECT_EQ(err.text(), "vnt: unknown flag -noframerate=5\n");
  EXPECT_FALSE(settings.hold);  // later arguments are not looked at
  EXPECT_EQ(out.text(), "");
}

TEST_F(CommandLineFlagsTest, UnknownArgumentsPrintMessageAndUsage) {
  for (const char* argument : {"-FrameRate=5", "", "-=1", "-loopx", "-noframerate"}) {
    ScriptedConsole freshOut{""};
    ScriptedConsole freshErr{""};
    settings.outStream = freshOut.output;
    settings.errStream = freshErr.output;
    EXPECT_FALSE(parse({argument, "-hold"})) << argument;
    EXPECT_EQ(freshErr.text(), "vnt: Unknown flag \"" + std::string(argument) + "\"\n");
    EXPECT_EQ(freshOut.text(), usageText());
    EXPECT_FALSE(settings.hold);
  }
}

TEST_F(CommandLineFlagsTest, InteractiveInSecondPlaceIsUnknown) {
  EXPECT_FALSE(parse({"-hold", "-interactive"}));
  EXPECT_EQ(err.text(), "vnt: Unknown flag \"-interactive\"\n");
}

TEST_F(CommandLineFlagsTest, CroppingFlagTakesPercentage) {
  EXPECT_TRUE(parse({"-cropping=50"}));
  EXPECT_DOUBLE_EQ(settings.cropping, 0.5);
  EXPECT_TRUE(parse({"-cropping=0.5"}));
  EXPECT_DOUBLE_EQ(settings.cropping, 0.005);
}

TEST_F(CommandLineFlagsTest, ValueMayContainEquals) {
  EXPECT_TRUE(parse({"-title=a=b"}));
  EXPECT_EQ(settings.title, "a=b");
}

TEST_F(CommandLineFlagsTest, LaterFlagOverwritesEarlier) {
  EXPECT_TRUE(parse({"-vidfile=first.avi", "-vidfile=second.avi"}));
  EXPECT_EQ(settings.vidfile, "second.avi");
}

TEST_F(CommandLineFlagsTest, ValuesAtTheEndsOfEveryRangeAreTakenAndOneBeyondIsNot) {
  EXPECT_TRUE(parse({"-resolution=3", "-colordepth=8", "-cropping=100", "-audioboost=100",
                     "-audioboost=300", "-framerate=0", "-framesize=0", "-keyframes=0"}));
  EXPECT_EQ(err.text(), "");
  EXPECT_FALSE(parse({"-resolution=4", "-cropping=-0.5", "-audioboost=301", "-hold"}));
  EXPECT_EQ(err.text(),
            "vnt: flag \"resolution\" parameter \"4\" is out of range (0 to 3)\n"
            "vnt: flag \"cropping\" parameter \"-0.5\" is out of range (0 to 100)\n"
            "vnt: flag \"audioboost\" parameter \"301\" is out of range (100 to 300)\n");
  EXPECT_TRUE(settings.hold);  // parsing goes on
}

TEST_F(CommandLineFlagsTest, EveryNamedFlagReachesItsSetting) {
  EXPECT_TRUE(parse({"-vidfile=v", "-audfile=a", "-outfile=o", "-palmname=p", "-framerate=7",
                     "-framesize=800", "-cropping=25", "-resolution=2", "-colordepth=16",
                     "-grayscale", "-keyframes=3", "-hifi", "-adpcm", "-audioboost=120",
                     "-noaudiofilter", "-hold", "-loop", "-uncompressed", "-vflip", "-hflip",
                     "-rotate", "-author=me", "-title=t"}));
  EXPECT_EQ(settings.vidfile, "v");
  EXPECT_EQ(settings.audfile, "a");
  EXPECT_EQ(settings.outfile, "o");
  EXPECT_EQ(settings.palmname, "p");
  EXPECT_EQ(settings.framerate, 7);
  EXPECT_EQ(settings.framesize, 800);
  EXPECT_DOUBLE_EQ(settings.cropping, 0.25);
  EXPECT_EQ(settings.resolution, 2);
  EXPECT_EQ(settings.colordepth, 16);
  EXPECT_TRUE(settings.grayscale);
  EXPECT_EQ(settings.keyframes, 3);
  EXPECT_TRUE(settings.hifi);
  EXPECT_TRUE(settings.adpcm);
  EXPECT_EQ(settings.audioboost, 120);
  EXPECT_FALSE(settings.audiofilter);
  EXPECT_TRUE(settings.hold);
  EXPECT_TRUE(settings.loop);
  EXPECT_TRUE(settings.uncompressed);
  EXPECT_TRUE(settings.vflip);
  EXPECT_TRUE(settings.hflip);
  EXPECT_TRUE(settings.rotate);
  EXPECT_EQ(settings.author, "me");
  EXPECT_EQ(settings.title, "t");
}

TEST_F(CommandLineFlagsTest, PartSizeAndSpeedFlagsTakeTimesSizesAndSwitches) {
  EXPECT_TRUE(parse({"-fastencode", "-start=1:02:03.25", "-duration=12.5", "-filesize=1M"}));
  EXPECT_TRUE(settings.fastencode);
  double seconds = 0.0;
  ASSERT_TRUE(parseTime(settings.start.c_str(), seconds));
  EXPECT_DOUBLE_EQ(seconds, 3723.25);
  ASSERT_TRUE(parseTime(settings.duration.c_str(), seconds));
  EXPECT_DOUBLE_EQ(seconds, 12.5);
  std::int64_t bytes = 0;
  ASSERT_TRUE(parseSize(settings.filesize.c_str(), bytes));
  EXPECT_EQ(bytes, 1048576);
  ASSERT_TRUE(parseSize("700k", bytes));
  EXPECT_EQ(bytes, 716800);
  ASSERT_TRUE(parseTime("90", seconds));
  EXPECT_DOUBLE_EQ(seconds, 90.0);
  EXPECT_TRUE(parse({"-nofastencode"}));
  EXPECT_FALSE(settings.fastencode);
  // The fast and the best encode exclude each other: the later flag wins.
  EXPECT_TRUE(parse({"-fastencode", "-bestencode"}));
  EXPECT_TRUE(settings.bestencode);
  EXPECT_FALSE(settings.fastencode);
  EXPECT_TRUE(parse({"-bestencode", "-fastencode"}));
  EXPECT_FALSE(settings.bestencode);
  EXPECT_TRUE(settings.fastencode);
  EXPECT_EQ(findFlag(""), nullptr);
  EXPECT_EQ(findFlag("=1"), nullptr);

  // Values that are no time or size are refused, each with what is taken.
  for (const char* wrong : {"-start=1:75", "-start=-3", "-start=1.5:00", "-start=1:2:3:4",
                            "-duration=0", "-filesize=0", "-filesize=3X",
                            "-filesize=1MB", "-filesize=4G"}) {
    EXPECT_FALSE(parse({wrong})) << wrong;
  }
  EXPECT_NE(err.text().find("vnt: flag \"start\" parameter \"1:75\" is not valid (seconds, "
                            "or [hh:]mm:ss[.fff])\n"),
            std::string::npos);
  EXPECT_NE(err.text().find("vnt: flag \"filesize\" parameter \"3X\" is not valid (bytes, "
                            "or a number followed by K, M or G)\n"),
            std::string::npos);
}

TEST_F(CommandLineFlagsTest, LookupNeedsEqualsOrEndOfSwitch) {
  ASSERT_NE(findFlag("loop"), nullptr);
  EXPECT_EQ(findFlag("loop")->id, SettingId::Loop);
  EXPECT_EQ(findFlag("loop=1")->id, SettingId::Loop);
  EXPECT_EQ(findFlag("loopx"), nullptr);
  EXPECT_EQ(findFlag("framerate"), nullptr);
  EXPECT_EQ(findFlag("framerate=1")->id, SettingId::Framerate);
}

TEST_F(CommandLineFlagsTest, ProgramNameIsBaseNameWithoutExtension) {
  EXPECT_FALSE(parse({"-bogus"}, "/opt/tools/encoder.exe"));
  EXPECT_EQ(settings.programName, "encoder");
  EXPECT_EQ(err.text().rfind("encoder: ", 0), 0u);
}

TEST_F(CommandLineFlagsTest, ProgramNameRules) {
  EXPECT_EQ(programNameFromPath("/opt/tools/encoder.exe"), "encoder");
  EXPECT_EQ(programNameFromPath("encoder"), "encoder");
  EXPECT_EQ(programNameFromPath("./build/vantrel"), "vantrel");
  // A dot in a directory name is not an extension.
  EXPECT_EQ(programNameFromPath("/opt/my.tools/enc"), "enc");
  // Backslash and colon are ordinary characters in a file name here.
  EXPECT_EQ(programNameFromPath("C:\\tools\\encoder.exe"), "C:\\tools\\encoder");
  EXPECT_EQ(programNameFromPath("D:enc.exe"), "D:enc");
}

TEST_F(CommandLineFlagsTest, ProgramPathAloneIsAccepted) {
  const char* argv[] = {"/usr/bin/vantrel"};
  EXPECT_TRUE(settings.parseCommandLine(1, argv));
  EXPECT_EQ(settings.programName, "vantrel");
  settings.programName = "kept";
  EXPECT_TRUE(settings.parseCommandLine(0, argv));
  EXPECT_EQ(settings.programName, "kept");
}

TEST_F(CommandLineFlagsTest, UsageListsNamedFlagsInTableOrder) {
  const std::string usage = usageText();
  EXPECT_EQ(usage.rfind("Usage VNT [-options]\n\n   where options are:\n\n", 0), 0u);
  EXPECT_NE(usage.find("      -vidfile=<text> - Video source file (.avi, .mov, .mpeg)\n"
                       "      -audfile=<text> - Audio source file (.avi, .mov, .wav)\n"),
            std::string::npos);
  EXPECT_NE(usage.find("      -cropping=<value> - Cropping scaling percentage (0-100)%\n"),
            std::string::npos);
  EXPECT_NE(usage.find("      -keyframes=<value> - Min Key frame interval (seconds, or 0 "
                       "for no keys\n"),
            std::string::npos);
  EXPECT_NE(usage.find("      -hold, -nohold - Hold video after playing (on/off)\n"),
            std::string::npos);
  // The flags that came later follow the title row.
  EXPECT_NE(usage.find("\n      -title=<text> - Add full title information\n"
                       "      -fastencode, -nofastencode - Encode faster, with lower quality "
                       "(on/off)\n"
                       "      -start=<text> - "),
            std::string::npos);
  EXPECT_NE(usage.find("\n      -duration=<text> - "), std::string::npos);
  EXPECT_NE(usage.find("\n      -filesize=<text> - "), std::string::npos);
  EXPECT_NE(usage.find("G); sets the frame size\n"
                       "      -audiotrack=<value> - Audio stream of the audio file "
                       "(1 = first, 0 = default)\n"
                       "      -bestencode, -nobestencode - Slower encode, better pictures at "
                       "the same size (on/off)\n\n"),
            std::string::npos);
  EXPECT_TRUE(
      usage.ends_with("the same size (on/off)\n\n   A file named without a flag (VNT "
                      "clip.mp4) gives the video and its sound;\n   without -outfile "
                      "the movie is written beside it as clip.pdb.\n\n"));
  std::size_t flagLines = 0;
  for (std::size_t at = usage.find("\n      -"); at != std::string::npos;
       at = usage.find("\n      -", at + 1)) {
    ++flagLines;
  }
  EXPECT_EQ(flagLines, 29u);
}

TEST_F(CommandLineFlagsTest, UsageGoesToOutputWithoutPrefix) {
  settings.programName = "vnt";
  settings.printUsage();
  EXPECT_EQ(out.text(), usageText());
}

}  // namespace
}  // namespace vantrel
