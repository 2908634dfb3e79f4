#include "FileSizeTarget.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "database/DatabaseFormat.h"

namespace vantrel {

namespace {

constexpr std::int64_t kLargestSize = 0x7FFFFFFF;

std::int32_t atLeastSmallest(double average) {
  if (!(average > kSmallestAverageFrameSize)) return kSmallestAverageFrameSize;
  return static_cast<std::int32_t>(std::min(average, 65535.0));
}

}  // namespace

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
  return fixedBytes(layout) + std::int64_t{layout.frameCount} * kSmallestAverageFrameSize;
}

std::int32_t firstAverageFrameSize(const MovieLayout& layout, std::int64_t limit) {
  const double room = double(limit - fixedBytes(layout)) * 0.99;
  return atLeastSmallest(room / std::max(layout.frameCount, 1));
}

bool sizeLandsWell(std::int64_t fileSize, std::int64_t limit) {
  return fileSize <= limit && fileSize * 100 >= limit * 97;
}

std::int32_t nextAverageFrameSize(const MovieLayout& layout, std::int64_t limit,
                                  const SizeTrial& last, const SizeTrial* earlier) {
  const double fixed = double(fixedBytes(layout));
  const double aim = fixed + double(limit - fixedBytes(layout)) * 0.985;
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
