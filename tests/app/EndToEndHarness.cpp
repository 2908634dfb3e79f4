#include "EndToEndHarness.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "ScriptedConsole.h"
#include "codec/FrameDecoder.h"
#include "engine/ProgressEvent.h"
#include "sources/AudioStreamSourceAVI.h"
#include "sources/AudioStreamSourceQT.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"

namespace vantrel::test {

namespace {

// The engine's preview pictures: 320 bytes per row, bottom row first.
constexpr int kPreviewStride = kMaxFrameWidth;

int storedHeightOf(int colorDepth, int screenHeight) {
  return colorDepth >= 24 ? screenHeight + screenHeight / 2 : screenHeight;
}

}  // namespace

// Collects the frames of the frame pass. The encoder copies its handheld frame
// and reconstruction into the preview pictures after writing each frame; the
// next frame read (or the end of the video phase) is the moment to take them.
class FrameWatch {
 public:
  FrameWatch()
      : previewFrame(std::size_t(kPreviewStride) * kMaxStoredHeight, 0),
        previewReference(std::size_t(kPreviewStride) * kMaxStoredHeight, 0) {}

  void beginFramePass(int frameWidth, int frameHeight) {
    framePass = true;
    passReads = 0;
    width = frameWidth;
    height = frameHeight;
  }

  void beforeRead(int frameIndex) {
    reads.push_back(frameIndex);
    if (!framePass) return;
    if (passReads > 0) takeFrame();
    ++passReads;
  }

  void videoPhaseComplete() {
    if (framePass && passReads > 0) takeFrame();
    framePass = false;
  }

  std::vector<int> reads;
  std::vector<EncodedFrame> frames;
  std::vector<std::uint8_t> previewFrame;
  std::vector<std::uint8_t> previewReference;
  bool keepFrames = true;

 private:
  std::vector<std::uint8_t> topDown(const std::vector<std::uint8_t>& preview) const {
    std::vector<std::uint8_t> picture(std::size_t(width) * height);
    for (int row = 0; row < height; ++row) {
      std::memcpy(picture.data() + std::size_t(row) * width,
                  preview.data() + std::size_t(height - 1 - row) * kPreviewStride,
                  std::size_t(width));
    }
    return picture;
  }

  void takeFrame() {
    if (keepFrames) frames.push_back({topDown(previewFrame), topDown(previewReference)});
  }

  bool framePass = false;
  int passReads = 0;
  int width = 0;
  int height = 0;
};

namespace {

// The console engine, recording every progress call and telling the watch
// where the frame pass begins and ends.
class WatchingEncoder final : public ConsoleMovieEncoder {
 public:
  WatchingEncoder(EncoderSettings& programSettings, FrameWatch& frameWatch)
      : ConsoleMovieEncoder(programSettings), watch(frameWatch) {
    previewFrame = watch.previewFrame.data();
    previewReference = watch.previewReference.data();
    // The counter texts as the codec reports them, free of the clock.
    progressStyle = ProgressStyle::Counters;
  }

  int reportProgress(int event, int value, std::intptr_t data) override {
    calls.push_back({event, value, data});
    // Frame 0 of N with no bytes comes once, right before the frame pass.
    if (event == eventCode(ProgressEvent::FrameEncoded) && value == 0 &&
        lowHalf(data) == 0) {
      watch.beginFramePass(screenWidth, storedHeightOf(colorDepth, screenHeight));
    }
    if (event == eventCode(ProgressEvent::PhaseComplete) && value == 0) {
      watch.videoPhaseComplete();
    }
    return ConsoleMovieEncoder::reportProgress(event, value, data);
  }

  std::vector<ProgressCall> calls;

 private:
  FrameWatch& watch;
};

// A real video kind that reports every frame read to the watch first.
template <class Kind>
class WatchedVideoKind final : public Kind {
 public:
  explicit WatchedVideoKind(FrameWatch& frameWatch) : watch(frameWatch) {}

  int readFrame(int frameIndex, FrameImage** image) override {
    watch.beforeRead(frameIndex);
    return Kind::readFrame(frameIndex, image);
  }

 private:
  FrameWatch& watch;
};

// A test double in the AVI video kind's place, with its reads watched.
class WatchedStandIn final : public VideoStreamSource {
 public:
  WatchedStandIn(VideoStreamSource& standIn, FrameWatch& frameWatch)
      : inner(standIn), watch(frameWatch) {}

  void close() override { inner.close(); }
  bool isOpen() override { return inner.isOpen(); }
  std::uint32_t kind() override { return inner.kind(); }
  int startup() override { return inner.startup(); }
  int open(const char* fileName) override { return inner.open(fileName); }
  int readFrame(int frameIndex, FrameImage** image) override {
    watch.beforeRead(frameIndex);
    return inner.readFrame(frameIndex, image);
  }
  int getStreamInfo(VideoStreamInfo& info) override { return inner.getStreamInfo(info); }
  int firstFrame() override { return inner.firstFrame(); }
  int frameCount() override { return inner.frameCount(); }
  const char* errorText(int code) override { return inner.errorText(code); }

