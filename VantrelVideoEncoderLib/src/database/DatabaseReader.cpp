#include "database/DatabaseReader.h"

#include <fstream>
#include <iterator>

#include "database/BigEndian.h"
#include "database/DatabaseFormat.h"

namespace vantrel {

bool DatabaseReader::parse(std::vector<std::uint8_t> fileBytes) {
  data = std::move(fileBytes);
  failure.clear();
  if (data.size() < std::size_t(kDatabaseHeaderSize)) {
    failure = "file shorter than the 78-byte database header";
    return false;
  }
  const std::uint8_t* h = data.data();
  name.clear();
  for (int i = 0; i < kDatabaseNameSize && h[i] != 0; ++i) name.push_back(char(h[i]));
  nameTerminated = h[kDatabaseNameSize - 1] == 0;
  attributes = getBigEndian16(h + kHeaderAttributesOffset);
  version = getBigEndian16(h + kHeaderVersionOffset);
  creationDate = getBigEndian32(h + kHeaderCreationDateOffset);
  modificationDate = getBigEndian32(h + kHeaderModificationDateOffset);
  backupDate = getBigEndian32(h + kHeaderBackupDateOffset);
  modificationNumber = getBigEndian32(h + kHeaderModificationNumberOffset);
  appInfoOffset = getBigEndian32(h + kHeaderAppInfoOffset);
  sortInfoOffset = getBigEndian32(h + kHeaderSortInfoOffset);
  type = getBigEndian32(h + kHeaderTypeOffset);
  creator = getBigEndian32(h + kHeaderCreatorOffset);
  uniqueIdSeed = getBigEndian32(h + kHeaderUniqueIdSeedOffset);
  nextRecordList = getBigEndian32(h + kHeaderNextRecordListOffset);
  recordCount = getBigEndian16(h + kHeaderRecordCountOffset);
  if (data.size() < listEnd()) {
    failure = "file shorter than its record list";
    return false;
  }
  return true;
}

bool DatabaseReader::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    failure = "cannot open " + path;
    return false;
  }
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  return parse(std::move(bytes));
}

std::size_t DatabaseReader::listEnd() const {
  return std::size_t(kDatabaseHeaderSize) + std::size_t(recordCount) * kRecordEntrySize;
}

std::uint32_t DatabaseReader::recordOffset(int index) const {
  if (index < 0 || index >= recordCount) return 0;
  return getBigEndian32(data.data() + kDatabaseHeaderSize + index * kRecordEntrySize);
}

std::uint32_t DatabaseReader::recordEntryTail(int index) const {
  if (index < 0 || index >= recordCount) return 0;
  return getBigEndian32(data.data() + kDatabaseHeaderSize + index * kRecordEntrySize + 4);
}

bool DatabaseReader::recordListIsZero() const {
  for (int i = 0; i < recordCount; ++i) {
    if (recordOffset(i) != 0 || recordEntryTail(i) != 0) return false;
  }
  return true;
}

std::vector<std::string> DatabaseReader::structureProblems() const {
  std::vector<std::string> problems;
  if (recordCount == 0) {
    problems.push_back("the database has no records");
    return problems;
  }
  if (recordListIsZero()) {
    problems.push_back("the record list is all zero (the encode did not complete)");
    return problems;
  }
  if (recordOffset(0) != listEnd()) {
    problems.push_back("record 0 does not start right after the record list (offset " +
                       std::to_string(recordOffset(0)) + ", expected " +
                       std::to_string(listEnd()) + ")");
  }
  for (int i = 0; i < recordCount; ++i) {
    if (recordEntryTail(i) != 0) {
      problems.push_back("record " + std::to_string(i) + " has nonzero attributes or id");
    }
    if (recordOffset(i) > data.size()) {
      problems.push_back("record " + std::to_string(i) + " starts past the end of the file");
    }
    if (i > 0 && recordOffset(i) <= recordOffset(i - 1)) {
      problems.push_back("record " + std::to_string(i) +
                         " does not start after the record before it");
    }
  }
  return problems;
}

std::span<const std::uint8_t> DatabaseReader::record(int index) const {
  if (index < 0 || index >= recordCount) return {};
  const std::size_t begin = recordOffset(index);
  const std::size_t end = index + 1 < recordCount ? recordOffset(index + 1) : data.size();
  if (begin < listEnd() || begin > end || end > data.size()) return {};
  return std::span<const std::uint8_t>(data.data() + begin, end - begin);
}

namespace {

std::string textAt(std::span<const std::uint8_t> rec, std::uint32_t offset) {
  std::string text;
  for (std::size_t i = offset; i < rec.size() && rec[i] != 0; ++i) text.push_back(char(rec[i]));
  return text;
}

}  // namespace

bool DatabaseReader::movieHeader(MovieHeaderView& header) const {
  const std::span<const std::uint8_t> rec = record(0);
  if (rec.size() < std::size_t(kMovieHeaderSize)) return false;
  const std::uint8_t* r = rec.data();
  header.version = getBigEndian16(r + kMhVersionOffset);
  header.headerSize = getBigEndian16(r + kMhSizeOffset);
  header.frameWidth = getBigEndian16(r + kMhWidthOffset);
  header.storedHeight = getBigEndian16(r + kMhHeightOffset);
  header.bitsPerPixel = getBigEndian16(r + kMhBitsPerPixelOffset);
  header.audioFormat = r[kMhAudioFormatOffset];
  header.colourMode = r[kMhColourModeOffset];
  header.framePeriodMs = getBigEndian16(r + kMhFramePeriodOffset);
  header.framesPerSecond = getBigEndian16(r + kMhFramesPerSecondOffset);
  header.keyInterval = getBigEndian16(r + kMhKeyIntervalOffset);
  header.flags = getBigEndian16(r + kMhFlagsOffset);
  header.titleOffset = getBigEndian32(r + kMhTitleOffset);
  header.authorOffset = getBigEndian32(r + kMhAuthorOffset);
  header.thirdTextOffset = getBigEndian32(r + kMhThirdTextOffset);
  header.textEnd = getBigEndian32(r + kMhTextEndOffset);
  header.frameCount = getBigEndian16(r + kMhFrameCountOffset);
  header.firstAudioRecord = getBigEndian16(r + kMhFirstAudioRecordOffset);
  header.finePeriod = getBigEndian32(r + kMhFinePeriodOffset);
  if (header.textEnd > rec.size() || header.titleOffset >= header.textEnd ||
      header.authorOffset >= header.textEnd) {
    return false;
  }
  header.title = textAt(rec, header.titleOffset);
  header.author = textAt(rec, header.authorOffset);
  return true;
}

std::string fourCCText(std::uint32_t code) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[i] = char((code >> (24 - 8 * i)) & 0xFF);
  return text;
}

}  // namespace vantrel
