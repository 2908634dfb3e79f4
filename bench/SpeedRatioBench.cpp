// Conversion speed against decoding speed, in one run on the same clips: each
// clip is decoded by the ffmpeg command-line program on one thread and scaled
// to the handheld screen at 10 frames per second,
//   ffmpeg -threads 1 -filter_threads 1 -i CLIP
//          -vf fps=10,scale=160:160:flags=lanczos -f null -
// and converted by the engine with several settings. The table gives, for each
// setting, the processor time (all threads) and wall-clock time of the
// conversion and their ratios to ffmpeg's processor time. ffmpeg is timed
// before and after the conversions and the faster run counts, so that a busy
// machine distorts the yardstick as little as it can.
//
// Clips: 20 s of 640 x 480 MJPEG at 30 fps with a busy scene (a panned fine
// texture, zooming rings, sliding bars), every setting; and 120 s of the same
// scene in H.264 (High profile, x264 tuned for fast decoding at a phone's
// bit rate) at 10 frames per second in the default and the two 8-bit colour
// depths. Then what films and songs are: a 120 s stereo 48 kHz AAC song, sound
// only, default and -hifi, against
//   ffmpeg -threads 1 -i SONG -ar 20000 -ac 1 -f null -
// and 10 s of the busy scene at 1920 x 1080 in H.264 with its AAC sound, with
// the defaults, against the 15 frames a second the movie shows:
//   ffmpeg -threads 1 -filter_threads 1 -i CLIP
//          -vf fps=15,scale=160:160:flags=lanczos -f null -
// Run by hand (needs the Debian package ffmpeg):
//   build/bench/speed_ratio_bench            every clip
//   build/bench/speed_ratio_bench mjpeg      only the MJPEG clip (or h264, song, hd)
//   build/bench/speed_ratio_bench write DIR  only writes the clips into DIR,
//                                            for profiling the program on them
//                                            (write DIR 1080p: only the clips
//                                            whose names hold "1080p")

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BenchClip.h"
#include "EncoderSettings.h"
#include "FfmpegTimer.h"
#include "engine/MovieEncoder.h"
#include "engine/ProgressEvent.h"
#include "sources/AudioStreamSourceAVI.h"
#include "sources/AudioStreamSourceQT.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"

