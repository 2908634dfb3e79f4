#include "ClipMovieTest.h"

#include <cstdio>

#include "CommandLine.h"
#include "engine/RecordingEncoder.h"
#include "sources/AudioStreamSourceAVI.h"
#include "sources/AudioStreamSourceQT.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"

namespace vantrel::inspect {

namespace {

// Converts path's video (when withVideo) and sound (when how says) into movie.
void encode(const std::string& path, const std::string& movie, const ClipConversion& how,
            bool withVideo) {
  VideoStreamSourceAVI aviKind;
  VideoStreamSourceQT movieKind;
  AudioStreamSourceAVI aviSound;
  AudioStreamSourceQT movieSound;
  VideoSourceList videoKinds{&aviKind, &movieKind};
  AudioSourceList audioKinds{&aviSound, &movieSound};
  test::RecordingEncoder engine;
  engine.videoSources = &videoKinds;
  engine.audioSources = &audioKinds;
  engine.colorDepth = how.depth;
  engine.cropFraction = 1.0;
  engine.allKeyFrames = how.uncompressed;
  engine.rotate = how.rotate;
  engine.flipHorizontal = how.hflip;
  engine.grayscale = how.grayscale;
  ASSERT_EQ(engine.openSources(how.withSound ? path.c_str() : nullptr,
                               withVideo ? path.c_str() : nullptr),
            nullptr);
  std::FILE* file = std::fopen(movie.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  if (withVideo) {
    engine.encodeMovie(file, "Clip", 160, 160, how.depth, false, how.hflip, how.rotate,
                       0.0f, 0.0f, how.firstFrame, 0);
  } else {
    engine.encodeSoundOnly(file, "Tone");
  }
  std::fclose(file);
  ASSERT_EQ(engine.count(ProgressEvent::Summary), 1);
  engine.closeSources();
}

}  // namespace

int runInspector(const std::vector<std::string>& args, std::ostringstream& out,
                 std::ostringstream& err) {
  ToolOptions options;
  std::string error;
  EXPECT_TRUE(parseToolOptions(args, options, error)) << error;
  out.str("");
  err.str("");
  return runInspect(options, out, err);
}

void ClipMovieTest::SetUp() {
  test::RawAviClip clip;
  clip.width = 64;
  clip.height = 48;
  clip.frames = 12;
  clip.rate = 10;
  clip.withAudio = true;
  clip.audio.format = test::StoredSampleFormat::Float32;  // a 1000 Hz tone
  clip.audio.sampleRate = 8000;
  clip.audio.sampleFrames = 9600;
  ASSERT_TRUE(test::writeRawAvi(clipPath(), clip));
}

void ClipMovieTest::convert(const ClipConversion& how) {
  encode(clipPath(), moviePath(), how, true);
}

void ClipMovieTest::convertSoundOnly() {
  encode(clipPath(), moviePath(), ClipConversion{.withSound = true}, false);
}

int ClipMovieTest::inspect(std::vector<std::string> args) {
  args.push_back(moviePath());
  return runInspector(args, out, err);
}

}  // namespace vantrel::inspect
