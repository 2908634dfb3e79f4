#include "FileSizeTarget.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "codec/FrameRecordFormat.h"
#include "database/DatabaseFormat.h"

namespace vantrel {

namespace {

constexpr std::int64_t kLargestSize = 0x7FFFFFFF;

std::int32_t atLeastSmallest(double average) {
  if (!(average > kSmallestAverageFrameSize)) return kSmallestAverageFrameSize;
  return static_cast<std::int32_t>(std::min(average, 65535.0));
}

// Bytes of the codes of a difference frame that keeps all of its blocks: the
// keep code in runs, as the record writer makes them (a run counts at most
// 263 blocks, and 255 when it would count 260 or more; fewer than 4 blocks
// are written one code each).
int keptBlockCodeBytes(int blocks) {
  constexpr int kLongestRun = 263;
  constexpr int kCutRunFrom = 260;
  constexpr int kCutRun = 255;
  constexpr int kShortestRun = 4;
  int bytes = 0;
  while (blocks > 0) {
    int run = std::min(blocks, kLongestRun);
    if (run >= kCutRunFrom) run = kCutRun;
    if (run >= kShortestRun) {
      bytes += 3;  // repeat code, count - 4, keep code
    } else {
      run = 1;
      bytes += 1;
    }
    blocks -= run;
  }
  return bytes;
}

// Fixed bytes and frame 0: what the size control does not steer.
double unsteeredBytes(const MovieLayout& layout) {
  return double(fixedBytes(layout)) +
         (layout.frameCount > 0 ? layout.firstKeyFrameBytes : 0);
}

}  // namespace

void setFrameRecords(MovieLayout& layout, int width, int storedHeight, int keyInterval) {
  using namespace frame_record;
  // Key frames on the 160-wide screen carry every sample, others one per 2 x 2.
  const int pixels = width == kFullResolutionWidth ? width * storedHeight
                                                   : (width / 2) * (storedHeight / 2);
  layout.firstKeyFrameBytes = kPixelOffsetWithPalette + pixels;
  layout.keyFrameBytes = kKeyHeaderSize + pixels;
  layout.keyFrameCount = keyInterval > 0 && layout.frameCount > 1
                             ? (layout.frameCount - 1) / keyInterval
                             : 0;
  layout.smallestDifferenceBytes =
      kDifferenceHeaderSize + keptBlockCodeBytes((width / 8) * (storedHeight / 8));
}

bool parseSize(const char* text, std::int64_t& bytes) {
  if (text == nullptr || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  const long long number = std::strtoll(text, &end, 10);
  if (errno == ERANGE) return false;
  std::int64_t unit = 1;
  switch (std::toupper(static_cast<unsigned char>(*end))) {
    case '\0':
      break;
    case 'K':
      unit = std::int64_t{1} << 10;
      break;
    case 'M':
      unit = std::int64_t{1} << 20;
      break;
    case 'G':
      unit = std::int64_t{1} << 30;
      break;
    default:
      return false;
  }
  if (*end != '\0' && end[1] != '\0') return false;
  if (number <= 0 || number > kLargestSize / unit) return false;
  bytes = number * unit;
  return true;
}

std::int64_t fixedBytes(const MovieLayout& layout) {
  const std::int64_t records = 1 + std::int64_t{layout.frameCount} + layout.audioRecordCount;
  return kDatabaseHeaderSize + records * kRecordEntrySize + layout.headerRecordBytes +
         std::int64_t{layout.audioRecordCount} * layout.audioRecordBytes;
}

std::int64_t smallestFileSize(const MovieLayout& layout) {
  if (layout.frameCount <= 0) return fixedBytes(layout);
  const std::int64_t differenceFrames = layout.frameCount - 1 - layout.keyFrameCount;
  return fixedBytes(layout) + layout.firstKeyFrameBytes +
         std::int64_t{layout.keyFrameCount} * layout.keyFrameBytes +
         differenceFrames * layout.smallestDifferenceBytes;
}

std::int32_t firstAverageFrameSize(const MovieLayout& layout, std::int64_t limit) {
  const double room = (double(limit) - unsteeredBytes(layout)) * 0.99;
  return atLeastSmallest(room / std::max(layout.frameCount - 1, 1));
}

bool sizeLandsWell(std::int64_t fileSize, std::int64_t limit) {
  return fileSize <= limit && fileSize * 100 >= limit * 97;
}

bool framesPassedTheirAverage(const MovieLayout& layout, const SizeTrial& trial) {
  const double taken = (double(trial.fileSize) - unsteeredBytes(layout)) /
                       std::max(layout.frameCount - 1, 1);
  return taken > 1.25 * trial.averageFrameSize;
}

std::int32_t nextAverageFrameSize(const MovieLayout& layout, std::int64_t limit,
                                  const SizeTrial& last, const SizeTrial* earlier) {
  const double fixed = unsteeredBytes(layout);
  const double aim = fixed + (double(limit) - fixed) * 0.985;
  if (earlier != nullptr && earlier->averageFrameSize != last.averageFrameSize &&
      earlier->fileSize != last.fileSize) {
    const double slope = double(last.fileSize - earlier->fileSize) /
                         double(last.averageFrameSize - earlier->averageFrameSize);
    // A line that does not rise says nothing about where to go.
    if (slope > 0.0) {
      return atLeastSmallest(last.averageFrameSize + (aim - double(last.fileSize)) / slope);
    }
  }
  const double taken = std::max(double(last.fileSize) - fixed, 1.0);
  return atLeastSmallest(last.averageFrameSize * (aim - fixed) / taken);
}

}  // namespace vantrel
