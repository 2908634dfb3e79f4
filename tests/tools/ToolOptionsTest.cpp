#include "ToolOptions.h"

#include <gtest/gtest.h>

namespace vantrel::inspect {
namespace {

ToolOptions parsed(std::vector<std::string> args) {
  args.push_back("m.pdb");
  ToolOptions options;
  std::string error;
  EXPECT_TRUE(parseToolOptions(args, options, error)) << error;
  return options;
}

TEST(ToolOptionsTest, ShapingDefaultsAreTheConvertersDefaults) {
  const ToolOptions options = parsed({});
  EXPECT_EQ(options.shaping.cropFraction, 1.0);  // cropping 0: letterbox
  EXPECT_EQ(options.shaping.frameRate, 15);
  EXPECT_FALSE(options.shaping.rotate);
  EXPECT_FALSE(options.shaping.flipVertical);
  EXPECT_FALSE(options.shaping.flipHorizontal);
  EXPECT_FALSE(options.shaping.grayscale);
  EXPECT_TRUE(options.sourcePath.empty());
  EXPECT_FALSE(options.verbose);
  EXPECT_TRUE(options.previewPath.empty());
  EXPECT_EQ(options.zoom, 2);
}

TEST(ToolOptionsTest, ConverterFlagsSetTheShapingSettings) {
  const ToolOptions options = parsed(
      {"-source=clip.avi", "-cropping=25", "-framerate=10", "-rotate", "-vflip=1", "-hflip",
       "-nohflip", "-grayscale", "-verbose", "-preview=p.mp4", "-zoom=3"});
  EXPECT_EQ(options.sourcePath, "clip.avi");
  EXPECT_DOUBLE_EQ(options.shaping.cropFraction, 0.75);
  EXPECT_EQ(options.shaping.frameRate, 10);
  EXPECT_TRUE(options.shaping.rotate);
  EXPECT_TRUE(options.shaping.flipVertical);
  EXPECT_FALSE(options.shaping.flipHorizontal);  // the later flag wins
  EXPECT_TRUE(options.shaping.grayscale);
  EXPECT_TRUE(options.verbose);
  EXPECT_EQ(options.previewPath, "p.mp4");
  EXPECT_EQ(options.zoom, 3);
  EXPECT_EQ(parsed({"-cropping=100"}).shaping.cropFraction, 0.0);
  EXPECT_EQ(parsed({"-framerate="}).shaping.frameRate, 0);  // derive from the source
}

TEST(ToolOptionsTest, NumbersThatAreNotWholeNumbersAreRefused) {
  ToolOptions options;
  std::string error;
  EXPECT_FALSE(parseToolOptions({"-cropping=50x", "m.pdb"}, options, error));
  EXPECT_NE(error.find("-cropping"), std::string::npos);
  EXPECT_FALSE(parseToolOptions({"-framerate=1.5", "m.pdb"}, options, error));
  EXPECT_NE(error.find("-framerate"), std::string::npos);
  for (const char* zoom : {"-zoom=0", "-zoom=9", "-zoom=2.5"}) {
    EXPECT_FALSE(parseToolOptions({zoom, "m.pdb"}, options, error)) << zoom;
    EXPECT_NE(error.find("-zoom needs a whole number from 1 to 8"), std::string::npos);
  }
  EXPECT_FALSE(parseToolOptions({"-rotatex", "m.pdb"}, options, error));
  EXPECT_EQ(error, "unknown option: -rotatex");
}

TEST(ToolOptionsTest, StartTakesTheConvertersTimesAndDoubleDashEndsTheOptions) {
  EXPECT_EQ(parsed({}).shaping.startSeconds, 0.0);
  EXPECT_DOUBLE_EQ(parsed({"-start=12.5"}).shaping.startSeconds, 12.5);
  EXPECT_DOUBLE_EQ(parsed({"-start=1:02:03.250"}).shaping.startSeconds, 3723.25);
  ToolOptions options;
  std::string error;
  EXPECT_FALSE(parseToolOptions({"-start=1:75", "m.pdb"}, options, error));
  EXPECT_EQ(error, "-start needs seconds or [hh:]mm:ss[.fff]: 1:75");

  ToolOptions dashed;
  ASSERT_TRUE(parseToolOptions({"-quiet", "--", "-dash.pdb"}, dashed, error)) << error;
  EXPECT_EQ(dashed.moviePath, "-dash.pdb");
  EXPECT_TRUE(dashed.quiet);
  ToolOptions helpAsName;
  ASSERT_TRUE(parseToolOptions({"--", "--help"}, helpAsName, error)) << error;
  EXPECT_FALSE(helpAsName.help);
  EXPECT_EQ(helpAsName.moviePath, "--help");
}

TEST(ToolOptionsTest, UsageNamesTheComparisonAndPreviewFlags) {
  const std::string usage = inspectUsage("vantrel-inspect");
  for (const char* flag : {"-source=FILE", "-verbose", "-cropping=", "-framerate=",
                           "-rotate", "-vflip", "-hflip", "-grayscale", "-preview=FILE",
                           "-zoom=N", "-start=TIME", "-help", "--"}) {
    EXPECT_NE(usage.find(flag), std::string::npos) << flag;
  }
}

}  // namespace
}  // namespace vantrel::inspect
