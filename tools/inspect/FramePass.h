#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrel {
class DatabaseReader;
}

namespace vantrel::inspect {

// One decoded frame record.
struct FrameEntry {
  int kind = 0;            // 1 key frame, 2 difference frame
  bool palette = false;    // the record carries the palette
  std::size_t bytes = 0;   // record size
};

// What decoding the frame records found.
struct FrameReport {
  int decoded = 0;          // frames decoded without a fault
  int keyFrames = 0;
  int firstBadRecord = -1;  // record number of the first fault, -1 when none
  std::vector<FrameEntry> entries;  // one per decoded frame, in order
  std::vector<std::string> problems;
};

// Called with each decoded frame: its index, the handheld samples (frameWidth x
// storedHeight bytes, top row first) and the palette as last received.
using FrameVisitor = std::function<void(int frameIndex, const std::uint8_t* samples,
                                        const std::array<std::uint32_t, 256>& palette)>;

// Decodes records 1 to frameCount in order, as the player does, and checks the
// key frame rule: frame 0 is a key frame with the palette; a later frame is a key
// frame (without palette) exactly when keyInterval is nonzero and divides its
// index. Decoding stops at the first record the decoder rejects, since every
// later frame depends on it.
FrameReport decodeFrames(const DatabaseReader& reader, int frameCount, int frameWidth,
                         int storedHeight, int keyInterval, const FrameVisitor& visit);

}  // namespace vantrel::inspect
