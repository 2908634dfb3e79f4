#include "EncoderSettings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>

#include "ScriptedConsole.h"
#include "engine/MovieEncoder.h"

namespace vantrel {
namespace {

class EncoderSettingsTest : public ::testing::Test {
 protected:
  const FlagDescriptor& descriptor(SettingId id) {
    const FlagDescriptor* row = EncoderSettings::descriptorFor(id);
    EXPECT_NE(row, nullptr);
    return *row;
  }

  EncoderSettings settings;
};

TEST_F(EncoderSettingsTest, FreshObjectHasDefaults) {
  EXPECT_EQ(settings.audioboost, 150);
  EXPECT_TRUE(settings.audiofilter);
  EXPECT_EQ(settings.colordepth, 25);
  EXPECT_EQ(settings.resolution, 0);
  EXPECT_EQ(settings.framesize, 1600);
  EXPECT_EQ(settings.framerate, 15);
  EXPECT_EQ(settings.keyframes, 0);
  EXPECT_EQ(settings.cropping, 0.0);
  for (bool flag : {settings.hifi, settings.adpcm, settings.fastencode, settings.vflip,
                    settings.hflip, settings.rotate, settings.grayscale, settings.hold,
                    settings.loop, settings.uncompressed}) {
    EXPECT_FALSE(flag);
  }
  for (const std::string* text : {&settings.programName, &settings.audfile, &settings.author,
                                  &settings.palmname, &settings.outfile, &settings.title,
                                  &settings.vidfile}) {
    EXPECT_TRUE(text->empty());
  }
}

TEST_F(EncoderSettingsTest, DescriptorIdsRunFromOneToTwentyNine) {
  EXPECT_EQ(EncoderSettings::descriptorFor(static_cast<SettingId>(0)), nullptr);
  EXPECT_EQ(EncoderSettings::descriptorFor(static_cast<SettingId>(30)), nullptr);
  EXPECT_EQ(EncoderSettings::descriptorFor(static_cast<SettingId>(-1)), nullptr);
  for (int id = 1; id <= kSettingCount; ++id) {
    const FlagDescriptor* row = EncoderSettings::descriptorFor(static_cast<SettingId>(id));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(static_cast<int>(row->id), id);
  }
  EXPECT_STREQ(descriptor(SettingId::Vidfile).name, "vidfile");
  EXPECT_STREQ(descriptor(SettingId::Title).name, "title");
  EXPECT_STREQ(descriptor(SettingId::Fastencode).name, "fastencode");
  EXPECT_STREQ(descriptor(SettingId::Filesize).name, "filesize");
  EXPECT_EQ(descriptor(SettingId::Fastencode).kind, FlagKind::Boolean);
  EXPECT_EQ(descriptor(SettingId::Cropping).kind, FlagKind::Real);
  EXPECT_EQ(descriptor(SettingId::Keyframes).kind, FlagKind::Integer);
}

TEST_F(EncoderSettingsTest, IntegerTextKeepsPrefixWhenCharactersRemain) {
  const FlagDescriptor& framerate = descriptor(SettingId::Framerate);
  EXPECT_FALSE(settings.setFromText(framerate, "12x"));
  EXPECT_EQ(settings.framerate, 12);
  EXPECT_TRUE(settings.setFromText(framerate, ""));
  EXPECT_EQ(settings.framerate, 0);
  EXPECT_TRUE(settings.setFromText(framerate, " 12"));
  EXPECT_EQ(settings.framerate, 12);
  EXPECT_TRUE(settings.setFromText(framerate, "-7"));
  EXPECT_EQ(settings.framerate, -7);
}

TEST_F(EncoderSettingsTest, IntegerBeyondThirtyTwoBitsIsClampedAndRejected) {
  const FlagDescriptor& framesize = descriptor(SettingId::Framesize);
  EXPECT_FALSE(settings.setFromText(framesize, "4294967296"));
  EXPECT_EQ(settings.framesize, INT_MAX);
  EXPECT_FALSE(settings.setFromText(framesize, "-99999999999999999999999"));
  EXPECT_EQ(settings.framesize, INT_MIN);
}

TEST_F(EncoderSettingsTest, MissingNumberTextChangesNothing) {
  EXPECT_FALSE(settings.setFromText(descriptor(SettingId::Framerate), nullptr));
  EXPECT_EQ(settings.framerate, 15);
  EXPECT_FALSE(settings.setFromText(descriptor(SettingId::Cropping), nullptr));
  EXPECT_EQ(settings.cropping, 0.0);
}

TEST_F(EncoderSettingsTest, RealTextIsStoredAsGiven) {
  const FlagDescriptor& cropping = descriptor(SettingId::Cropping);
  EXPECT_TRUE(settings.setFromText(cropping, "0.25"));
  EXPECT_DOUBLE_EQ(settings.cropping, 0.25);
  EXPECT_FALSE(settings.setFromText(cropping, "0.5%"));
  EXPECT_DOUBLE_EQ(settings.cropping, 0.5);
}

TEST_F(EncoderSettingsTest, BooleanTextIsOnWhenNotEmpty) {
  const FlagDescriptor& hold = descriptor(SettingId::Hold);
  EXPECT_TRUE(settings.setFromText(hold, "no"));
  EXPECT_TRUE(settings.hold);
  EXPECT_TRUE(settings.setFromText(hold, ""));
  EXPECT_FALSE(settings.hold);
  settings.hold = true;
  EXPECT_TRUE(settings.setFromText(hold, nullptr));
  EXPECT_FALSE(settings.hold);
}

TEST_F(EncoderSettingsTest, BooleanAccessOnlyForSwitches) {
  EXPECT_TRUE(settings.setBoolean(descriptor(SettingId::Loop), true));
  EXPECT_TRUE(settings.getBoolean(descriptor(SettingId::Loop)));
  EXPECT_FALSE(settings.setBoolean(descriptor(SettingId::Framerate), true));
  EXPECT_EQ(settings.framerate, 15);
  EXPECT_FALSE(settings.getBoolean(descriptor(SettingId::Audioboost)));
  EXPECT_TRUE(settings.getBoolean(descriptor(SettingId::Audiofilter)));
}

TEST_F(EncoderSettingsTest, ToTextByKind) {
  settings.cropping = 0.25;
  settings.title = "My movie";
  EXPECT_EQ(settings.toText(descriptor(SettingId::Cropping)), "0.25");
  EXPECT_EQ(settings.toText(descriptor(SettingId::Hold)), "false");
  settings.hold = true;
  EXPECT_EQ(settings.toText(descriptor(SettingId::Hold)), "true");
  EXPECT_EQ(settings.toText(descriptor(SettingId::Framesize)), "1600");
  EXPECT_EQ(settings.toText(descriptor(SettingId::Framesize), "%06i"), "001600");
  EXPECT_EQ(settings.toText(descriptor(SettingId::Cropping), "%.3f"), "0.250");
  EXPECT_EQ(settings.toText(descriptor(SettingId::Title), "%i"), "My movie");
}

TEST_F(EncoderSettingsTest, DatabaseNameIsBaseNameOfOutputFile) {
  settings.outfile = "/movies/clip.pdb";
  settings.deriveDatabaseName();
  EXPECT_EQ(settings.palmname, "clip");
}

TEST_F(EncoderSettingsTest, DatabaseNameWithoutDirectoryOrExtension) {
  settings.outfile = "clip";
  settings.deriveDatabaseName();
  EXPECT_EQ(settings.palmname, "clip");
}

TEST_F(EncoderSettingsTest, DatabaseNameNotDerivedWhenDotIsInDirectory) {
  settings.outfile = "/my.dir/clip";
  settings.deriveDatabaseName();
  EXPECT_EQ(settings.palmname, "");
}

TEST_F(EncoderSettingsTest, DatabaseNameTreatsColonAndBackslashAsNameCharacters) {
  settings.outfile = "D:movie.pdb";
  settings.deriveDatabaseName();
  EXPECT_EQ(settings.palmname, "D:movie");
}

TEST_F(EncoderSettingsTest, DatabaseNameAlreadySetIsKept) {
  settings.outfile = "/movies/clip.pdb";
  settings.palmname = "Mine";
  settings.deriveDatabaseName();
  EXPECT_EQ(settings.palmname, "Mine");
  settings.palmname.clear();
  settings.outfile.clear();
  settings.deriveDatabaseName();
  EXPECT_EQ(settings.palmname, "");
}

class EncoderSettingsMessageTest : public EncoderSettingsTest {
 protected:
  EncoderSettingsMessageTest() {
    settings.outStream = out.output;
    settings.errStream = err.output;
  }
  ScriptedConsole out{""};
  ScriptedConsole err{""};
};

TEST_F(EncoderSettingsMessageTest, PrefixedOnlyWhenProgramNameIsSet) {
  settings.printError("a %d\n", 1);
  settings.printInfo("b %s\n", "x");
  settings.programName = "vnt";
  settings.printError("c\n");
  settings.printInfo("d\n");
  settings.printErrorPlain("e\n");
  settings.printPlain("f\n");
  EXPECT_EQ(err.text(), "a 1\nvnt: c\ne\n");
  EXPECT_EQ(out.text(), "b x\nvnt: d\nf\n");
}

TEST_F(EncoderSettingsMessageTest, SystemErrorAddsTextOfErrorNumber) {
  settings.programName = "vnt";
  errno = ENOENT;
  settings.printSystemError("can't open output file %s", "/no/such/dir/out.pdb");
  EXPECT_EQ(err.text(),
            "vnt: can't open output file /no/such/dir/out.pdb: No such file or directory\n");
}

TEST_F(EncoderSettingsMessageTest, SystemErrorOutsideTableShowsNumber) {
  errno = 99999;
  settings.printSystemError("failed");
  EXPECT_EQ(err.text(), "failed: unknown error code 99999\n");
}

TEST_F(EncoderSettingsMessageTest, FailedCheckNamesFileAndLine) {
  EXPECT_FALSE(reportFailedCheck("AudioStreamSourceQT.cpp", 42, "bad state", err.output));
  EXPECT_EQ(err.text(), "AudioStreamSourceQT.cpp line 42: bad state\n");
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

class EncoderSettingsEngineTest : public ::testing::Test {
 protected:
  MovieEncoder& applied() {
    settings.applyToEngine(engine);
    return engine;
  }
  EncoderSettings settings;
  MovieEncoder engine;
};

TEST_F(EncoderSettingsEngineTest, DefaultsReachEngine) {
  const MovieEncoder& e = applied();
  EXPECT_EQ(e.targetFrameSize, 1600);
  EXPECT_EQ(e.maxFrameSize, 3200);
  EXPECT_EQ(e.minFrameSize, 800);
  EXPECT_EQ(e.colorDepth, 25);
  EXPECT_EQ(e.screenWidth, 160);
  EXPECT_EQ(e.screenHeight, 160);
  EXPECT_DOUBLE_EQ(e.cropFraction, 1.0);
  EXPECT_EQ(e.frameRate, 15);
  EXPECT_EQ(e.keyFrameSeconds, 0);
  EXPECT_TRUE(e.audioPrefilter);
  EXPECT_TRUE(e.audioBoostOn);
  EXPECT_EQ(e.audioBoostPercent, 150);
  EXPECT_FALSE(e.hifiAudio || e.adpcmAudio || e.allKeyFrames || e.flipVertical ||
               e.flipHorizontal || e.rotate || e.holdLastFrame || e.loopPlayback ||
               e.fastEncode || e.grayscale);
}

TEST_F(EncoderSettingsEngineTest, FrameSizeGivesTargetMinimumAndMaximum) {
  settings.framesize = 1601;
  EXPECT_EQ(applied().maxFrameSize, 3202);
  EXPECT_EQ(engine.minFrameSize, 800);
  EXPECT_EQ(engine.targetFrameSize, 1601);
  settings.framesize = -3;
  EXPECT_EQ(applied().minFrameSize, -1);
  EXPECT_EQ(engine.maxFrameSize, -6);
}

TEST_F(EncoderSettingsEngineTest, HugeFrameSizeMaximumSaturates) {
  settings.framesize = 2000000000;
  EXPECT_EQ(applied().maxFrameSize, INT_MAX);
}

TEST_F(EncoderSettingsEngineTest, ResolutionCodesGiveScreenSizes) {
  const int expected[][3] = {{0, 160, 160}, {1, 320, 240}, {2, 320, 320},
                             {3, 216, 384}, {7, 320, 240}, {-1, 320, 240}};
  for (const auto& row : expected) {
    settings.resolution = row[0];
    applied();
    EXPECT_EQ(engine.screenWidth, row[1]) << row[0];
    EXPECT_EQ(engine.screenHeight, row[2]) << row[0];
  }
}

TEST_F(EncoderSettingsEngineTest, EightAndTwelveBothGiveTheStandardPalette) {
  const int expected[][2] = {{8, 12}, {12, 12}, {16, 16}, {24, 24}, {25, 25}, {13, 25}};
  for (const auto& row : expected) {
    settings.colordepth = row[0];
    EXPECT_EQ(applied().colorDepth, row[1]) << row[0];
  }
}

TEST_F(EncoderSettingsEngineTest, CroppingBecomesCropFraction) {
  settings.cropping = 0.25;
  EXPECT_DOUBLE_EQ(applied().cropFraction, 0.75);
  settings.cropping = 1.0;
  EXPECT_DOUBLE_EQ(applied().cropFraction, 0.0);
}

TEST_F(EncoderSettingsEngineTest, BoostIsOffOnlyAtExactlyOneHundred) {
  settings.audioboost = 250;
  EXPECT_EQ(applied().audioBoostPercent, 250);
  settings.audioboost = 100;
  EXPECT_FALSE(applied().audioBoostOn);
  EXPECT_EQ(engine.audioBoostPercent, 250);  // kept from before
  settings.audioboost = 99;
  EXPECT_TRUE(applied().audioBoostOn);
  EXPECT_EQ(engine.audioBoostPercent, 99);
  settings.audioboost = 101;
  EXPECT_TRUE(applied().audioBoostOn);
}

TEST_F(EncoderSettingsEngineTest, SwitchesAndTextsAreCopied) {
  settings.author = "Ann";
  settings.title = "Trip";
  settings.uncompressed = true;
  settings.vflip = true;
  settings.hflip = true;
  settings.rotate = true;
  settings.hold = true;
  settings.loop = true;
  settings.framerate = 0;
  settings.keyframes = 4;
  settings.fastencode = true;
  settings.grayscale = true;
  settings.audiofilter = false;
  settings.hifi = true;
  settings.adpcm = true;
  const MovieEncoder& e = applied();
  EXPECT_EQ(e.authorText, "Ann");
  EXPECT_EQ(e.titleText, "Trip");
  EXPECT_TRUE(e.allKeyFrames && e.flipVertical && e.flipHorizontal && e.rotate &&
              e.holdLastFrame && e.loopPlayback && e.fastEncode && e.grayscale &&
              e.hifiAudio && e.adpcmAudio);
  EXPECT_FALSE(e.audioPrefilter);
  EXPECT_EQ(e.frameRate, 0);
  EXPECT_EQ(e.keyFrameSeconds, 4);
}

}  // namespace
}  // namespace vantrel
