#include "audio/SampleConverter.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "audio/G711Expansion.h"

namespace vantrel {
namespace {

class SampleConverterTest : public ::testing::Test {
 protected:
  static AudioStreamInfo format(int bits, int channels, int blockAlign, std::uint16_t tag = 1) {
    AudioStreamInfo info;
    info.bitsPerSample = bits;
    info.channels = channels;
    info.blockAlign = blockAlign;
    info.formatTag = tag;
    info.samplesPerSecond = 8000;
    return info;
  }

  static std::vector<float> convert(const AudioStreamInfo& info,
                                    const std::vector<std::uint8_t>& raw, int frames) {
    const auto converter = SampleConverter::forStream(info);
    EXPECT_TRUE(converter.has_value());
    std::vector<float> out(frames, 99.0f);
    if (converter) converter->convert(raw.data(), frames, out.data());
    return out;
  }
};

TEST_F(SampleConverterTest, SixteenBitMonoScalesByTwoToTheMinusFifteen) {
  const std::vector<std::uint8_t> raw = {
      0x00, 0xC0,  // -16384
      0xFF, 0x7F,  // 32767
      0x00, 0x80,  // -32768
  };
  const auto out = convert(format(16, 1, 2), raw, 3);
  EXPECT_EQ(out[0], -0.5f);
  EXPECT_EQ(out[1], 32767.0f / 32768.0f);
  EXPECT_EQ(out[2], -1.0f);
}

TEST_F(SampleConverterTest, SixteenBitStereoMixesTheFirstTwoChannels) {
  const std::vector<std::uint8_t> raw = {
      0x00, 0x40,  // left 16384
      0x00, 0xE0,  // right -8192
      0xFF, 0x7F,  // third channel, not read
      0xFF, 0x7F,  // fourth channel, not read
  };
  const auto out = convert(format(16, 4, 8), raw, 1);
  EXPECT_EQ(out[0], 8192.0f / 65536.0f);
}

TEST_F(SampleConverterTest, SixteenBitFramesStepByBlockAlignRoundedDownToEven) {
  const auto converter = SampleConverter::forStream(format(16, 1, 5));
  ASSERT_TRUE(converter.has_value());
  EXPECT_EQ(converter->frameStride(), 4);
  const std::vector<std::uint8_t> raw = {0x00, 0x40, 0x11, 0x22, 0x00, 0xC0, 0x33, 0x44};
  std::vector<float> out(2);
  converter->convert(raw.data(), 2, out.data());
  EXPECT_EQ(out[0], 0.5f);
  EXPECT_EQ(out[1], -0.5f);
}

TEST_F(SampleConverterTest, EightBitMonoIsUnsignedAroundOneHundredTwentyEight) {
  const auto out = convert(format(8, 1, 1), {0, 128, 255, 192}, 4);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 0.0f);
  EXPECT_EQ(out[2], 127.0f / 128.0f);
  EXPECT_EQ(out[3], 0.5f);
}

TEST_F(SampleConverterTest, EightBitStereoMixesBothBytes) {
  const auto out = convert(format(8, 2, 2), {0, 0, 255, 129, 128, 128}, 3);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 0.5f);
  EXPECT_EQ(out[2], 0.0f);
}

TEST_F(SampleConverterTest, G711ScalesLikeSixteenBitPcm) {
  // An expanded sample v gives v x 2^-15 mono, (left + right) x 2^-16 stereo:
  // the same values 16-bit PCM of that sound gives.
  const auto alaw = convert(format(8, 1, 1, 6), {0xAA, 0x55}, 2);
  EXPECT_EQ(alaw[0], 32256.0f / 32768.0f);
  EXPECT_EQ(alaw[1], -8.0f / 32768.0f);
  const auto mulaw = convert(format(8, 1, 1, 7), {0x80, 0xFF}, 2);
  EXPECT_EQ(mulaw[0], 32124.0f / 32768.0f);
  EXPECT_EQ(mulaw[1], 0.0f);
  const auto pcm = convert(format(16, 1, 2, 1), {0x00, 0x7E}, 1);  // 32256
  EXPECT_EQ(pcm[0], alaw[0]);
  // Equal channels give the same value as the mono stream would.
  const auto alawStereo = convert(format(8, 2, 2, 6), {0xAA, 0xAA, 0xAA, 0x2A}, 2);
  EXPECT_EQ(alawStereo[0], 32256.0f / 32768.0f);
  EXPECT_EQ(alawStereo[1], 0.0f);
  const auto mulawStereo = convert(format(8, 2, 2, 7), {0x00, 0x00, 0x80, 0xFE}, 2);
  EXPECT_EQ(mulawStereo[0], -32124.0f / 32768.0f);
  EXPECT_EQ(mulawStereo[1], (32124.0f + 8.0f) / 65536.0f);
}

TEST_F(SampleConverterTest, TheFormatTagMattersOnlyForEightBitInput) {
  const auto converter = SampleConverter::forStream(format(16, 1, 2, 6));
  ASSERT_TRUE(converter.has_value());
  EXPECT_EQ(converter->layout(), SampleConverter::Layout::Pcm16Mono);
  EXPECT_EQ(SampleConverter::forStream(format(8, 1, 1, 3))->layout(),
            SampleConverter::Layout::Pcm8Mono);
  EXPECT_EQ(SampleConverter::forStream(format(8, 2, 2, 7))->layout(),
            SampleConverter::Layout::MuLawStereo);
}

TEST_F(SampleConverterTest, FormatsThatWouldReadPastAFrameAreRefused) {
  EXPECT_FALSE(SampleConverter::forStream(format(16, 0, 2)).has_value());  // no channels
  EXPECT_FALSE(SampleConverter::forStream(format(16, 2, 2)).has_value());  // stereo in 2 bytes
  EXPECT_FALSE(SampleConverter::forStream(format(16, 1, 1)).has_value());
  EXPECT_FALSE(SampleConverter::forStream(format(8, 2, 1)).has_value());
  EXPECT_FALSE(SampleConverter::forStream(format(8, 1, 0)).has_value());
}

}  // namespace
}  // namespace vantrel
