// Picture quality at the same size: the default encode against -bestencode.
// Five clips of different kinds are written (a panned photograph-like texture,
// fast motion, flat-coloured animation, a mostly still talking head and
// scrolling text) and each is converted in every colour mode at 160 x 160 and
// 320 x 240, 10 frames per second, once with the default encode and once with
// the other flags. Every movie is then compared with its placed source by the
// inspector's own comparison (RGB PSNR from the mean squared error over the
// movie, and the lowest frame PSNR). The table gives, per pair, the file
// sizes, both figures and the processor time of both conversions (the faster
// of two runs each, the two taking turns), per colour mode the average gain,
// and last the ratio of the processor times over the whole table and for the
// costliest pair.
// Run by hand:
//   build/bench/best_encode_bench                 -bestencode against the default
//   build/bench/best_encode_bench -fastencode     any other flags against it
//   BEST_BENCH_CLIPS=03 build/bench/best_encode_bench   only clips 0 and 3
//   BEST_BENCH_MODES=24,25 build/bench/best_encode_bench only these colour modes

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "BenchClip.h"
#include "CommandLine.h"
#include "ConversionTimer.h"
#include "EncoderSettings.h"
#include "ToolOptions.h"
#include "engine/ProgressEvent.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"

namespace vantrel::bench {
namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr int kFps = 30;
constexpr int kFrames = 120;  // 4 s: 40 frames at 10 fps

using PixelFunction = std::function<std::uint32_t(int, int, int)>;

std::uint32_t hash32(std::uint32_t a, std::uint32_t b) {
  std::uint32_t h = a * 0x9E3779B1u ^ b * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

int clampChannel(double value) { return value < 0 ? 0 : value > 255 ? 255 : int(value); }

std::uint32_t rgb(double r, double g, double b) {
  return std::uint32_t(clampChannel(r)) << 16 | std::uint32_t(clampChannel(g)) << 8 |
         std::uint32_t(clampChannel(b));
}

// Smooth value noise: a lattice of hashed values every cell pixels, blended.
double valueNoise(double x, double y, int cell, std::uint32_t seed) {
  const double u = x / cell;
  const double v = y / cell;
  const double fu = std::floor(u);
  const double fv = std::floor(v);
  const auto at = [seed](double i, double j) {
    return double(hash32(std::uint32_t(std::int64_t(i) + 100000) ^ seed,
                         std::uint32_t(std::int64_t(j) + 100000)) &
                  0xFF);
  };
  const double tu = (u - fu) * (u - fu) * (3 - 2 * (u - fu));
  const double tv = (v - fv) * (v - fv) * (3 - 2 * (v - fv));
  const double top = at(fu, fv) + (at(fu + 1, fv) - at(fu, fv)) * tu;
  const double bottom = at(fu, fv + 1) + (at(fu + 1, fv + 1) - at(fu, fv + 1)) * tu;
  return top + (bottom - top) * tv;
}

// A photograph-like landscape of several noise octaves, panned 1.5 pixels to
// the left and 0.5 down per frame.
std::uint32_t pannedPhoto(int frame, int x, int y) {
  const double px = x + 1.5 * frame;
  const double py = y - 0.5 * frame;
  const double coarse = valueNoise(px, py, 48, 1);
  const double middle = valueNoise(px, py, 12, 2);
  const double fine = valueNoise(px, py, 3, 3);
  const double light = 0.55 * coarse + 0.3 * middle + 0.15 * fine;
  const double tint = valueNoise(px, py, 64, 4) / 255.0;
  return rgb(light * (0.7 + 0.5 * tint), light * 0.95, light * (1.2 - 0.5 * tint));
}

// Fast motion: three balls crossing a gradient at 12 to 20 pixels a frame and
// a camera that shakes.
std::uint32_t fastMotion(int frame, int x, int y) {
  const int shakeX = int(hash32(std::uint32_t(frame), 7) % 9) - 4;
  const int shakeY = int(hash32(std::uint32_t(frame), 8) % 7) - 3;
  const int sx = x + shakeX;
  const int sy = y + shakeY;
  const double stripes = 30 * std::sin((sx + sy) * 0.08);
  std::uint32_t c = rgb(60 + sx * 0.4 + stripes, 90 + sy * 0.3, 140 - stripes);
  struct Ball {
    double speedX, speedY, radius;
    std::uint32_t colour;
  };
  static const Ball balls[] = {{14, 6, 40, 0xE03020}, {-20, 9, 28, 0x30D040},
                               {12, -15, 50, 0xF0E060}};
  for (const Ball& ball : balls) {
    const double span = kWidth + 2 * ball.radius;
    const double bx = std::fmod(ball.speedX * frame + 4 * span, span) - ball.radius;
    const double by = std::fmod(ball.speedY * frame + 4 * (kHeight + 0.0), double(kHeight));
    const double dx = sx - bx;
    const double dy = sy - by;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d < ball.radius) {
      const double shade = 1.0 - 0.5 * d / ball.radius;
      c = rgb(((ball.colour >> 16) & 0xFF) * shade, ((ball.colour >> 8) & 0xFF) * shade,
              (ball.colour & 0xFF) * shade);
    }
  }
  return c;
}

// Flat-coloured animation: a sky and a ground in flat colours, a sun, and
// outlined shapes that hop across.
std::uint32_t flatAnimation(int frame, int x, int y) {
  std::uint32_t c = y < 190 ? 0x70B8F0 : 0x58A038;
  const double sunX = 320 - frame * 0.5;
  if ((x - sunX) * (x - sunX) + (y - 60.0) * (y - 60.0) < 900) c = 0xFFD020;
  const int boxX = (frame * 5) % (kWidth + 80) - 80;
  const int boxY = 140 - int(40 * std::abs(std::sin(frame * 0.15)));
  if (x >= boxX && x < boxX + 60 && y >= boxY && y < boxY + 50) {
    const bool outline = x < boxX + 3 || x >= boxX + 57 || y < boxY + 3 || y >= boxY + 47;
    c = outline ? 0x101010 : 0xD04080;
  }
  const double catX = kWidth - (frame * 3) % (kWidth + 60);
  const double dx = x - catX;
  const double dy = y - 215.0;
  const double d = dx * dx / 900 + dy * dy / 400;
  if (d < 1.0) c = d > 0.85 ? 0x101010 : 0xF08C28;
  return c;
}

// A talking head: a still, softly textured room, a face whose mouth and eyes
// move and a head that sways a little.
std::uint32_t talkingHead(int frame, int x, int y) {
  const double wall = valueNoise(x, y, 24, 9);
  std::uint32_t c = rgb(120 + wall * 0.2, 110 + wall * 0.2, 100 + wall * 0.15);
  if (x > 300 && y > 40 && y < 200) c = rgb(60 + wall * 0.1, 50, 40);  // a bookshelf
  const double headX = 200 + 4 * std::sin(frame * 0.07);
  const double headY = 150 + 2 * std::sin(frame * 0.05);
  const double dx = (x - headX) / 70.0;
  const double dy = (y - headY) / 90.0;
  const double d = dx * dx + dy * dy;
  if (y > headY + 80) {
    if (std::abs(x - headX) < 110) c = rgb(40, 50, 90 + wall * 0.1);  // shoulders
  }
  if (d < 1.0) {
    c = rgb(225 - 40 * d, 180 - 40 * d, 150 - 30 * d);
    const double mouthOpen = 4 + 5 * std::abs(std::sin(frame * 0.6));
    if (std::abs(x - headX) < 22 && std::abs(y - (headY + 40)) < mouthOpen) c = 0x602020;
    const bool blink = frame % 45 < 3;
    for (const double eye : {-25.0, 25.0}) {
      const double ex = x - (headX + eye);
      const double ey = y - (headY - 15);
      if (ex * ex / 100 + ey * ey / (blink ? 2 : 36) < 1.0) c = 0x202830;
    }
  }
  return c;
}

// Scrolling text: lines of dark glyph-like marks on a light page moving up
// 3 pixels a frame.
std::uint32_t scrollingText(int frame, int x, int y) {
  const int py = y + 3 * frame;
  const int line = py / 18;
  const int inLine = py % 18;
  if (x < 16 || x >= kWidth - 16 || inLine >= 12) return 0xF4F0E6;
  const int column = (x - 16) / 8;
  const int word = hash32(std::uint32_t(line), std::uint32_t(column / 6)) % 7;
  if (word == 0 || column % 6 == 5) return 0xF4F0E6;  // spaces
  const std::uint32_t glyph = hash32(std::uint32_t(line * 1000 + column), 77);
  const int gx = (x - 16) % 8;
  const int gy = inLine;
  const bool ink = gx < 6 && ((glyph >> ((gy / 2) * 3 + gx / 2)) & 1) != 0;
  if (!ink) return 0xF4F0E6;
  return line % 9 == 0 ? 0xB02020 : 0x202020;  // headings in red
}

struct ClipKind {
  const char* name;
  PixelFunction pixels;
};

const std::vector<ClipKind>& clipKinds() {
  static const std::vector<ClipKind> kinds = {
      {"panned photo", pannedPhoto},
      {"fast motion", fastMotion},
      {"flat animation", flatAnimation},
      {"talking head", talkingHead},
      {"scrolling text", scrollingText},
  };
  return kinds;
}

test::EncodedClip clipShape(const ClipKind& kind) {
  test::EncodedClip clip;
  clip.container = "avi";
  clip.video = test::ClipVideo::Mjpeg;
  clip.pixels = kind.pixels;
  clip.width = kWidth;
  clip.height = kHeight;
  clip.fpsNum = kFps;
  clip.frames = kFrames;
  clip.keyFrameInterval = kFps;
  return clip;
}

struct Outcome {
  bool ok = false;
  std::uintmax_t bytes = 0;
  double psnr = 0.0;
  double worst = 0.0;
  double seconds = 0.0;  // processor time of the conversion
};

// Converts the clip with the flags, then (with compare) compares the movie
// with the clip.
Outcome convert(const BenchClip& clip, const std::vector<std::string>& extra, bool compare) {
  Outcome outcome;
  const std::string moviePath = clip.scratchFile("movie.pdb");
  std::vector<std::string> flags{"best_encode_bench", "-vidfile=" + clip.path(),
                                 "-outfile=" + moviePath, "-framerate=10"};
  flags.insert(flags.end(), extra.begin(), extra.end());
  std::vector<const char*> argv;
  for (const std::string& flag : flags) argv.push_back(flag.c_str());
  EncoderSettings settings;
  if (!settings.parseCommandLine(int(argv.size()), argv.data())) return outcome;
  VideoStreamSourceAVI aviKind;
  VideoStreamSourceQT movieKind;
  VideoSourceList videoKinds{&aviKind, &movieKind};
  AudioSourceList audioKinds;
  ConversionTimer engine;
  engine.videoSources = &videoKinds;
  engine.audioSources = &audioKinds;
  settings.applyToEngine(engine);
  engine.workerThreads = 1;
  if (const char* failure = engine.openSources(nullptr, clip.path().c_str())) {
    std::fprintf(stderr, "%s\n", failure);
    return outcome;
  }
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(moviePath.c_str(), "wb"),
                                                         &std::fclose);
    if (!file) return outcome;
    engine.encodeMovie(file.get(), "Bench", engine.screenWidth, engine.screenHeight,
                       engine.colorDepth, engine.flipVertical, engine.flipHorizontal,
                       engine.rotate, 0.0f, 0.0f, 0, 0);
  }
  engine.closeSources();
  if (!engine.succeeded()) {
    std::fprintf(stderr, "conversion failed: %s\n", engine.failure().c_str());
    return outcome;
  }
  outcome.seconds = engine.report().total.cpuSeconds;
  outcome.bytes = std::filesystem::file_size(moviePath);
  if (!compare) {
    outcome.ok = true;
    return outcome;
  }

  inspect::ToolOptions options;
  options.moviePath = moviePath;
  options.sourcePath = clip.path();
  options.quiet = true;
  options.shaping.frameRate = 10;
  std::ostringstream out;
  std::ostringstream err;
  inspect::runInspect(options, out, err);
  std::istringstream lines(out.str());
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("total PSNR:", 0) != 0) continue;
    outcome.ok = std::sscanf(line.c_str(), "total PSNR: %lf dB", &outcome.psnr) == 1;
    const std::size_t worst = line.find("worst ");
    outcome.worst = outcome.psnr;
    if (worst != std::string::npos) std::sscanf(line.c_str() + worst, "worst %lf", &outcome.worst);
  }
  if (!outcome.ok) std::fprintf(stderr, "no comparison: %s\n", err.str().c_str());
  return outcome;
}

