#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantrel {

// Record 0 of a movie database, field by field, as read from the file.
struct MovieHeaderView {
  std::uint16_t version = 0;
  std::uint16_t headerSize = 0;
  std::uint16_t frameWidth = 0;
  std::uint16_t storedHeight = 0;
  std::uint16_t bitsPerPixel = 0;
  std::uint8_t audioFormat = 0;
  std::uint8_t colourMode = 0;
  std::uint16_t framePeriodMs = 0;
  std::uint16_t framesPerSecond = 0;
  std::uint16_t keyInterval = 0;
  std::uint16_t flags = 0;
  std::uint32_t titleOffset = 0;
  std::uint32_t authorOffset = 0;
  std::uint32_t thirdTextOffset = 0;
  std::uint32_t textEnd = 0;
  std::uint16_t frameCount = 0;
  std::uint16_t firstAudioRecord = 0;
  std::uint32_t finePeriod = 0;
  std::string title;   // read at titleOffset up to its zero byte
  std::string author;  // read at authorOffset up to its zero byte
};

// Reads a written movie database from memory or a file: the 78-byte header, the
// record list and record 0, with access to every record's bytes. Used by the
// tests and by the inspect tool; it depends only on the standard library.
class DatabaseReader {
 public:
  // Takes the file's bytes. Returns false (see error()) when the header or the
  // record list does not fit in them; the header fields are valid otherwise.
  bool parse(std::vector<std::uint8_t> fileBytes);
  // Reads the file at path, then parse(). Returns false when unreadable.
  bool load(const std::string& path);
  const std::string& error() const { return failure; }

  // Header fields.
  std::string name;  // up to the first zero of the 32-byte field
  bool nameTerminated = false;  // byte 31 is zero
  std::uint16_t attributes = 0;
  std::uint16_t version = 0;
  std::uint32_t creationDate = 0;
  std::uint32_t modificationDate = 0;
  std::uint32_t backupDate = 0;
  std::uint32_t modificationNumber = 0;
  std::uint32_t appInfoOffset = 0;
  std::uint32_t sortInfoOffset = 0;
  std::uint32_t type = 0;
  std::uint32_t creator = 0;
  std::uint32_t uniqueIdSeed = 0;
  std::uint32_t nextRecordList = 0;
  std::uint16_t recordCount = 0;

  // Record list entry i: data offset and the four bytes after it (attributes
  // and unique id, expected zero).
  std::uint32_t recordOffset(int index) const;
  std::uint32_t recordEntryTail(int index) const;
  // True when every list entry is zero (an encode that did not complete).
  bool recordListIsZero() const;

  // Problems with the structure: record 0 not right after the list, offsets not
  // increasing or past the end of the file, nonzero entry tails. Empty when the
  // list is sound.
  std::vector<std::string> structureProblems() const;

  // Bytes of record index: from its offset to the next record's offset (or the
  // end of the file). Empty when the offsets are unusable.
  std::span<const std::uint8_t> record(int index) const;
  // Record 0 parsed; false when it is shorter than 44 bytes or its texts lie
  // outside it.
  bool movieHeader(MovieHeaderView& header) const;

  const std::vector<std::uint8_t>& bytes() const { return data; }
  // Offset of the first byte after the record list.
  std::size_t listEnd() const;

 private:
  std::vector<std::uint8_t> data;
  std::string failure;
};

// Four-character code as text ('Mvie' -> "Mvie").
std::string fourCCText(std::uint32_t code);

}  // namespace vantrel
