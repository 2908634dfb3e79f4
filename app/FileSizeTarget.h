#pragma once

// The size a movie may take (-filesize): reading a size as typed, and the
// average frame size that brings the whole database to just under it.
//
// Everything but the frame records is known before the encode: the database
// header, the record list, the movie header record and the sound records,
// which all have a fixed size. The frames get what remains. The frame size
// control meets its target only on average, so a conversion that comes out
// over the size (or well under it) is encoded again at a target corrected by
// what the frames took (nextAverageFrameSize).

#include <cstdint>
#include <string>

namespace vantrel {

// Reads a size: a whole number of bytes, or one followed by K, M or G (also
// lower case; 1024, 1024^2, 1024^3 bytes). Returns false, leaving bytes as it
// was, for anything else, for 0 and for more than 2 GiB - 1 (the database
// counts its offsets in 32 bits).
bool parseSize(const char* text, std::int64_t& bytes);

// The smallest average frame size -filesize chooses, in bytes: below it a
// frame cannot say even that every block stays as it was.
inline constexpr std::int32_t kSmallestAverageFrameSize = 64;

// What a movie holds, and the smallest records its frames can have.
struct MovieLayout {
  int frameCount = 0;
  int audioRecordCount = 0;
  int audioRecordBytes = 0;
  int headerRecordBytes = 0;  // record 0: fixed part and texts
  // Frame records (setFrameRecords): frame 0 is a key frame with the palette,
  // keyFrameCount later frames are key frames without it, and the rest are
  // difference frames, none smaller than one that keeps every block.
  int firstKeyFrameBytes = 0;
  int keyFrameCount = 0;
  int keyFrameBytes = 0;
  int smallestDifferenceBytes = 0;
};

// Sets the frame records of layout (its frameCount set) for handheld frames of
// width x storedHeight samples with a key frame every keyInterval frames (0:
// frame 0 only, 1: every frame).
void setFrameRecords(MovieLayout& layout, int width, int storedHeight, int keyInterval);

// Bytes of the database that are not frame records: header, record list,
// header record and sound.
std::int64_t fixedBytes(const MovieLayout& layout);

// The size below which no movie of the layout can be written: the fixed bytes,
// the key frames and every difference frame at its smallest. It is the size
// of the movie when its difference frames keep every block (a still picture
// on the 160-wide screen, whose key frames are exact), and of a movie
// without frames.
std::int64_t smallestFileSize(const MovieLayout& layout);

// The average frame size for a first encode under limit bytes: what remains
// after the fixed bytes and frame 0 (whose size the size control leaves
// out), per later frame, with a margin of 1 % for the size control's
// overshoot. At least kSmallestAverageFrameSize.
std::int32_t firstAverageFrameSize(const MovieLayout& layout, std::int64_t limit);

// True when a written file of fileSize bytes is acceptable under limit: not
// over it, and within 3 % under it (or at the smallest average frame size,
// which cannot go lower, when it is under).
bool sizeLandsWell(std::int64_t fileSize, std::int64_t limit);

// One encode: the average frame size it was given and the bytes it wrote.
struct SizeTrial {
  std::int32_t averageFrameSize = 0;
  std::int64_t fileSize = 0;
};

// True when the frames after frame 0 of trial took more than 1.25 times its
// average frame size: the size control could not bring them down to it, so
// they are near their smallest.
bool framesPassedTheirAverage(const MovieLayout& layout, const SizeTrial& trial);

// The average frame size for the next encode, aiming 1.5 % under the limit.
// From the last trial alone the frames are taken to grow in proportion to the
// target; with an earlier trial (null when none) the size is read off the line
// through both, since the first key frame and the smallest frames take bytes
// that do not shrink with the target. At least kSmallestAverageFrameSize.
std::int32_t nextAverageFrameSize(const MovieLayout& layout, std::int64_t limit,
                                  const SizeTrial& last, const SizeTrial* earlier);

}  // namespace vantrel
