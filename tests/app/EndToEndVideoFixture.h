#pragma once

// The fixture of the whole-conversion video tests: a clip written by the test
// is converted through the program entry with the real source kinds and the
// console engine, and the movie database on disk is read back and decoded
// with the player's decoder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "EndToEndHarness.h"
#include "support/EncodedClipWriter.h"

namespace vantrel::test {

// What a movie's file must show.
struct ExpectedMovie {
  int width = 160;
  int height = 160;
  int colorDepth = 25;
  bool grayscale = false;
  double fps = 15.0;
  int frameCount = 0;
  int keyInterval = 0;
};

inline int storedHeightOf(const ExpectedMovie& movie) {
  return movie.colorDepth >= 24 ? movie.height + movie.height / 2 : movie.height;
}

inline int colourModeOf(const ExpectedMovie& movie) {
  if (movie.grayscale && movie.colorDepth < 24) return 1;
  if (movie.colorDepth <= 12) return 0;
  return movie.colorDepth < 24 ? 3 : (movie.colorDepth == 24 ? 4 : 5);
}

inline int roundToInt(double value) { return static_cast<int>(value + 0.5); }

// Length of a key frame record of a movie (no padding is asked for).
inline std::size_t keyFrameLength(const ExpectedMovie& movie, bool withPalette) {
  const std::size_t header = withPalette ? 778 : 16;
  const std::size_t rows = storedHeightOf(movie);
  if (movie.width == 160) return header + 160 * rows;
  return header + std::size_t(movie.width / 2) * (rows / 2);
}

class EndToEndVideoTest : public ::testing::Test {
 protected:
  // Writes an MJPEG clip in an AVI file (the AVI kind reads it).
  std::string writeClip(const std::string& name, int frames, int fpsNum = 15,
                        const std::string& container = "avi",
                        ClipVideo video = ClipVideo::Mjpeg) {
    EncodedClip shape;
    shape.container = container;
    shape.video = video;
    shape.width = 64;
    shape.height = 48;
    shape.frames = frames;
    shape.fpsNum = fpsNum;
    shape.keyFrameInterval = 4;
    const std::string path = harness.file(name);
    const std::string failure = writeEncodedClip(path, shape);
    EXPECT_EQ(failure, "");
    return path;
  }

  int convert(const std::string& clip, const std::vector<std::string>& extra) {
    return harness.run(movieArguments(clip, harness.file("movie.pdb"), extra));
  }

  // The database, its header record and every frame record against the movie
  // expected, and every decoded frame against the encoder's own picture of it.
  void checkMovie(const ExpectedMovie& movie) {
    ASSERT_TRUE(harness.databaseLoaded()) << harness.output() << harness.errors();
    const DatabaseReader& file = harness.database();
    const int frames = movie.frameCount;
    EXPECT_EQ(file.name, "movie");
    EXPECT_TRUE(file.nameTerminated);
    EXPECT_EQ(fourCCText(file.type), "Mvie");
    EXPECT_EQ(fourCCText(file.creator), "VnTr");
    EXPECT_EQ(file.modificationNumber, 1u);
    EXPECT_EQ(file.creationDate, file.modificationDate);
    ASSERT_EQ(file.recordCount, 1 + frames);
    EXPECT_TRUE(file.structureProblems().empty());
    EXPECT_EQ(file.recordOffset(0), file.listEnd());

    MovieHeaderView header;
    ASSERT_TRUE(file.movieHeader(header));
    EXPECT_EQ(header.version, 0);
    EXPECT_EQ(header.headerSize, 44);
    EXPECT_EQ(header.frameWidth, movie.width);
    EXPECT_EQ(header.storedHeight, storedHeightOf(movie));
    EXPECT_EQ(header.bitsPerPixel, movie.colorDepth < 24 ? 8 : 16);
    EXPECT_EQ(header.audioFormat, 0);
    EXPECT_EQ(header.colourMode, colourModeOf(movie));
    EXPECT_EQ(header.framePeriodMs, roundToInt(1000.0 / movie.fps));
    EXPECT_EQ(header.framesPerSecond, roundToInt(movie.fps));
    EXPECT_EQ(header.keyInterval, movie.keyInterval);
    EXPECT_EQ(header.flags, 4);  // no loop, no sound, no hold
    EXPECT_EQ(header.titleOffset, 44u);
    EXPECT_EQ(header.authorOffset, 45u);
    EXPECT_EQ(header.thirdTextOffset, 46u);
    EXPECT_EQ(header.textEnd, 47u);
    EXPECT_EQ(header.frameCount, frames);
    EXPECT_EQ(header.firstAudioRecord, 0);
    EXPECT_EQ(header.finePeriod, std::uint32_t(roundToInt(655360000.0 / movie.fps)));
    EXPECT_EQ(file.record(0).size(), 47u);

    const std::vector<EncodedFrame>& encoded = harness.encodedFrames();
    const std::vector<DecodedFrame> decoded = harness.decodeMovie();
    ASSERT_EQ(encoded.size(), std::size_t(frames));
    ASSERT_EQ(decoded.size(), std::size_t(frames));
    for (int i = 0; i < frames; ++i) {
      SCOPED_TRACE("frame " + std::to_string(i));
      const DecodedFrame& frame = decoded[std::size_t(i)];
      ASSERT_EQ(frame.status, DecodeStatus::Ok) << decodeStatusText(frame.status);
      const bool key = i == 0 || (movie.keyInterval > 0 && i % movie.keyInterval == 0);
      EXPECT_EQ(frame.kind, key ? 1 : 2);
      EXPECT_EQ(frame.hadPalette, i == 0);
      if (key) {
        EXPECT_EQ(frame.length, keyFrameLength(movie, i == 0));
      }
      const std::span<const std::uint8_t> record = harness.database().record(i + 1);
      // Byte 2: the record length in 256-byte units.
      EXPECT_EQ(record[2], (frame.length + 255) / 256 & 0xFF);
      // What the player shows is what the encoder kept as its reference.
      EXPECT_TRUE(frame.picture == encoded[std::size_t(i)].recon);
      // A 160-column key frame carries every sample as it is.
      if (key && movie.width == 160) {
        EXPECT_TRUE(frame.picture == encoded[std::size_t(i)].handheld);
      }
    }
    // The engine's two reference pictures after the last frame: the last frame
    // and the one before it.
    const std::size_t samples = std::size_t(movie.width) * storedHeightOf(movie);
    const std::vector<std::uint8_t>* reference = harness.engine().reconFrames;
    const auto& last = decoded.back().picture;
    EXPECT_TRUE(std::equal(last.begin(), last.end(),
                           reference[std::size_t(frames - 1) % 2].begin()));
    if (frames >= 2 && decoded.back().kind == 2) {
      const auto& previous = decoded[std::size_t(frames - 2)].picture;
      EXPECT_TRUE(std::equal(previous.begin(), previous.begin() + long(samples),
                             reference[std::size_t(frames) % 2].begin()));
    }
  }

  EndToEndHarness harness;
};

}  // namespace vantrel::test
