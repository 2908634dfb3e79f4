#include "database/DatabaseWriter.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "database/BigEndian.h"
#include "database/DatabaseReader.h"
#include "database/HandheldName.h"
#include "support/FailingFile.h"

namespace vantrel {
namespace {

class DatabaseWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file = std::tmpfile();
    ASSERT_NE(file, nullptr);
  }
  void TearDown() override {
    if (file != nullptr) std::fclose(file);
  }
  std::vector<std::uint8_t> fileBytes() {
    std::fflush(file);
    std::rewind(file);
    std::vector<std::uint8_t> bytes;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) bytes.push_back(std::uint8_t(c));
    return bytes;
  }
  std::FILE* file = nullptr;
};

TEST_F(DatabaseWriterTest, HeaderHoldsEveryFieldInItsPlace) {
  const auto header = buildDatabaseHeader("Movie", kTypeMovie, 3, 0xC0FFEE01u);
  const std::vector<std::uint8_t> expected = {
      'M', 'o', 'v', 'i', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // name, zero filled
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,            // name bytes 16..31
      0x00, 0x00,                                                // attributes
      0x00, 0x00,                                                // version
      0xC0, 0xFF, 0xEE, 0x01,                                    // creation date
      0xC0, 0xFF, 0xEE, 0x01,                                    // modification date
      0xC0, 0xFF, 0xEE, 0x01,                                    // last backup date
      0x00, 0x00, 0x00, 0x01,                                    // modification number 1
      0x00, 0x00, 0x00, 0x00,                                    // application info offset
      0x00, 0x00, 0x00, 0x00,                                    // sort info offset
      'M', 'v', 'i', 'e',                                        // type
      'V', 'n', 'T', 'r',                                        // creator
      0x00, 0x00, 0x00, 0x00,                                    // unique id seed
      0x00, 0x00, 0x00, 0x00,                                    // next record list id
      0x00, 0x03,                                                // number of records
  };
  EXPECT_EQ(std::vector<std::uint8_t>(header.begin(), header.end()), expected);
}

TEST_F(DatabaseWriterTest, FortyCharacterNameKeepsThirtyOneAndAZeroByte) {
  const std::string name(40, 'x');
  const auto header = buildDatabaseHeader(name.c_str(), kTypeMovie, 1, 0);
  for (int i = 0; i < 31; ++i) EXPECT_EQ(header[i], 'x') << i;
  EXPECT_EQ(header[31], 0);
  EXPECT_EQ(header[32], 0);  // attributes follow untouched
}

TEST_F(DatabaseWriterTest,
       Utf8NameIsStoredInTheHandheldsCharacterSetCutBetweenCharacters) {
  // é and € exist in the handheld's set (0xE9, 0x80); ł and an emoji do not;
  // a lone Latin-1 byte is taken as it is; a control character is not shown.
  const std::string name = "Caf\xC3\xA9 \xE2\x82\xAC \xC5\x82 \xF0\x9F\x8E\xAC \xE9\x01";
  EXPECT_EQ(handheldNameBytes(name), "Caf\xE9 \x80 _ _ \xE9_");
  EXPECT_EQ(handheldNameText(handheldNameBytes(name)),
            "Caf\xC3\xA9 \xE2\x82\xAC _ _ \xC3\xA9_");
  // 40 two-byte characters: 31 characters are kept, not 15 and a half.
  std::string umlauts;
  for (int i = 0; i < 40; ++i) umlauts += "\xC3\xBC";
  const auto header = buildDatabaseHeader(umlauts.c_str(), kTypeMovie, 1, 0);
  for (int i = 0; i < 31; ++i) EXPECT_EQ(header[i], 0xFC) << i;
  EXPECT_EQ(header[31], 0);
  EXPECT_EQ(handheldNameText(handheldNameBytes(umlauts)), umlauts.substr(0, 62));
}

TEST_F(DatabaseWriterTest, DatesAreHostTimePlusTheHandheldEpochOffset) {
  const std::uint32_t before = static_cast<std::uint32_t>(std::time(nullptr)) + 2082844800u;
  const std::uint32_t now = palmTimeNow();
  const std::uint32_t after = static_cast<std::uint32_t>(std::time(nullptr)) + 2082844800u;
  EXPECT_GE(now, before);
  EXPECT_LE(now, after);
}

