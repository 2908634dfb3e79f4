#include "codec/FrameDecoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "codec/CodecTestData.h"
#include "codec/FrameCodec.h"
#include "codec/GuardedBuffer.h"

namespace vantrel {
namespace {

using testing::GuardedBuffer;

class FrameDecoderTest : public ::testing::Test {
 protected:
  FrameDecoderTest() : out(FrameCodec::kRecordBufferSize) {}

  // Encoder settings of one round trip.
  struct Run {
    int width = 160;
    int height = 160;
    bool fast = false;
    int target = 1600;
    int minSize = 800;
    int maxSize = 3000;
    bool pad = false;
    int keyInterval = 0;
    int frames = 8;
  };

  // Encodes frames 0 .. run.frames - 1 from makeFrame with the codec, the
  // reconstruction buffers and the frame in guarded memory (guard at the
  // given end), decodes every record with a fresh FrameDecoder and checks that
  // the decoder's picture is the encoder's reconstruction. Returns the lengths.
  std::vector<int> roundTrip(
      const Run& run, const std::array<std::uint32_t, 256>& palette,
      const std::function<std::vector<std::uint8_t>(int)>& makeFrame,
      GuardedBuffer::Guard guard) {
    const std::size_t size = static_cast<std::size_t>(run.width) * run.height;
    FrameCodec codec;
    codec.initFrameCodec(palette.data(), true, run.width, run.height, 16);
    EXPECT_TRUE(codec.ready());
    GuardedBuffer recon0(size, guard);
    GuardedBuffer recon1(size, guard);
    GuardedBuffer frame(size, guard);
    std::uint8_t* recon[2] = {recon0.get(), recon1.get()};
    FrameDecoder decoder(run.width, run.height);
    std::vector<int> lengths;
    for (int i = 0; i < run.frames; ++i) {
      const std::vector<std::uint8_t> picture = makeFrame(i);
      std::copy(picture.begin(), picture.end(), frame.get());
      double quality = -1;
      const int length = codec.compressFrame(
          out.data(), frame.get(), recon[i % 2], i == 0 ? nullptr : recon[(i - 1) % 2],
          run.fast, run.minSize, run.maxSize, run.target, quality, run.pad, i,
          run.keyInterval);
      if (i == 0) std::copy(recon[0], recon[0] + size, recon[1]);
      lengths.push_back(length);
      EXPECT_GT(length, 0);
      EXPECT_LE(length, FrameCodec::kRecordBufferSize);
      EXPECT_GE(quality, 0.0);
      EXPECT_LE(quality, 1.0);
      if (run.pad) {
        EXPECT_EQ(length % 2, 0) << i;
      }
      // An exactly sized copy, so that reads past the record are caught.
      const std::vector<std::uint8_t> record(out.begin(), out.begin() + length);
      EXPECT_EQ(decoder.decodeNextFrame(record.data(), record.size()), DecodeStatus::Ok)
          << "frame " << i;
      EXPECT_TRUE(std::equal(recon[i % 2], recon[i % 2] + size, decoder.picture()))
          << "frame " << i;
    }
    return lengths;
  }

