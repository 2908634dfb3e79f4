#include "SettingsSummary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>


namespace vantrel {
namespace {

class SettingsSummaryTest : public ::testing::Test {
 protected:
  static std::string cwd() { return std::filesystem::current_path().string(); }
  // A relative path whose absolute form is longer than 260 characters.
  static std::string overlongPath() { return std::string(261, 'p') + ".avi"; }

  EncoderSettings settings;
};

TEST_F(SettingsSummaryTest, DefaultSettingsGiveTheDocumentedBlock) {
  EXPECT_EQ(settingsSummaryText(settings),
            "\nWorking Files:"
            "\n\tVideo source:   (no video)"
            "\n\tAudio source:   (no audio)"
            "\n\tFile to create: \"\""
            "\n\tPalm file name: \"\"\n"
            "\tMovie title:    \"\"\n"
            "Video Options:"
            "\n\tResolution:            160x160"
            "\n\tCropping Percentage:   0%"
            "\n\tColor/grayscale:       Color"
            "\n\tColor pixel depth:     16/24-bit Truecolor Plus"
            "\n\tCompression:           On"
            "\n\tTarget avg frame size: 1600 bytes\n"
            "\n\tTarget frame rate:     15 fps"
            "\n\tMin keyframe interval: 0 secs\n"
            "\n\tEncoding speed:        Standard (best quality)"
            "\n\tVertical image flip:   Normal"
            "\n\tHorizontal image flip: Normal"
            "\n\tRotation:              off (Portrait)"
            "\n\tPlayback mode:         Play once, don't hold on last frame\n"
            "\tPart of the source:    whole source\n"
            "\tMovie size limit:      none\n"
            "Audio Options:"
            "\n\tAudio Fidelity:        Standard"
            "\n\tAudio Compression:     None"
            "\n\tVolume Adjustment:     150% of original"
            "\n\tAudio Prefilter:       On"
            "\n\tAudio stream:          Marked default\n");
}

TEST_F(SettingsSummaryTest, ChangedSettingsShowAbsolutePathsAndTheOtherValueTexts) {
  settings.vidfile = "clips/in.avi";
  settings.audfile = "/music/song.wav";
  settings.outfile = "out.pdb";
  settings.palmname = "out";
  settings.title = "A Title";
  settings.author = "Never shown";
  settings.resolution = 2;
  settings.cropping = 0.255;
  settings.grayscale = true;
  settings.colordepth = 16;
  settings.uncompressed = true;
  settings.framesize = 3000;
  settings.framerate = 10;
  settings.keyframes = 4;
  settings.fastencode = true;
  settings.vflip = true;
  settings.hflip = true;
  settings.rotate = true;
  settings.loop = true;
  settings.hold = true;
  settings.hifi = true;
  settings.adpcm = true;
  settings.audioboost = 250;
  settings.audiofilter = false;
  settings.start = "1:30";
  settings.duration = "12.5";
  settings.filesize = "2M";
  settings.audiotrack = 2;
  EXPECT_EQ(settingsSummaryText(settings),
            "\nWorking Files:"
            "\n\tVideo source:   \"" + cwd() + "/clips/in.avi\""
            "\n\tAudio source:   \"/music/song.wav\""
            "\n\tFile to create: \"" + cwd() + "/out.pdb\""
            "\n\tPalm file name: \"out\"\n"
            "\tMovie title:    \"A Title\"\n"
            "Video Options:"
            "\n\tResolution:            320x320"
            "\n\tCropping Percentage:   25.5%"
            "\n\tColor/grayscale:       Grayscale"
            "\n\tColor pixel depth:     Enhanced 8-bit"
            "\n\tCompression:           Off"
            "\n\tTarget avg frame size: 3000 bytes\n"
            "\n\tTarget frame rate:     10 fps"
            "\n\tMin keyframe interval: 4 secs\n"
            "\n\tEncoding speed:        Fast (best speed)"
            "\n\tVertical image flip:   Y Flipped"
            "\n\tHorizontal image flip: X Flipped"
            "\n\tRotation:              on (Landscape)"
            "\n\tPlayback mode:         Looping, hold on last frame\n"
            "\tPart of the source:    from 1:30.000 for 0:12.500\n"
            "\tMovie size limit:      2097152 bytes (sets the average frame size)\n"
            "Audio Options:"
            "\n\tAudio Fidelity:        Hifi"
            "\n\tAudio Compression:     ADPCM"
            "\n\tVolume Adjustment:     250% of original"
            "\n\tAudio Prefilter:       None"
            "\n\tAudio stream:          2 of the file\n");
}

TEST_F(SettingsSummaryTest, CodeTextsCoverEveryResolutionAndColourDepth) {
  const std::pair<int, const char*> resolutions[] = {
      {0, "160x160"}, {1, "320x240"}, {2, "320x320"}, {3, "216x384"}, {7, "216x384"}};
  for (const auto& [code, text] : resolutions) {
    settings.resolution = code;
    EXPECT_NE(settingsSummaryText(settings).find(std::string("Resolution:            ") + text +
                                                 "\n"),
              std::string::npos)
        << code;
  }
  const std::pair<int, const char*> depths[] = {{12, "Standard 8-bit"},
                                                {16, "Enhanced 8-bit"},
                                                {24, "16/24-bit Truecolor\n"},
                                                {8, "Standard 8-bit"},
                                                {25, "16/24-bit Truecolor Plus"}};
  for (const auto& [code, text] : depths) {
    settings.colordepth = code;
    EXPECT_NE(settingsSummaryText(settings).find(std::string("Color pixel depth:     ") + text),
              std::string::npos)
        << code;
  }
}

TEST_F(SettingsSummaryTest, VolumeOfOneHundredShowsNone) {
  settings.audioboost = 100;
  EXPECT_NE(settingsSummaryText(settings).find("\n\tVolume Adjustment:     None\n"),
            std::string::npos);
}

TEST_F(SettingsSummaryTest, PathsThatCannotBeMadeAbsoluteShowTheFallbackOrNothing) {
  settings.vidfile = overlongPath();
  settings.audfile = overlongPath();
  settings.outfile = overlongPath();
  const std::string text = settingsSummaryText(settings);
  const std::string expectedStart =
      "\nWorking Files:"
      "\n\tVideo source:   (no video)"
      "\n\tAudio source:   (no audio)"
      "\n\tFile to create: "
      "\n\tPalm file name: \"\"\n";
  EXPECT_TRUE(text.starts_with(expectedStart)) << text;
}

TEST_F(SettingsSummaryTest, PrintPathFollowsFallbackAndFormatRules) {
  std::string out;
  printPath(out, "", nullptr, nullptr);
  EXPECT_EQ(out, "");
  printPath(out, "", "(none)", "<%s>");
  EXPECT_EQ(out, "(none)");
  out.clear();
  printPath(out, "", nullptr, "<%s>");
  EXPECT_EQ(out, "<>");
  out.clear();
  printPath(out, "/abs/file", nullptr, nullptr);
  EXPECT_EQ(out, "/abs/file");
  out.clear();
  printPath(out, "rel", nullptr, "<%s>");
  EXPECT_EQ(out, std::string("<").append(cwd()).append("/rel>"));
  out.clear();
  printPath(out, overlongPath(), nullptr, "<%s>");
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace vantrel
