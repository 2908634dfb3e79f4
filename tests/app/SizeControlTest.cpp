// The frame size control seen from outside: a whole conversion of a clip
// with steady, detailed motion, its frame records measured against the target
// frame size, and the encode replayed frame by frame through the difference
// frame encoder to see the budget each frame was given.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "EndToEndHarness.h"
#include "codec/CodecPalette.h"
#include "codec/DifferenceFrameEncoder.h"
#include "codec/DisplacementTable.h"
#include "codec/FrameCodec.h"
#include "codec/KeyFrameEncoder.h"
#include "engine/RateControl.h"
#include "support/EncodedClipWriter.h"

namespace vantrel::test {
namespace {

// 160 x 160 in the enhanced 8-bit mode with the default frame size, 1600: a
// minimum of 800 and a maximum of 3200 bytes.
constexpr int kWidth = 160;
constexpr int kStoredHeight = 160;
constexpr int kTarget = 1600;
constexpr int kMinimum = 800;
constexpr int kMaximum = 3200;

class SizeControlTest : public ::testing::Test {
 protected:
  // A square clip of the texture pattern at 15 fps (no letterbox bars).
  std::string writeTextureClip(int frames) {
    EncodedClip shape;
    shape.pattern = ClipPattern::MovingTexture;
    shape.width = 160;
    shape.height = 160;
    shape.frames = frames;
    shape.fpsNum = 15;
    shape.keyFrameInterval = 15;
    const std::string path = harness.file("texture.avi");
    EXPECT_EQ(writeEncodedClip(path, shape), "");
    return path;
  }

  EndToEndHarness harness;
};

// What replaying an encode found.
struct Replay {
  std::vector<int> budgets;  // per frame; 0 for the key frame
  int mismatches = 0;        // records that came out different from the file
};

// Encodes the handheld frames again exactly as the driver did (the same
// palette, the rate control's target sizes, the same reference pictures) and
// records each difference frame's budget.
Replay replayEncode(const std::uint32_t* palette, const std::vector<EncodedFrame>& frames,
                    const DatabaseReader& file) {
  CodecPalette colours;
  colours.build(palette, true);
  DisplacementTable displacements;
  displacements.build(kWidth);
  DifferenceFrameEncoder differences(colours, displacements, kWidth, kStoredHeight);
  RateControl rate(kTarget);
  std::vector<std::uint8_t> recon[2] = {
      std::vector<std::uint8_t>(std::size_t(kWidth) * kStoredHeight),
      std::vector<std::uint8_t>(std::size_t(kWidth) * kStoredHeight)};
  std::vector<std::uint8_t> out(FrameCodec::kRecordBufferSize);
  Replay replay;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const int index = static_cast<int>(i);
    const int targetSize = rate.nextTargetSize(kMaximum);
    int length = 0;
    if (i == 0) {
      length = KeyFrameEncoder(colours).encode(out.data(), frames[0].handheld.data(),
                                               recon[0].data(), kWidth, kStoredHeight,
                                               true, false);
      recon[1] = recon[0];
      replay.budgets.push_back(0);
    } else {
      length = differences
                   .encode(out.data(), frames[i].handheld.data(), recon[i % 2].data(),
                           recon[(i + 1) % 2].data(), false, kMinimum, kMaximum,
                           targetSize, false, index)
                   .length;
      replay.budgets.push_back(differences.lastBudget());
    }
    rate.frameWritten(index, length);
    const std::span<const std::uint8_t> record = file.record(index + 1);
    if (!std::equal(record.begin(), record.end(), out.begin(), out.begin() + length) ||
        record.size() != std::size_t(length)) {
      ++replay.mismatches;
    }
  }
  return replay;
}

TEST_F(SizeControlTest, TwentySecondsOfDetailedMotionAverageTheTargetFrameSize) {
  // 301 source frames at 15 fps: a movie of 300 frames, 20 seconds.
  const std::string clip = writeTextureClip(301);
  ASSERT_EQ(
      harness.run(movieArguments(clip, harness.file("movie.pdb"), {"-colordepth=16"})),
      kExitSuccess)
      << harness.errors();
  ASSERT_TRUE(harness.databaseLoaded());
  const DatabaseReader& file = harness.database();
  ASSERT_EQ(file.recordCount, 301);

  // Frame 0, the key frame with the palette, stays outside the rate control.
  double total = 0.0;
  std::size_t largest = 0;
  for (int i = 1; i < 300; ++i) {
    const std::size_t bytes = file.record(i + 1).size();
    total += double(bytes);
    largest = std::max(largest, bytes);
  }
  const double mean = total / 299.0;
  EXPECT_GE(mean, kTarget * 0.9);
  EXPECT_LE(mean, kTarget * 1.1);
  // A frame may pass its budget by the last refinement step only.
  EXPECT_LE(largest, std::size_t(kMaximum) + 16);

  EXPECT_EQ(harness.framesUnlikeTheEncoder(), 0);
  const std::vector<EncodedFrame>& frames = harness.encodedFrames();
  ASSERT_EQ(frames.size(), 300u);
  const Replay replay = replayEncode(harness.engine().palette, frames, file);
  EXPECT_EQ(replay.mismatches, 0);
  const int largestBudget =
      *std::max_element(replay.budgets.begin(), replay.budgets.end());

  EXPECT_LE(largestBudget, kMaximum);
  // Every frame after the first four is held between the minimum and maximum.
  for (int i = 4; i < 300; ++i) {
    EXPECT_GE(replay.budgets[std::size_t(i)], kMinimum) << "frame " << i;
  }
}

TEST_F(SizeControlTest, FrameSizeZeroRefinesFromTheFifthFrameUntilNothingIsLeft) {
  const std::string clip = writeTextureClip(9);
  ASSERT_EQ(harness.run(movieArguments(clip, harness.file("movie.pdb"),
                                       {"-colordepth=16", "-framesize=0"})),
            kExitSuccess);
  const std::vector<DecodedFrame> decoded = harness.decodeMovie();
  const std::vector<EncodedFrame>& encoded = harness.encodedFrames();
  ASSERT_EQ(decoded.size(), 8u);
  ASSERT_EQ(encoded.size(), 8u);
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    ASSERT_EQ(decoded[i].status, DecodeStatus::Ok);
    EXPECT_TRUE(decoded[i].picture == encoded[i].recon);
    // Frames 1 to 3 get their target, 0 bytes: no refinement, so the moving
    // texture is not reproduced. From frame 4 on the budget is unlimited and
    // every block is refined until it is exact.
    const bool exact = i == 0 || i >= 4;
    EXPECT_EQ(decoded[i].picture == encoded[i].handheld, exact);
    EXPECT_LE(decoded[i].length, std::size_t(FrameCodec::kRecordBufferSize));
  }
}

}  // namespace
}  // namespace vantrel::test
