#include "codec/DifferenceRecordWriter.h"

#include <cstring>

#include "codec/CodecTables.h"
#include "codec/FrameRecordFormat.h"

namespace vantrel {

using namespace frame_record;

namespace {

// Runs are counted up to this many blocks; a longer count is written as the
// longest run the count byte holds comfortably, and the rest starts a new run.
constexpr int kRunScanLimit = 263;
constexpr int kRunCutOff = 260;
constexpr int kLongestRun = 255;

}  // namespace

void DifferenceRecordWriter::writeHeader(std::uint8_t* out,
                                         const std::array<std::uint8_t, 8>& shortColours,
                                         bool padEven) {
  std::memset(out, 0, kDifferenceHeaderSize);
  putBigEndian16(out + kKindOffset, kDifferenceFrameKind);
  out[kPaddingFlagOffset] = padEven ? 1 : 0;
  std::memcpy(out + kShortColoursOffset, shortColours.data(), kShortColourCount);
  putBigEndian32(out + kCodeStreamOffsetOffset, kCodeStreamOffset);
}

int DifferenceRecordWriter::writeCodes(std::uint8_t* out, std::size_t capacity,
                                       const std::vector<std::int32_t>& list,
                                       const BlockPool& pool) {
  std::size_t written = 0;
  auto put = [&](int byte) {
    if (written >= capacity) return false;
    out[written++] = static_cast<std::uint8_t>(byte);
    return true;
  };

  std::array<int, kLevelCount> pending{};
  for (std::size_t i = 0; i < list.size(); ++i) {
    const BlockRecord& block = pool[list[i]];
    int& counter = pending[block.level];
    if (counter > 0) {
      // The code comes from a run written earlier.
      --counter;
    } else {
      int run = 1;
      for (std::size_t k = i + 1; k < list.size() && run < kRunScanLimit; ++k) {
        const BlockRecord& next = pool[list[k]];
        if (next.level != block.level) continue;
        if (next.code != block.code) break;
        ++run;
      }
      if (run >= kMinRepeat) {
        if (run >= kRunCutOff) run = kLongestRun;
        if (!put(kRepeatCode) || !put(run - kMinRepeat)) return -1;
        counter = run - 1;
      }
      if (!put(block.code)) return -1;
    }
    for (int k = 0; k + 1 < block.codeLength; ++k) {
      if (!put(block.operands[k])) return -1;
    }
  }
  return static_cast<int>(written);
}

int DifferenceRecordWriter::finishRecord(std::uint8_t* record, int length, bool padEven) {
  if (padEven && (length & 1) != 0) record[length++] = 0;
  record[kLengthUnitsOffset] = static_cast<std::uint8_t>(lengthUnits(length));
  return length;
}

}  // namespace vantrel
