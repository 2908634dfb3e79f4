#pragma once

#include <cstdint>

namespace vantrel {

// The events of the engine's progress hook, reportProgress(event, value, data).
// Several arguments pack two 16-bit numbers: low half first, high half second.
enum class ProgressEvent : int {
  Summary = 0,        // data: EncodeSummary* of a successful encode
  PhaseComplete = 1,  // value 0 = video done, 1 = audio done, other = whole encode
  Aborted = 2,        // the encode stopped at the user's or a writer's request
  Warning = 3,        // data: const char* warning text; the encode goes on
  Error = 4,          // data: const char* error text; the encode stopped
  AudioBlock = 5,     // value: blocks written so far; data: blocks in all
  Analysis = 6,       // data: packed (frames analysed, frame count), 0 = pass over
  FrameEncoded = 7,   // value: packed (bytes, quality x 10000); data: packed
                      // (frames written, frame count)
};

constexpr int eventCode(ProgressEvent event) { return static_cast<int>(event); }

// first + 65536 x second, each taken as a 16-bit number. Unsigned, so that a
// second number of 32768 or more stays a positive data argument.
constexpr std::uint32_t packPair(int first, int second) {
  return (static_cast<std::uint32_t>(first) & 0xFFFFu) |
         ((static_cast<std::uint32_t>(second) & 0xFFFFu) << 16);
}

// The two numbers of a packed argument.
constexpr int lowHalf(std::intptr_t packed) { return static_cast<int>(packed & 0xFFFF); }
constexpr int highHalf(std::intptr_t packed) { return static_cast<int>((packed >> 16) & 0xFFFF); }

}  // namespace vantrel
