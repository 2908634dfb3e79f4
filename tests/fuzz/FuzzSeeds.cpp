#include "FuzzSeeds.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "codec/FrameCodec.h"
#include "engine/MovieEncoder.h"
#include "support/EncodedClipWriter.h"
#include "support/FakeAudioSource.h"
#include "support/FakeVideoSource.h"
#include "support/TestClips.h"

namespace vantrel::fuzz {
namespace {

FuzzInput bytesOf(const std::string& text) { return FuzzInput(text.begin(), text.end()); }

FuzzInput readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return FuzzInput(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// --- Movie databases --------------------------------------------------------

struct MovieShape {
  int screenWidth = 160;
  int screenHeight = 160;
  int colorDepth = 16;
  bool grayscale = false;
  int frames = 3;
  double soundSeconds = 0.0;  // 0: no sound
  bool adpcm = false;
  bool hifi = false;
  bool soundOnly = false;
};

// A movie the encoder writes from a generated clip (and a generated sound).
FuzzInput encodedMovie(const MovieShape& shape) {
  MovieEncoder engine;
  engine.screenWidth = shape.screenWidth;
  engine.screenHeight = shape.screenHeight;
  engine.colorDepth = shape.colorDepth;
  engine.grayscale = shape.grayscale;
  engine.adpcmAudio = shape.adpcm;
  engine.hifiAudio = shape.hifi;
  engine.keyFrameSeconds = 1;
  engine.frameRate = 2;
  engine.titleText = "Seed";

  FakeVideoSource video;
  VideoStreamInfo info;
  info.rate = 2;
  info.scale = 1;
  info.length = shape.frames + 1;  // the movie has one frame fewer than the clip
  info.width = 40;
  info.height = 30;
  video.setStream(info);
  std::vector<std::int16_t> samples(std::size_t(shape.soundSeconds * 8000));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>((i % 50) * 600 - 15000);
  }
  FakeAudioSource sound(FakeAudioSource::pcmInfo(8000, 16, 1),
                        FakeAudioSource::packInt16(samples));
  if (!shape.soundOnly && video.open("clip") == 0) engine.selectedVideo = &video;
  if (shape.soundSeconds > 0.0) engine.selectedAudio = &sound;

  // A real file: the encoder seeks back to complete the record list.
  std::FILE* output = std::tmpfile();
  if (output == nullptr) return {};
  if (shape.soundOnly) {
    engine.encodeSoundOnly(output, "Seed sound");
  } else {
    engine.encodeMovie(output, "Seed movie", engine.screenWidth, engine.screenHeight,
                       engine.colorDepth, false, false, false, 0.0f, 0.0f, 0, 0);
  }
  FuzzInput bytes;
  std::rewind(output);
  for (int c = std::fgetc(output); c != EOF; c = std::fgetc(output)) {
    bytes.push_back(static_cast<std::uint8_t>(c));
  }
  std::fclose(output);
  engine.selectedVideo = nullptr;
  engine.selectedAudio = nullptr;
  return bytes;
}

std::vector<FuzzInput> movieDatabaseSeeds() {
  std::vector<FuzzInput> seeds;
  MovieShape plain;
  seeds.push_back(encodedMovie(plain));
  MovieShape standard;
  standard.colorDepth = 12;
  standard.screenWidth = 320;
  standard.screenHeight = 240;
  seeds.push_back(encodedMovie(standard));
  MovieShape truecolor;
  truecolor.colorDepth = 24;
  truecolor.frames = 4;
  seeds.push_back(encodedMovie(truecolor));
  MovieShape tall;
  tall.colorDepth = 25;
  tall.screenWidth = 216;
  tall.screenHeight = 384;
  tall.frames = 2;
  seeds.push_back(encodedMovie(tall));
  MovieShape gray;
  gray.grayscale = true;
  seeds.push_back(encodedMovie(gray));
  MovieShape withSound;
  withSound.frames = 2;
  withSound.soundSeconds = 0.5;
  withSound.adpcm = true;
  seeds.push_back(encodedMovie(withSound));
  MovieShape soundOnly;
  soundOnly.soundOnly = true;
  soundOnly.soundSeconds = 0.3;
  seeds.push_back(encodedMovie(soundOnly));
  return seeds;
}

// --- Difference records -----------------------------------------------------

// Sizes in the order of the difference record target's size byte.
constexpr std::array<std::array<int, 2>, 4> kRecordSizes = {{
    {160, 160}, {320, 240}, {320, 320}, {216, 384}}};

std::vector<std::uint8_t> movingPicture(int width, int height, int t) {
  std::vector<std::uint8_t> picture(std::size_t(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool square = x >= 20 + 3 * t && x < 60 + 3 * t && y >= 30 + 2 * t && y < 70 + 2 * t;
      const int texture = ((x + 2 * t) / 8 + y / 8) % 4;
      picture[std::size_t(y) * width + x] =
          static_cast<std::uint8_t>(square ? 200 : 1 + texture * 40 + (x + 2 * t) % 7);
    }
  }
  return picture;
}

// The records of a short moving clip at one size: a key frame and the
// difference frames after it, each with the target's five prefix bytes.
void addCodecRecords(std::vector<FuzzInput>& seeds, std::uint8_t sizeIndex, bool fast) {
  const int width = kRecordSizes[sizeIndex][0];
  const int height = kRecordSizes[sizeIndex][1];
  std::array<std::uint32_t, 256> palette{};
  for (int i = 0; i < 256; ++i) {
    palette[std::size_t(i)] = std::uint32_t((i * 37) & 255) << 16 |
                              std::uint32_t((i * 91) & 255) << 8 | std::uint32_t(i);
  }
  FrameCodec codec;
  codec.initFrameCodec(palette.data(), true, width, height, 16);
  std::vector<std::uint8_t> recon[2] = {std::vector<std::uint8_t>(std::size_t(width) * height),
                                        std::vector<std::uint8_t>(std::size_t(width) * height)};
  std::vector<std::uint8_t> record(FrameCodec::kRecordBufferSize);
  for (int t = 0; t < 3; ++t) {
    const std::vector<std::uint8_t> picture = movingPicture(width, height, t);
    double quality = 0.0;
    const int bytes = codec.compressFrame(record.data(), picture.data(), recon[t % 2].data(),
                                          t == 0 ? nullptr : recon[(t + 1) % 2].data(), fast,
                                          400, 3000, 1200, quality, false, t, 0);
    FuzzInput seed = {sizeIndex, std::uint8_t(t), 0x11, 0x22, 0x33};
    seed.insert(seed.end(), record.begin(), record.begin() + bytes);
    seeds.push_back(std::move(seed));
  }
}

std::vector<FuzzInput> differenceRecordSeeds() {
  std::vector<FuzzInput> seeds;
  addCodecRecords(seeds, 0, false);
  addCodecRecords(seeds, 1, true);
  addCodecRecords(seeds, 3, false);
  return seeds;
}

// --- Media files ------------------------------------------------------------

std::vector<FuzzInput> mediaSourceSeeds() {
  std::vector<FuzzInput> seeds;
  test::ScratchDirectory scratch;
  auto add = [&](std::uint8_t extension, const std::string& path) {
    FuzzInput seed = readFile(path);
    if (seed.empty()) return;
    seed.insert(seed.begin(), extension);
    seeds.push_back(std::move(seed));
  };
  // The first byte picks the name: 0 .avi, 1 .wav, 2 .mp4, 3 .mov.
  test::RawAviClip avi;
  avi.width = 16;
  avi.height = 12;
  avi.frames = 3;
  avi.withAudio = true;
  avi.audio.sampleFrames = 600;
  if (test::writeRawAvi(scratch.file("raw.avi"), avi)) add(0, scratch.file("raw.avi"));
  test::WavClip wav;
  wav.sampleFrames = 500;
  if (test::writeWav(scratch.file("pcm.wav"), wav)) add(1, scratch.file("pcm.wav"));
  test::WavClip alaw;
  alaw.channels = 2;
  alaw.format = test::StoredSampleFormat::ALaw;
  alaw.extensible = true;
  alaw.sampleFrames = 300;
  if (test::writeWav(scratch.file("alaw.wav"), alaw)) add(1, scratch.file("alaw.wav"));

  test::EncodedClip mp4;
  mp4.container = "mp4";
  mp4.video = test::ClipVideo::Mpeg4;
  mp4.width = 32;
  mp4.height = 24;
  mp4.frames = 4;
  mp4.keyFrameInterval = 2;
  mp4.audio = test::ClipAudio::Aac;
  mp4.sampleRate = 8000;
  mp4.channels = 1;
  if (test::clipEncoderAvailable(mp4.video) && test::clipEncoderAvailable(mp4.audio) &&
      test::writeEncodedClip(scratch.file("clip.mp4"), mp4).empty()) {
    add(2, scratch.file("clip.mp4"));
  }
  test::EncodedClip mov;
  mov.container = "mov";
  mov.video = test::ClipVideo::Mjpeg;
  mov.width = 16;
  mov.height = 16;
  mov.frames = 3;
  mov.audio = test::ClipAudio::Pcm16;
  mov.sampleRate = 8000;
  mov.channels = 2;
  if (test::writeEncodedClip(scratch.file("clip.mov"), mov).empty()) add(3, scratch.file("clip.mov"));
  test::EncodedClip mjpegAvi = mov;
  mjpegAvi.container = "avi";
  mjpegAvi.audio = test::ClipAudio::None;
  if (test::writeEncodedClip(scratch.file("mjpeg.avi"), mjpegAvi).empty()) {
    add(0, scratch.file("mjpeg.avi"));
  }
  return seeds;
}

// --- Command lines and menu sessions ----------------------------------------

std::vector<FuzzInput> commandLineSeeds() {
  // Four clip bytes (width, height, rate, length), then one argument per line.
  const std::string clip = std::string("\x20\x18\x0F\x03", 4);
  return {
      bytesOf(clip + "-vidfile=clip.avi\n-outfile=movie.pdb"),
      bytesOf(clip + "-vidfile=a.avi\n-audfile=a.wav\n-outfile=m.pdb\n-palmname=Movie\n"
                     "-framerate=10\n-framesize=2000\n-resolution=1\n-colordepth=16\n-adpcm"),
      bytesOf(clip + "-vidfile=a.mov\n-outfile=m.pdb\n-colordepth=24\n-rotate\n-hflip\n-vflip\n"
                     "-keyframes=1\n-uncompressed\n-grayscale"),
      bytesOf(clip + "-vidfile=a.mp4\n-outfile=dir/m.pdb\n-resolution=3\n-colordepth=25\n"
                     "-cropping=0.5\n-hifi\n-audioboost=300\n-noaudiofilter\n-hold\n-loop\n"
                     "-author=Someone\n-title=A title"),
      bytesOf(clip + "-vidfile=a.avi\n-outfile=m.pdb\n-bestencode\n-colordepth=24\n-resolution=1"),
      bytesOf(clip + "-framerate=abc\n-unknown=1"),
      bytesOf(clip + "-nohifi\n-nocropping=1"),
  };
}

std::vector<FuzzInput> consoleMenuSeeds() {
  // First byte: bit 0 set starts at the Main Menu, clear runs the first-run questions.
  return {
      bytesOf(std::string("\x00", 1) + "a.avi\n\nout.pdb\n\n-\nq\ny\n"),
      bytesOf(std::string("\x00", 1) + "\n\n\nmovies/clip.pdb\n\nq\ny\n"),
      bytesOf("\x01v\nr\n2\nb\n24\nc\n33.3\nf\n2000\nt\n12\n-\nq\nn\n"),
      bytesOf("\x01v\na\nh\nh\nc\n-\n-\ns\nanything\n"),
      bytesOf("\x01f\no\nC:/out/clip.pdb\no\nother/second.pdb\nv\nx.avi\n-\ng\n"),
      bytesOf("\x01o\nf\n\nv\nc\n101\n-1\n10\n!\n-\nq\ny\n"),
  };
}

}  // namespace

std::vector<FuzzInput> seedCorpus(std::string_view target) {
  if (target == "movie_database") return movieDatabaseSeeds();
  if (target == "difference_record") return differenceRecordSeeds();
  if (target == "media_sources") return mediaSourceSeeds();
  if (target == "command_line") return commandLineSeeds();
  if (target == "console_menus") return consoleMenuSeeds();
  return {};
}

}  // namespace vantrel::fuzz
