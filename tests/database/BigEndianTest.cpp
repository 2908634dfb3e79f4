#include "database/BigEndian.h"

#include <cstring>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(BigEndianTest, PutsMostSignificantByteFirst) {
  std::uint8_t bytes[4] = {};
  putBigEndian32(bytes, 0x12345678u);
  EXPECT_EQ(bytes[0], 0x12);
  EXPECT_EQ(bytes[1], 0x34);
  EXPECT_EQ(bytes[2], 0x56);
  EXPECT_EQ(bytes[3], 0x78);
  putBigEndian16(bytes, 0xABCD);
  EXPECT_EQ(bytes[0], 0xAB);
  EXPECT_EQ(bytes[1], 0xCD);
}

TEST(BigEndianTest, SignedSixteenBitKeepsTwosComplementBits) {
  std::uint8_t bytes[2] = {};
  putBigEndian16Signed(bytes, -2);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);
  EXPECT_EQ(getBigEndian16Signed(bytes), -2);
}

TEST(BigEndianTest, ReadsBackWhatItWrote) {
  std::uint8_t bytes[4] = {};
  putBigEndian32(bytes, 0xDEADBEEFu);
  EXPECT_EQ(getBigEndian32(bytes), 0xDEADBEEFu);
  putBigEndian16(bytes, 0x8001);
  EXPECT_EQ(getBigEndian16(bytes), 0x8001);
}

TEST(BigEndianTest, ConvertedValueHoldsBigEndianBytesInMemory) {
  const std::uint32_t value = toBigEndian32(0x01020304u);
  std::uint8_t bytes[4];
  std::memcpy(bytes, &value, 4);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[3], 4);
  const std::uint16_t half = toBigEndian16(0x0102);
  std::memcpy(bytes, &half, 2);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 2);
  const std::int16_t negative = toBigEndian16Signed(-256);  // 0xFF00
  std::memcpy(bytes, &negative, 2);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0x00);
}

}  // namespace
}  // namespace vantrel
