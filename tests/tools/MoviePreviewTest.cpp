// vantrel-inspect -preview: movies converted from a generated clip with a tone
// are written as playable files and read back through FFmpeg.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ClipMovieTest.h"
#include "MediaProbe.h"
#include "PictureFile.h"
#include "PictureQuality.h"
#include "PreviewWriter.h"
#include "SourceComposer.h"
#include "sources/AudioStreamSourceQT.h"
#include "sources/VideoStreamSourceQT.h"

namespace vantrel::inspect {
namespace {

// 12 frames at 10 fps: the movie keeps the source's 10 fps (below the 15 asked
// for) and holds 11 frames.
constexpr int kMovieFrames = 11;
constexpr double kMovieFps = 10.0;

using MoviePreviewTest = ClipMovieTest;

std::vector<std::uint8_t> bytesOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string textOf(const std::string& path) {
  const std::vector<std::uint8_t> bytes = bytesOf(path);
  return {bytes.begin(), bytes.end()};
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The names in folder: the files written and any temporary file left behind.
std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// The sound of path as the converter's movie kind reads it: 20000/s, 16-bit.
std::vector<std::int16_t> soundOf(const std::string& path) {
  AudioStreamSourceQT kind;
  std::vector<std::int16_t> samples;
  if (kind.open(path.c_str()) != 0) return samples;
  samples.resize(std::size_t(kind.sampleCount()));
  int bytes = 0;
  int read = 0;
  kind.read(0, kind.sampleCount(), samples.data(), int(samples.size() * 2), bytes, read);
  samples.resize(std::size_t(read));
  kind.close();
  return samples;
}

// The largest normalised correlation of wav (8-bit at 10000/s) with every
// second sample of preview (20000/s), over shifts of up to 10 ms.
double bestCorrelation(const std::vector<std::uint8_t>& wav,
                       const std::vector<std::int16_t>& preview) {
  double best = -1.0;
  for (int shift = -100; shift <= 100; ++shift) {
    double products = 0.0, wavSquares = 0.0, previewSquares = 0.0;
    for (std::size_t i = 200; i + 200 < wav.size(); ++i) {
      const std::size_t j = 2 * (i + shift);
      if (j >= preview.size()) break;
      const double a = double(wav[i]) - 128.0;
      const double b = preview[j];
      products += a * b;
      wavSquares += a * a;
      previewSquares += b * b;
    }
    if (wavSquares > 0 && previewSquares > 0) {
      best = std::max(best, products / std::sqrt(wavSquares * previewSquares));
    }
  }
  return best;
}

TEST_F(MoviePreviewTest, Mp4HoldsEveryFrameBesideItsPlacedSourceAndTheSoundInStep) {
  convert({.withSound = true});
  const std::string preview = scratch.file("side.mp4");
  const std::string wav = scratch.file("sound.wav");
  const std::string sheet = scratch.file("sheet.png");
  ASSERT_EQ(inspect({"-source=" + clipPath(), "-preview=" + preview, "-wav=" + wav,
                     "-contact=" + sheet}),
            0)
      << out.str() << err.str();
  EXPECT_NE(out.str().find("\rpreview:       11 of 11 frames\n"), std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("preview:       " + preview + ": 1.1"), std::string::npos)
      << out.str();

  const std::optional<MediaFacts> facts = probeMedia(preview);
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->videoCodec, "h264");
  EXPECT_EQ(facts->audioCodec, "aac");
  EXPECT_EQ(facts->videoFrames, kMovieFrames);
  EXPECT_NEAR(facts->seconds, kMovieFrames / kMovieFps, 1.0 / kMovieFps);
  // Twice as wide: source and frame, each enlarged twice.
  EXPECT_EQ(facts->width, 2 * 2 * 160);
  EXPECT_EQ(facts->height, 2 * 160);

  // The contact sheet pairs them too: four cells of source and frame across.
  RgbPicture sheetPicture;
  ASSERT_TRUE(decodePng(bytesOf(sheet), sheetPicture));
  EXPECT_EQ(sheetPicture.width, 4 + 4 * (2 * 160 + 4));

  // The sound decoded from the preview is the sound of the WAV file, which
  // ends with the last frame (8-bit samples at 10000/s).
  const std::vector<std::uint8_t> wavFile = bytesOf(wav);
  ASSERT_EQ(wavFile.size(), 44u + std::size_t(kMovieFrames / kMovieFps * 10000));
  EXPECT_GT(bestCorrelation({wavFile.begin() + 44, wavFile.end()}, soundOf(preview)),
            0.9);

  // The left half of each picture is the source placed as the movie places it.
  SourceComposer composer;
  ASSERT_EQ(composer.open(clipPath(), ShapingSettings{}), "");
  ASSERT_EQ(composer.plannedFps(), kMovieFps);
  VideoStreamSourceQT reader;
  ASSERT_EQ(reader.open(preview.c_str()), 0);
  const std::array<std::uint32_t, 256> palette{};
  const SampleLayout layout = sampleLayoutFor(3, 8, 160, 160, palette);
  std::vector<std::uint8_t> samples;
  for (int k : {0, 5, kMovieFrames - 1}) {
    ASSERT_EQ(composer.composeFrame(k, layout, palette, samples), "");
    const RgbPicture placed = enlarged(composer.placedPicture(layout), 2);
    FrameImage image;
    FrameImage* target = &image;
    // The movie kind shows picture n at n / 60 s: the middle of frame k.
    ASSERT_EQ(reader.readFrame(k * 6 + 3, &target), 0);
    RgbPicture left = placed;
    for (int y = 0; y < left.height; ++y) {
      for (int x = 0; x < left.width; ++x) {
        left.setPixel(
            x, y, target->pixels[std::size_t(left.height - 1 - y) * target->width() + x]);
      }
    }
    EXPECT_GT(*picturePsnr(placed, left), 30.0) << "frame " << k;
  }
  reader.close();
}

TEST_F(MoviePreviewTest, WebmGifSoundOnlyAndRefusedPreviews) {
  convert({.withSound = true});
  ASSERT_EQ(inspect({"-preview=" + scratch.file("p.webm"), "-zoom=1", "-quiet"}), 0)
      << err.str();
  std::optional<MediaFacts> facts = probeMedia(scratch.file("p.webm"));
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->videoCodec + " " + facts->audioCodec, "vp9 opus");
  EXPECT_EQ(facts->videoFrames, kMovieFrames);
  EXPECT_EQ(facts->width, 160);

