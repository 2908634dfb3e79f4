#include "database/DatabaseWriter.h"

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include <sys/types.h>

#include "database/BigEndian.h"
#include "database/HandheldName.h"

namespace vantrel {

std::uint32_t palmTimeNow() {
  // Unsigned arithmetic: the handheld's date wraps in 2040, as its own clock does.
  return static_cast<std::uint32_t>(std::time(nullptr)) + kPalmEpochOffset;
}

std::array<std::uint8_t, kDatabaseHeaderSize> buildDatabaseHeader(const char* name,
                                                                  std::uint32_t type,
                                                                  int recordCount,
                                                                  std::uint32_t palmTime) {
  std::array<std::uint8_t, kDatabaseHeaderSize> header{};
  // In the handheld's character set, cut on a character boundary.
  const std::string stored = handheldNameBytes(name != nullptr ? name : "");
  std::copy(stored.begin(), stored.end(), header.begin());
  putBigEndian16(&header[kHeaderAttributesOffset], 0);
  putBigEndian16(&header[kHeaderVersionOffset], 0);
  putBigEndian32(&header[kHeaderCreationDateOffset], palmTime);
  putBigEndian32(&header[kHeaderModificationDateOffset], palmTime);
  putBigEndian32(&header[kHeaderBackupDateOffset], palmTime);
  putBigEndian32(&header[kHeaderModificationNumberOffset], kModificationNumber);
  putBigEndian32(&header[kHeaderAppInfoOffset], 0);
  putBigEndian32(&header[kHeaderSortInfoOffset], 0);
  putBigEndian32(&header[kHeaderTypeOffset], type);
  putBigEndian32(&header[kHeaderCreatorOffset], kCreatorCode);
  putBigEndian32(&header[kHeaderUniqueIdSeedOffset], 0);
  putBigEndian32(&header[kHeaderNextRecordListOffset], 0);
  putBigEndian16(&header[kHeaderRecordCountOffset], static_cast<std::uint16_t>(recordCount));
  return header;
}

DatabaseWriter::DatabaseWriter(std::FILE* outputFile) : file(outputFile) {}

bool DatabaseWriter::writeHeader(const char* name, std::uint32_t type, int recordCount,
                                 std::uint32_t palmTime) {
  const auto header = buildDatabaseHeader(name, type, recordCount, palmTime);
  return writeBytes(header.data(), header.size());
}

bool DatabaseWriter::writeZeroRecordList(int entryCount) {
  listStart = position();
  const std::vector<std::uint8_t> zeros(std::size_t(entryCount) * kRecordEntrySize, 0);
  return writeBytes(zeros.data(), zeros.size());
}

bool DatabaseWriter::writeMovieHeaderRecord(const MovieHeaderRecord& record) {
  const std::vector<std::uint8_t> bytes = record.serialize();
  return writeBytes(bytes.data(), bytes.size());
}

bool DatabaseWriter::writeBytes(const void* bytes, std::size_t size) {
  if (size == 0) return true;
  // The C library may count bytes as written whose write failed (an unbuffered
  // stream does); the error indicator tells the truth.
  return std::fwrite(bytes, 1, size, file) == size && std::ferror(file) == 0;
}

std::int64_t DatabaseWriter::position() const { return ftello(file); }

bool DatabaseWriter::completeRecordList(const void* bigEndianEntries, int entryCount) {
  // Bytes lost earlier (a full disk shows only when the buffer is flushed) must
  // leave the list zero: a list that points at missing records would make the
  // damaged file look complete.
  if (std::fflush(file) != 0 || std::ferror(file) != 0) return false;
  if (fseeko(file, static_cast<off_t>(listStart), SEEK_SET) != 0) return false;
  const bool written =
      writeBytes(bigEndianEntries, std::size_t(entryCount) * kRecordEntrySize);
  const bool flushed = std::fflush(file) == 0;
  return written && flushed && std::ferror(file) == 0;
}

}  // namespace vantrel
