#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/BlockPool.h"

namespace vantrel {

// Writes the bytes of a difference frame record: the header, the code stream
// with its runs, and the closing padding and length fields.
class DifferenceRecordWriter {
 public:
  // Writes the 24-byte header (kind 2, padding flag, short fill colours, code
  // stream offset); the length field is filled by finishRecord.
  static void writeHeader(std::uint8_t* out,
                          const std::array<std::uint8_t, 8>& shortColours, bool padEven);

  // Writes the codes and operands of the blocks in list (indices into pool, in
  // decoding order) to out, at most capacity bytes. Four or more blocks of one
  // size with the same code in a row (counted among blocks of that size only)
  // share one run: 243, count - 4, code. Returns the bytes written, or -1 if
  // they would not fit (nothing past capacity is written).
  static int writeCodes(std::uint8_t* out, std::size_t capacity,
                        const std::vector<std::int32_t>& list, const BlockPool& pool);

  // Appends the padding byte when padEven is set and length is odd (room for it
  // must exist), stores the length in 256-byte units, and returns the length.
  static int finishRecord(std::uint8_t* record, int length, bool padEven);
};

}  // namespace vantrel