namespace vantrel::bench {
namespace {

// An engine that remembers whether its encode ended with a summary.
class QuietEncoder final : public MovieEncoder {
 public:
  int reportProgress(int event, int /*value*/, std::intptr_t data) override {
    if (event == eventCode(ProgressEvent::Summary)) done = true;
    if (event == eventCode(ProgressEvent::Error))
      why = reinterpret_cast<const char*>(data);
    return 0;
  }
  bool done = false;
  std::string why;
};

// What a clip's conversion reads from it.
enum class Content { Pictures, PicturesAndSound, SoundOnly };

struct Row {
  const char* label;
  std::vector<std::string> flags;
  int threads = 0;  // the engine's workerThreads: 0 = one per processor
};

const std::vector<Row>& rows() {
  static const std::vector<Row> table = {
      {"defaults (truecolor plus, 15 fps)", {}},
      {"-framerate=10", {"-framerate=10"}},
      {"-framerate=10 -colordepth=16", {"-framerate=10", "-colordepth=16"}},
      {"-framerate=10 -colordepth=12", {"-framerate=10", "-colordepth=12"}},
      {"-framerate=10, one thread", {"-framerate=10"}, 1},
      {"-framerate=10 -colordepth=16, one thread",
       {"-framerate=10", "-colordepth=16"},
       1},
      {"defaults (sound only)", {}},
      {"-hifi (sound only)", {"-hifi"}},
  };
  return table;
}

// Converts path with the flags; returns false (and says why) on failure.
bool convert(const BenchClip& clip, const Row& row, Content content, RunTime& time) {
  const bool pictures = content != Content::SoundOnly;
  const bool sound = content != Content::Pictures;
  std::vector<std::string> flags{"speed_ratio_bench",
                                 "-outfile=" + clip.scratchFile("movie.pdb")};
  if (pictures) flags.push_back("-vidfile=" + clip.path());
  if (sound) flags.push_back("-audfile=" + clip.path());
  flags.insert(flags.end(), row.flags.begin(), row.flags.end());
  std::vector<const char*> argv;
  for (const std::string& flag : flags) argv.push_back(flag.c_str());
  EncoderSettings settings;
  if (!settings.parseCommandLine(int(argv.size()), argv.data())) return false;
  VideoStreamSourceAVI aviKind;
  VideoStreamSourceQT movieKind;
  VideoSourceList videoKinds{&aviKind, &movieKind};
  AudioStreamSourceAVI aviSound;
  AudioStreamSourceQT movieSound;
  AudioSourceList audioKinds;
  if (sound) audioKinds = {&aviSound, &movieSound};
  QuietEncoder engine;
  engine.videoSources = &videoKinds;
  engine.audioSources = &audioKinds;
  settings.applyToEngine(engine);
  engine.workerThreads = row.threads;
  const RunTimer timer;
  if (const char* failure =
          engine.openSources(sound ? clip.path().c_str() : nullptr,
                             pictures ? clip.path().c_str() : nullptr)) {
    std::fprintf(stderr, "%s: %s\n", row.label, failure);
    return false;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
      std::fopen(clip.scratchFile("movie.pdb").c_str(), "wb"), &std::fclose);
  if (!file) return false;
  if (pictures) {
    engine.encodeMovie(file.get(), "Bench", engine.screenWidth, engine.screenHeight,
                       engine.colorDepth, engine.flipVertical, engine.flipHorizontal,
                       engine.rotate, 0.0f, 0.0f, 0, 0);
  } else {
    engine.encodeSoundOnly(file.get(), "Bench");
  }
  time = timer.elapsed();
  engine.closeSources();
  if (!engine.done) std::fprintf(stderr, "%s: %s\n", row.label, engine.why.c_str());
  return engine.done;
}

// The anchors: the pictures scaled to the screen at the movie's rate, or the
// sound resampled to the movie's mono 20000 Hz.
const std::string kPictures10 = "-vf fps=10,scale=160:160:flags=lanczos";
const std::string kPictures15 = "-vf fps=15,scale=160:160:flags=lanczos";
const std::string kSound = "-ar 20000 -ac 1";

void measure(const char* title, const test::EncodedClip& shape, const char* fileName,
             const std::vector<std::size_t>& rowIndices,
             const std::string& anchor = kPictures10,
             Content content = Content::Pictures) {
  const BenchClip clip(shape, fileName);
  if (!clip.ok()) {
    std::fprintf(stderr, "%s: clip not written: %s\n", title, clip.failure().c_str());
    return;
  }
  FfmpegTiming ffmpeg = timeFfmpegDecode(clip.path(), 1, anchor);
  std::vector<RunTime> times;
  for (std::size_t i : rowIndices) {
    const Row& row = rows()[i];
    RunTime time;
    if (!convert(clip, row, content, time)) time = RunTime{-1.0, -1.0};
    times.push_back(time);
  }
  const FfmpegTiming again = timeFfmpegDecode(clip.path(), 1, anchor);
  if (again.measured && (!ffmpeg.measured || again.cpuSeconds < ffmpeg.cpuSeconds)) {
    ffmpeg = again;
  }

  std::printf("\n%s\n", title);
  if (!ffmpeg.measured) {
    std::printf("  no ffmpeg time: %s\n", ffmpeg.note.c_str());
  } else {
    std::printf("  ffmpeg -threads 1 -filter_threads 1 %s: cpu %.2f s, wall %.2f s\n",
                anchor.c_str(), ffmpeg.cpuSeconds, ffmpeg.seconds);
  }
  std::printf("  %-42s %8s %8s %10s %14s\n", "setting", "cpu s", "wall s", "cpu ratio",
              "wall/ff cpu");
  for (std::size_t i = 0; i < times.size(); ++i) {
    const RunTime& t = times[i];
    const char* label = rows()[rowIndices[i]].label;
    if (t.cpuSeconds < 0) {
      std::printf("  %-42s failed\n", label);
      continue;
    }
    const double base = ffmpeg.measured ? ffmpeg.cpuSeconds : 0.0;
    std::printf("  %-42s %8.2f %8.2f %9.2fx %13.2fx\n", label, t.cpuSeconds,
                t.seconds, base > 0 ? t.cpuSeconds / base : 0.0,
                base > 0 ? t.seconds / base : 0.0);
  }
  std::fflush(stdout);
}

test::EncodedClip busyScene(test::ClipVideo video, int seconds) {
  test::EncodedClip shape;
  shape.container = video == test::ClipVideo::H264 ? "mp4" : "avi";
  shape.video = video;
  shape.pattern = test::ClipPattern::RichMotion;
  shape.width = 640;
  shape.height = 480;
  shape.fpsNum = 30;
  shape.frames = 30 * seconds;
  shape.keyFrameInterval = 30;
  if (video == test::ClipVideo::H264) {
    // Bits and tuning of a phone clip: decoding it and scaling it to the
    // screen at 10 frames a second costs FFmpeg about 2.1 to 2.4 ms per
    // output frame, like the clip the speed goal was measured on.
    shape.h264Crf = 30;
    shape.h264FastDecode = true;
    shape.keyFrameInterval = 60;
  }
  return shape;
}

// A song as phones and shops sell it: stereo 48 kHz AAC, no pictures.
test::EncodedClip song(int seconds) {
  test::EncodedClip shape;
  shape.container = "mp4";
  shape.video = test::ClipVideo::None;
  shape.audio = test::ClipAudio::Aac;
  shape.sampleRate = 48000;
  shape.channels = 2;
  shape.audioSeconds = seconds;
  return shape;
}

// A camera's 1080p clip at 30 fps with its stereo 48 kHz AAC sound.
test::EncodedClip hdClip(int seconds) {
  test::EncodedClip shape = busyScene(test::ClipVideo::H264, seconds);
  shape.width = 1920;
  shape.height = 1080;
  shape.h264Crf = 33;  // about 14 Mb/s for this scene, near what phones record
  shape.h264FastDecode = false;
  shape.keyFrameInterval = 30;
  shape.audio = test::ClipAudio::Aac;
  shape.sampleRate = 48000;
  shape.channels = 2;
  return shape;
}

}  // namespace
}  // namespace vantrel::bench