 private:
  VideoStreamSource& inner;
  FrameWatch& watch;
};

}  // namespace

// The program-wide objects of one run, in the order the program creates them:
// the sources outlive the engine, which closes them when it goes.
struct EndToEndHarness::Objects {
  explicit Objects(VideoStreamSource* standIn) {
    if (standIn != nullptr)
      watchedStandIn = std::make_unique<WatchedStandIn>(*standIn, watch);
  }

  VideoStreamSource* aviVideoKind() {
    if (watchedStandIn) return watchedStandIn.get();
    return &videoAvi;
  }

  ScriptedConsole console{""};
  ScriptedConsole errors{""};
  FrameWatch watch;
  EncoderSettings settings;
  WatchedVideoKind<VideoStreamSourceAVI> videoAvi{watch};
  AudioStreamSourceAVI audioAvi;
  WatchedVideoKind<VideoStreamSourceQT> videoMovie{watch};
  AudioStreamSourceQT audioMovie;
  std::unique_ptr<WatchedStandIn> watchedStandIn;
  VideoSourceList videoSources;
  AudioSourceList audioSources;
  WatchingEncoder engine{settings, watch};
};

EndToEndHarness::EndToEndHarness() = default;

EndToEndHarness::~EndToEndHarness() = default;

int EndToEndHarness::run(const std::vector<std::string>& arguments) {
  objects.reset();
  objects = std::make_unique<Objects>(videoStandIn);
  Objects& o = *objects;
  o.watch.keepFrames = keepFrames;
  o.settings.fastencode = fastEncoding;
  o.engine.workerThreads = threadCount;
  o.engine.analysedPictureBytes = keptBytes;
  RunFlow flow(o.settings, o.engine, o.videoSources, o.audioSources,
               SourceKinds{&o.audioAvi, o.aviVideoKind(), &o.audioMovie, &o.videoMovie},
               RunStreams{o.console.input, o.console.output, o.errors.output});
  std::vector<const char*> argv{"vantrel"};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  const int status = flow.run(static_cast<int>(argv.size()), argv.data());

  outputText = o.console.text();
  errorText = o.errors.text();
  // Only regular files: a device such as /dev/full reads as endless zeros.
  loaded = std::filesystem::is_regular_file(o.settings.outfile) &&
           reader.load(o.settings.outfile);
  return status;
}

ConsoleMovieEncoder& EndToEndHarness::engine() { return objects->engine; }

const std::vector<ProgressCall>& EndToEndHarness::progress() const {
  return objects->engine.calls;
}

const std::vector<int>& EndToEndHarness::frameReads() const {
  return objects->watch.reads;
}

const std::vector<EncodedFrame>& EndToEndHarness::encodedFrames() const {
  return objects->watch.frames;
}

std::vector<DecodedFrame> EndToEndHarness::decodeMovie() const {
  std::vector<DecodedFrame> frames;
  MovieHeaderView header;
  if (!loaded || !reader.movieHeader(header)) return frames;
  FrameDecoder decoder(header.frameWidth, header.storedHeight);
  const std::size_t samples = std::size_t(header.frameWidth) * header.storedHeight;
  for (int index = 1; index <= header.frameCount; ++index) {
    const std::span<const std::uint8_t> record = reader.record(index);
    DecodedFrame frame;
    frame.length = record.size();
    frame.status = decoder.decodeNextFrame(record.data(), record.size());
    frame.kind = decoder.lastFrameKind();
    frame.hadPalette = decoder.lastFrameHadPalette();
    frame.picture.assign(decoder.picture(), decoder.picture() + samples);
    frames.push_back(std::move(frame));
  }
  return frames;
}

int EndToEndHarness::framesUnlikeTheEncoder() const {
  const std::vector<DecodedFrame> decoded = decodeMovie();
  const std::vector<EncodedFrame>& encoded = encodedFrames();
  int unlike = decoded.size() == encoded.size() && !decoded.empty() ? 0 : 1;
  for (std::size_t i = 0; i < std::min(decoded.size(), encoded.size()); ++i) {
    if (decoded[i].status != DecodeStatus::Ok || decoded[i].picture != encoded[i].recon)
      ++unlike;
  }
  return unlike;
}

std::vector<std::string> movieArguments(const std::string& clip, const std::string& movie,
                                        const std::vector<std::string>& extra) {
  std::vector<std::string> arguments{"-vidfile=" + clip, "-outfile=" + movie};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}

std::vector<std::string> programCommand(const std::vector<std::string>& arguments) {
#ifdef VANTREL_PROGRAM_EMULATOR
  std::vector<std::string> words{VANTREL_PROGRAM_EMULATOR, VANTREL_PROGRAM};
#else
  std::vector<std::string> words{VANTREL_PROGRAM};
#endif
  words.insert(words.end(), arguments.begin(), arguments.end());
  return words;
}

}  // namespace vantrel::test