TEST_F(DatabaseWriterTest, ZeroListIsRewrittenBigEndianAtItsPosition) {
  DatabaseWriter writer(file);
  ASSERT_TRUE(writer.writeHeader("Name", kTypeSound, 2, 7));
  ASSERT_TRUE(writer.writeZeroRecordList(2));
  EXPECT_EQ(writer.listPosition(), 78);
  const std::int64_t record0 = writer.position();
  EXPECT_EQ(record0, 94);
  ASSERT_TRUE(writer.writeMovieHeaderRecord(
      movieHeaderForSoundOnly(false, false, false, false, true, 5, "", "")));
  const std::int64_t record1 = writer.position();
  const std::uint8_t audio[3] = {128, 128, 128};
  ASSERT_TRUE(writer.writeBytes(audio, sizeof audio));

  std::uint8_t list[16] = {};
  putBigEndian32(list + 0, std::uint32_t(record0));
  putBigEndian32(list + 8, std::uint32_t(record1));
  ASSERT_TRUE(writer.completeRecordList(list, 2));

  DatabaseReader reader;
  ASSERT_TRUE(reader.parse(fileBytes())) << reader.error();
  EXPECT_EQ(reader.type, kTypeSound);
  EXPECT_EQ(reader.creator, kCreatorCode);
  EXPECT_EQ(reader.recordCount, 2);
  EXPECT_EQ(reader.recordOffset(0), 94u);
  EXPECT_EQ(reader.recordOffset(1), 94u + 47u);
  EXPECT_TRUE(reader.structureProblems().empty());
  EXPECT_EQ(reader.record(1).size(), 3u);
  MovieHeaderView header;
  ASSERT_TRUE(reader.movieHeader(header));
  EXPECT_EQ(header.frameCount, 5);
  EXPECT_EQ(header.colourMode, kColourModeSoundOnly);
}

TEST_F(DatabaseWriterTest, UnfinishedDatabaseReadsAsZeroRecordList) {
  DatabaseWriter writer(file);
  ASSERT_TRUE(writer.writeHeader("Name", kTypeMovie, 3, 7));
  ASSERT_TRUE(writer.writeZeroRecordList(3));
  DatabaseReader reader;
  ASSERT_TRUE(reader.parse(fileBytes()));
  EXPECT_TRUE(reader.recordListIsZero());
  EXPECT_FALSE(reader.structureProblems().empty());
}

TEST_F(DatabaseWriterTest, WriteToAStreamThatRefusesBytesFails) {
  const std::string path = ::testing::TempDir() + "database_writer_readonly.bin";
  std::FILE* created = std::fopen(path.c_str(), "wb");
  ASSERT_NE(created, nullptr);
  std::fclose(created);
  std::FILE* readOnly = std::fopen(path.c_str(), "rb");
  ASSERT_NE(readOnly, nullptr);
  DatabaseWriter writer(readOnly);
  EXPECT_FALSE(writer.writeHeader("Name", kTypeMovie, 1, 0));
  const std::uint8_t list[8] = {};
  EXPECT_FALSE(writer.completeRecordList(list, 1));
  std::fclose(readOnly);
  std::remove(path.c_str());
}

TEST_F(DatabaseWriterTest, WriteThatFailsPartWayIsSeenAtOnceOnAnUnbufferedStream) {
  // The C library reports every byte of an unbuffered fwrite as written even
  // when the write failed; only the error indicator shows it.
  test::FailingFile full(100);
  DatabaseWriter writer(full.get());
  ASSERT_TRUE(writer.writeHeader("Name", kTypeMovie, 2, 7));
  EXPECT_FALSE(writer.writeZeroRecordList(4000));
}

TEST_F(DatabaseWriterTest, ListStaysZeroWhenAnEarlierWriteFailed) {
  // The disk fills up in a record; rewriting the list would still succeed,
  // since it does not grow the file, and would make the file look complete.
  test::FailingFile full(200, true);
  DatabaseWriter writer(full.get());
  ASSERT_TRUE(writer.writeHeader("Name", kTypeMovie, 2, 7));
  ASSERT_TRUE(writer.writeZeroRecordList(2));
  const std::vector<std::uint8_t> record(300, 0xAB);
  writer.writeBytes(record.data(), record.size());
  std::fflush(full.get());
  const std::uint8_t list[16] = {0, 0, 0, 94, 0, 0, 0, 0, 0, 0, 0, 200, 0, 0, 0, 0};
  EXPECT_FALSE(writer.completeRecordList(list, 2));
  const std::vector<std::uint8_t>& stored = full.contents();
  ASSERT_EQ(stored.size(), 200u);
  for (int i = 78; i < 94; ++i) EXPECT_EQ(stored[std::size_t(i)], 0) << "list byte " << i - 78;
}

TEST_F(DatabaseWriterTest, ReaderFindsRecordsOutOfOrder) {
  DatabaseWriter writer(file);
  ASSERT_TRUE(writer.writeHeader("Name", kTypeMovie, 2, 7));
  ASSERT_TRUE(writer.writeZeroRecordList(2));
  const std::uint8_t payload[60] = {};
  ASSERT_TRUE(writer.writeBytes(payload, sizeof payload));
  std::uint8_t list[16] = {};
  putBigEndian32(list + 0, 94);
  putBigEndian32(list + 8, 90);  // before record 0: not increasing
  ASSERT_TRUE(writer.completeRecordList(list, 2));
  DatabaseReader reader;
  ASSERT_TRUE(reader.parse(fileBytes()));
  EXPECT_EQ(reader.structureProblems().size(), 1u);
}

}  // namespace
}  // namespace vantrel