int main(int argc, char** argv) {
  using namespace vantrel;
  const std::string only = argc > 1 ? argv[1] : "";
  const test::EncodedClip mjpeg = bench::busyScene(test::ClipVideo::Mjpeg, 20);
  const test::EncodedClip h264 = bench::busyScene(test::ClipVideo::H264, 120);
  const test::EncodedClip song = bench::song(120);
  const test::EncodedClip hd = bench::hdClip(10);
  if (only == "write" && argc > 2) {
    const std::string directory = argv[2];
    for (const auto& [shape, name] :
         {std::pair{mjpeg, "/busy-mjpeg-20s.avi"}, std::pair{h264, "/busy-h264-120s.mp4"},
          std::pair{song, "/song-aac-120s.m4a"},
          std::pair{hd, "/busy-h264-1080p-10s.mp4"}}) {
      if (argc > 3 && std::string(name).find(argv[3]) == std::string::npos) continue;
      const std::string failure = test::writeEncodedClip(directory + name, shape);
      if (!failure.empty()) std::fprintf(stderr, "%s: %s\n", name, failure.c_str());
    }
    return 0;
  }
  if (only.empty() || only == "mjpeg") {
    bench::measure("20 s 640 x 480 MJPEG AVI, 30 fps", mjpeg, "busy-mjpeg-20s.avi",
                   {0, 1, 2, 3, 4, 5});
  }
  if ((only.empty() || only == "h264") &&
      test::clipEncoderAvailable(test::ClipVideo::H264)) {
    bench::measure("120 s 640 x 480 H.264 MP4, 30 fps", h264, "busy-h264-120s.mp4",
                   {1, 2, 3});
  }
  if ((only.empty() || only == "song") &&
      test::clipEncoderAvailable(test::ClipAudio::Aac)) {
    bench::measure("120 s stereo 48 kHz AAC song, sound only", song, "song-aac-120s.m4a",
                   {6, 7}, bench::kSound, bench::Content::SoundOnly);
  }
  if ((only.empty() || only == "hd") &&
      test::clipEncoderAvailable(test::ClipVideo::H264) &&
      test::clipEncoderAvailable(test::ClipAudio::Aac)) {
    bench::measure("10 s 1920 x 1080 H.264 MP4, 30 fps, with AAC sound", hd,
                   "busy-h264-1080p-10s.mp4", {0}, bench::kPictures15,
                   bench::Content::PicturesAndSound);
  }
  return 0;
}