// The pair of conversions, each timed twice: the same movies come out each
// time, and the faster run of each counts. The two take turns, so that a busy
// spell of the machine slows both rather than one, and distorts their ratio
// less.
std::pair<Outcome, Outcome> timedPair(const BenchClip& clip,
                                      const std::vector<std::string>& first,
                                      const std::vector<std::string>& second) {
  const auto keepFaster = [](Outcome& outcome, const Outcome& again) {
    if (again.ok && again.seconds < outcome.seconds) outcome.seconds = again.seconds;
  };
  Outcome a = convert(clip, first, true);
  Outcome b = convert(clip, second, true);
  keepFaster(a, convert(clip, first, false));
  keepFaster(b, convert(clip, second, false));
  return {a, b};
}

int run(const std::vector<std::string>& otherFlags) {
  struct Mode {
    const char* flag;
    const char* name;
  };
  const Mode modes[] = {{"-colordepth=12", "12"},
                        {"-colordepth=16", "16"},
                        {"-colordepth=24", "24"},
                        {"-colordepth=25", "25"}};
  const Mode sizes[] = {{"-resolution=0", "160x160"}, {"-resolution=1", "320x240"}};
  std::string other;
  for (const std::string& flag : otherFlags) other += " " + flag;
  std::printf("default against%s, 10 fps, default frame size\n", other.c_str());
  std::printf("%-15s %-4s %-8s %9s %9s %6s | %7s %7s %6s | %7s %7s %6s | %6s %6s\n", "clip",
              "mode", "screen", "bytes", "bytes2", "size%", "PSNR", "PSNR2", "gain", "worst",
              "worst2", "gain", "cpu s", "cpu2 s");
  std::map<std::string, std::pair<double, int>> gains;  // per mode: sum, count
  std::map<std::string, double> lowestGain;
  double cpu = 0.0;
  double cpu2 = 0.0;
  double highestRatio = 0.0;
  std::string highestPair;
  const char* only = std::getenv("BEST_BENCH_CLIPS");  // e.g. "02": clips 0 and 2
  for (std::size_t k = 0; k < clipKinds().size(); ++k) {
    const ClipKind& kind = clipKinds()[k];
    if (only != nullptr && std::strchr(only, char('0' + k)) == nullptr) continue;
    const BenchClip clip(clipShape(kind), "clip.avi");
    if (!clip.ok()) {
      std::fprintf(stderr, "%s: clip not written: %s\n", kind.name, clip.failure().c_str());
      return 1;
    }
    for (const Mode& mode : modes) {
      const char* onlyModes = std::getenv("BEST_BENCH_MODES");
      if (onlyModes != nullptr && std::strstr(onlyModes, mode.name) == nullptr) continue;
      for (const Mode& size : sizes) {
        const std::vector<std::string> base{mode.flag, size.flag};
        std::vector<std::string> second = base;
        second.insert(second.end(), otherFlags.begin(), otherFlags.end());
        const auto [a, b] = timedPair(clip, base, second);
        if (!a.ok || !b.ok) {
          std::printf("%-15s %-4s %-8s failed\n", kind.name, mode.name, size.name);
          continue;
        }
        const double gain = b.psnr - a.psnr;
        std::printf(
            "%-15s %-4s %-8s %9ju %9ju %+5.2f%% | %7.2f %7.2f %+6.2f | %7.2f %7.2f %+6.2f | "
            "%6.2f %6.2f\n",
            kind.name, mode.name, size.name, a.bytes, b.bytes,
            100.0 * (double(b.bytes) - double(a.bytes)) / double(a.bytes), a.psnr, b.psnr,
            gain, a.worst, b.worst, b.worst - a.worst, a.seconds, b.seconds);
        std::fflush(stdout);
        cpu += a.seconds;
        cpu2 += b.seconds;
        if (a.seconds > 0.0 && b.seconds / a.seconds > highestRatio) {
          highestRatio = b.seconds / a.seconds;
          highestPair = std::string(kind.name) + ", " + mode.name + ", " + size.name;
        }
        auto& [sum, count] = gains[mode.name];
        sum += gain;
        ++count;
        if (!lowestGain.count(mode.name) || gain < lowestGain[mode.name])
          lowestGain[mode.name] = gain;
      }
    }
  }
  for (const auto& [mode, sumCount] : gains) {
    std::printf("mode %-3s average gain %+.2f dB over %d pairs, lowest %+.2f dB\n",
                mode.c_str(), sumCount.first / sumCount.second, sumCount.second,
                lowestGain[mode]);
  }
  if (cpu > 0.0) {
    std::printf("cpu: %.2f times the default's in all, at most %.2f times (%s)\n",
                cpu2 / cpu, highestRatio, highestPair.c_str());
  }
  return 0;
}

}  // namespace
}  // namespace vantrel::bench

int main(int argc, char** argv) {
  std::vector<std::string> flags(argv + 1, argv + argc);
  if (flags.empty()) flags.push_back("-bestencode");
  return vantrel::bench::run(flags);
}