  // A finished preview replaces an earlier file of its name.
  writeBytes(scratch.file("p.gif"), "an earlier preview");
  ASSERT_EQ(inspect({"-preview=" + scratch.file("p.gif"), "-quiet"}), 0) << err.str();
  facts = probeMedia(scratch.file("p.gif"));
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->videoCodec + "/" + facts->audioCodec, "gif/");
  EXPECT_EQ(facts->videoFrames, kMovieFrames);

  // Unknown extensions and unwritable places: an error, and no file.
  EXPECT_EQ(inspect({"-preview=" + scratch.file("p.avi")}), 1);
  EXPECT_NE(err.str().find(".mp4, .mkv, .webm or .gif"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(scratch.file("p.avi")));
  EXPECT_EQ(inspect({"-preview=" + scratch.file("none/p.mp4")}), 1);
  EXPECT_NE(err.str().find("cannot create"), std::string::npos) << err.str();
  EXPECT_EQ(inspect({"-preview=" + moviePath() + ".mp4", "-source=" + clipPath(),
                     "-preview=" + clipPath()}),
            1);
  EXPECT_NE(err.str().find("the preview would overwrite"), std::string::npos)
      << err.str();

  // A writer stopped half-way leaves nothing behind, and an earlier file of
  // its name as it was.
  const std::set<std::string> before = namesIn(scratch.path());
  writeBytes(scratch.file("half.mp4"), "an earlier preview");
  {
    PreviewWriter writer;
    PreviewShape shape;
    shape.width = 32;
    shape.height = 32;
    ASSERT_EQ(writer.open(scratch.file("half.mp4"), shape), "");
    EXPECT_EQ(namesIn(scratch.path()).size(), before.size() + 2);  // and a temporary file
    EXPECT_NE(writer.writePicture(RgbPicture{}), "");
  }
  EXPECT_EQ(textOf(scratch.file("half.mp4")), "an earlier preview");
  std::filesystem::remove(scratch.file("half.mp4"));
  EXPECT_EQ(namesIn(scratch.path()), before);

  // So does a preview the file size limit stops (the child's status is the
  // inspector's), and one that Ctrl-C ends.
  writeBytes(scratch.file("big.mp4"), "an earlier preview");
  const auto inspectWithinSizeLimit = [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::_Exit(inspect({"-preview=" + scratch.file("big.mp4"), "-quiet"}));
  };
  const auto interruptPreview = [&] {
    PreviewWriter writer;
    if (writer.open(scratch.file("big.mp4"), PreviewShape{32, 32}).empty()) std::raise(SIGINT);
    std::_Exit(0);
  };
  EXPECT_EXIT(inspectWithinSizeLimit(), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(interruptPreview(), ::testing::KilledBySignal(SIGINT), "");
  EXPECT_EQ(textOf(scratch.file("big.mp4")), "an earlier preview");
  std::filesystem::remove(scratch.file("big.mp4"));
  EXPECT_EQ(namesIn(scratch.path()), before);

  // A sound-only database (1.2 s): the sound alone, or the movie's name shown
  // for as long at the header's 10 frames per second.
  convertSoundOnly();
  ASSERT_EQ(inspect({"-preview=" + scratch.file("tone.mkv"), "-wav=" + scratch.file("tone.wav"),
                     "-quiet"}),
            0)
      << err.str();
  facts = probeMedia(scratch.file("tone.mkv"));
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->videoCodec + "/" + facts->audioCodec, "/opus");
  EXPECT_NEAR(facts->seconds, 1.2, 0.05);
  EXPECT_EQ(bytesOf(scratch.file("tone.wav")).size(), 44u + 12000u);
  ASSERT_EQ(inspect({"-preview=" + scratch.file("tone.gif"), "-quiet"}), 0) << err.str();
  facts = probeMedia(scratch.file("tone.gif"));
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->videoCodec + "/" + facts->audioCodec, "gif/");
  EXPECT_EQ(facts->videoFrames, 12);
}

}  // namespace
}  // namespace vantrel::inspect
