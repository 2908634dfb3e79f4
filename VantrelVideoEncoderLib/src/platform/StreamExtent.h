#pragma once

// Internal to the platform layer: how far a stream really reaches. A container
// states a length; the pictures or the sound a file holds may end earlier (a
// file cut short by a partial download or a lost tail), and the pictures may
// end later (a last picture with a display time of its own).

#include <cstdint>

#include "platform/FfmpegHandles.h"

namespace vantrel::ffmpeg {

// The end of the stream's last picture: its time plus its duration (or
// frameUnits when it has none), from the packets after the last key frame
// before searchFrom. Read through a second demuxer of its own, so the decoding
// one is not moved. AV_NOPTS_VALUE when the file cannot be searched.
std::int64_t lastPictureEnd(const char* path, int streamIndex, std::int64_t searchFrom,
                            std::int64_t frameUnits);

// What the stream's index says about a file cut short: the index (an MP4 or
// MOV file's sample table, an AVI file's idx1) lists packets (pictures or
// sound) whose data lies past the end of the file.
struct IndexedPackets {
  int entries = 0;      // index entries of the stream
  int heldEntries = 0;  // those before the first one whose data the file lacks
  bool cut = false;     // heldEntries < entries
  // Times of the first entry, of the last one, of the last held one and of
  // the first one not held (where the held packets end).
  std::int64_t firstTime = AV_NOPTS_VALUE;
  std::int64_t lastTime = AV_NOPTS_VALUE;
  std::int64_t lastHeldTime = AV_NOPTS_VALUE;
  std::int64_t firstMissingTime = AV_NOPTS_VALUE;
};
IndexedPackets indexedPackets(AVFormatContext* input, AVStream* stream);

// The stream's packets in the whole file, read through a demuxer of its own:
// the distance from the first to the last whole packet's decoding time plus
// one (the pictures of an AVI file, where one time unit is one frame). For a
// file without a usable index. -1 when the file cannot be read.
std::int64_t countStoredFrames(const char* path, int streamIndex);

// A Matroska or WebM file cut short: its segment states more bytes than the
// file holds (such files keep their index at the end, lost with the cut).
bool matroskaSegmentCut(const char* path);

// The end of the stream's last whole packet in the file (its time plus its
// duration, or unitsWithoutDuration when it has none), read through a demuxer
// of its own from the start. AV_NOPTS_VALUE when none is read.
std::int64_t lastWholePacketEnd(const char* path, int streamIndex,
                                std::int64_t unitsWithoutDuration);

}  // namespace vantrel::ffmpeg