  std::vector<std::uint8_t> out;
};

TEST_F(FrameDecoderTest, MovingClipRoundTripsWithAndWithoutFastMode) {
  for (bool fast : {false, true}) {
    Run run;
    run.fast = fast;
    run.frames = 10;
    roundTrip(
        run, testing::cubePalette(),
        [](int t) { return testing::movingFrame(160, 160, t); },
        GuardedBuffer::Guard::End);
  }
}

TEST_F(FrameDecoderTest, PeriodicKeyFramesAndPaddingRoundTrip) {
  Run run;
  run.width = 320;
  run.height = 240;
  run.keyInterval = 3;
  run.pad = true;
  run.frames = 7;
  roundTrip(
      run, testing::cubePalette(),
      [](int t) { return testing::movingFrame(320, 240, t); },
      GuardedBuffer::Guard::Start);
}

TEST_F(FrameDecoderTest, TallFramesNeverReadOutsideTheReference) {
  // Content moving up and down makes the bottom blocks look for sources below
  // the picture; the guard pages stop the test if a copy reads past the end.
  for (auto guard : {GuardedBuffer::Guard::End, GuardedBuffer::Guard::Start}) {
    for (int direction : {-1, 1}) {
      Run run;
      run.width = 216;
      run.height = 384;
      run.frames = 5;
      run.maxSize = 0;  // refine as far as the budget allows: every search runs
      run.target = 20000;
      roundTrip(
          run, testing::cubePalette(),
          [direction](int t) {
            return testing::texturedFrame(216, 384, t, direction * t);
          },
          guard);
    }
  }
}

TEST_F(FrameDecoderTest, TruecolorFramesTallerThanWideRoundTrip) {
  for (auto guard : {GuardedBuffer::Guard::End, GuardedBuffer::Guard::Start}) {
    Run run;
    run.width = 160;
    run.height = 240;
    run.frames = 6;
    run.target = 4000;
    run.maxSize = 6000;
    roundTrip(
        run, testing::truecolorTable(),
        [](int t) { return testing::truecolorFrame(160, 160, t); }, guard);
  }
}

TEST_F(FrameDecoderTest, KeyFrameBringsPaletteAndFillsBothPictures) {
  const auto palette = testing::cubePalette();
  FrameCodec codec;
  codec.initFrameCodec(palette.data(), true, 160, 16, 16);
  const auto frame = testing::noiseFrame(160, 16, 4);
  std::vector<std::uint8_t> recon(frame.size());
  double quality = 0;
  const int length = codec.compressFrame(out.data(), frame.data(), recon.data(), nullptr,
                                         false, 800, 3000, 1600, quality, false, 0, 0);
  FrameDecoder decoder(160, 16);
  EXPECT_FALSE(decoder.paletteReceived());
  ASSERT_EQ(decoder.decodeNextFrame(out.data(), length), DecodeStatus::Ok);
  EXPECT_TRUE(decoder.paletteReceived());
  EXPECT_TRUE(decoder.lastFrameHadPalette());
  EXPECT_EQ(decoder.lastFrameKind(), 1);
  for (int i = 1; i < 255; ++i) EXPECT_EQ(decoder.palette()[i], palette[i]) << i;
  EXPECT_EQ(decoder.palette()[0], 0xFFFFFFu);
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), decoder.picture()));
  // The next frame keeps every block: it shows the key frame again, which
  // only works when the key frame was copied into both pictures.
  const std::vector<std::uint8_t> keep = {
      0x00, 0x02, 0x01, 0x00,              // kind 2, 1 unit, no padding
      0,    0,    0,    0,    0, 0, 0, 0,  // reserved
      0,    0,    0,    0,    0, 0, 0, 0,  // short colours
      0x00, 0x00, 0x00, 0x18,              // codes at 24
      243,  36,   244,                     // 40 blocks keep
  };
  ASSERT_EQ(decoder.decodeNextFrame(keep.data(), keep.size()), DecodeStatus::Ok);
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), decoder.picture()));
  EXPECT_EQ(decoder.framesDecoded(), 2);
}

