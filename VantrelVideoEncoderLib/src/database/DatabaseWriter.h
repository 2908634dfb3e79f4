#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "database/DatabaseFormat.h"
#include "database/MovieHeaderRecord.h"

namespace vantrel {

// The current time as the handheld counts it: seconds since 1904-01-01.
std::uint32_t palmTimeNow();

// The 78-byte database header: name (UTF-8, stored as handheldNameBytes makes
// it: at most 31 characters of the handheld's character set, zero filled), the
// type, creator 'VnTr', palmTime in all three dates, modification number 1, and
// the 16-bit record count. Every other field is zero.
std::array<std::uint8_t, kDatabaseHeaderSize> buildDatabaseHeader(const char* name,
                                                                  std::uint32_t type,
                                                                  int recordCount,
                                                                  std::uint32_t palmTime);

// Writes a movie database front to back on a stream the caller opened ("wb") and
// closes. The record list is written as zeros first and rewritten once, at the
// end, by completeRecordList; nothing else is ever rewritten. Every operation
// returns false when the stream did not take all its bytes; the caller then
// reports kWriteFailedText and stops, leaving the file as far as it was written.
class DatabaseWriter {
 public:
  explicit DatabaseWriter(std::FILE* file);

  // The database header for recordCount records, dated palmTime.
  bool writeHeader(const char* name, std::uint32_t type, int recordCount,
                   std::uint32_t palmTime);
  // entryCount zeroed list entries; their position is kept for completeRecordList.
  bool writeZeroRecordList(int entryCount);
  // Record 0 with its text area.
  bool writeMovieHeaderRecord(const MovieHeaderRecord& record);
  // Any record's bytes, as they are.
  bool writeBytes(const void* bytes, std::size_t size);

  // Current position of the stream (the offset of the next record).
  std::int64_t position() const;
  // Where the record list starts (78 once writeZeroRecordList ran).
  std::int64_t listPosition() const { return listStart; }

  // Seeks to the list, writes entryCount entries whose bytes are already in file
  // order (big-endian), flushes, and checks the stream's error indicator. When
  // an earlier write failed (the error indicator is set, or the bytes still
  // buffered cannot be flushed) the list is left zero and false is returned.
  bool completeRecordList(const void* bigEndianEntries, int entryCount);

 private:
  std::FILE* file;
  std::int64_t listStart = kDatabaseHeaderSize;
};

}  // namespace vantrel