TEST_F(FrameDecoderTest, DamagedKeyFrameHeadersAreRejected) {
  const auto palette = testing::cubePalette();
  FrameCodec codec;
  codec.initFrameCodec(palette.data(), true, 160, 16, 16);
  const auto frame = testing::noiseFrame(160, 16, 4);
  std::vector<std::uint8_t> recon(frame.size());
  double quality = 0;
  const int length = codec.compressFrame(out.data(), frame.data(), recon.data(), nullptr,
                                         false, 800, 3000, 1600, quality, false, 0, 0);
  const std::vector<std::uint8_t> good(out.begin(), out.begin() + length);
  std::vector<std::uint8_t> target(frame.size());
  std::vector<std::uint8_t> reference(frame.size());
  FrameDecoder decoder(160, 16);
  auto decode = [&](const std::vector<std::uint8_t>& bytes) {
    return decoder.decodeFrame(bytes.data(), bytes.size(), target.data(),
                               reference.data());
  };
  ASSERT_EQ(decode(good), DecodeStatus::Ok);

  auto changed = [&](std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> bytes = good;
    bytes[at] = value;
    return bytes;
  };
  EXPECT_EQ(decode(changed(1, 3)), DecodeStatus::UnknownFrameKind);
  EXPECT_EQ(decode(changed(2, 99)), DecodeStatus::BadHeader);   // length units
  EXPECT_EQ(decode(changed(7, 253)), DecodeStatus::BadHeader);  // entry count
  EXPECT_EQ(decode(changed(15, 17)), DecodeStatus::BadHeader);  // pixel offset
  EXPECT_EQ(decode(changed(11, 0)),
            DecodeStatus::BadHeader);  // palette offset 0, pixels at 778
  std::vector<std::uint8_t> longer = good;
  longer.push_back(0);
  longer[2] = static_cast<std::uint8_t>((longer.size() + 255) / 256);
  EXPECT_EQ(decode(longer), DecodeStatus::TrailingBytes);  // a pad without the flag
  longer[3] = 1;
  EXPECT_EQ(decode(longer), DecodeStatus::TrailingBytes);  // the record was already even
  for (std::size_t cut : {0u, 3u, 15u, 777u, static_cast<unsigned>(good.size() - 1)}) {
    std::vector<std::uint8_t> bytes(good.begin(), good.begin() + cut);
    if (bytes.size() > 2) bytes[2] = static_cast<std::uint8_t>((cut + 255) / 256);
    EXPECT_EQ(decode(bytes), DecodeStatus::Truncated) << cut;
  }
}

TEST_F(FrameDecoderTest, DamagedDifferenceRecordsAreRejected) {
  FrameDecoder decoder(16, 8);
  std::vector<std::uint8_t> target(128, 1);
  std::vector<std::uint8_t> reference(128, 2);
  auto decode = [&](const std::vector<std::uint8_t>& bytes) {
    return decoder.decodeFrame(bytes.data(), bytes.size(), target.data(),
                               reference.data());
  };
  const std::vector<std::uint8_t> good = {
      0x00, 0x02, 0x01, 0x01,              // kind 2, 1 unit, padding flag
      0,    0,    0,    0,    0, 0, 0, 0,  // reserved
      0,    0,    0,    0,    0, 0, 0, 0,  // short colours
      0x00, 0x00, 0x00, 0x18,              // codes at 24
      254,  9,                             // block 0: fill 9
      112,                                 // block 1: copy at (0, 0)
      0,                                   // padding to an even 28 bytes
  };
  ASSERT_EQ(decode(good), DecodeStatus::Ok);
  EXPECT_EQ(target[0], 9);
  EXPECT_EQ(target[8], 2);

  std::vector<std::uint8_t> offset = good;
  offset[23] = 0x19;
  EXPECT_EQ(decode(offset), DecodeStatus::BadHeader);
  std::vector<std::uint8_t> badPad = good;
  badPad[27] = 5;
  EXPECT_EQ(decode(badPad), DecodeStatus::TrailingBytes);
  std::vector<std::uint8_t> outside = good;
  outside[26] = 127;  // block 1: copy at (0, 1), one row past the end
  EXPECT_EQ(decode(outside), DecodeStatus::CopyOutsidePicture);
  std::vector<std::uint8_t> shortOne(good.begin(), good.begin() + 20);
  shortOne[2] = 1;
  EXPECT_EQ(decode(shortOne), DecodeStatus::Truncated);
}

TEST_F(FrameDecoderTest, UnsupportedFrameSizeRejectsEveryRecord) {
  FrameDecoder decoder(100, 100);
  const std::vector<std::uint8_t> bytes(64, 0);
  EXPECT_EQ(decoder.decodeNextFrame(bytes.data(), bytes.size()),
            DecodeStatus::BadFrameSize);
}

}  // namespace
}  // namespace vantrel
