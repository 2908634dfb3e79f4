#include "platform/StreamExtent.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace vantrel::ffmpeg {

namespace {

// Packets read at most after the last key frame when looking for the end of
// the last picture (a long group of pictures at a high rate fits).
constexpr int kEndProbePackets = 4096;

// A second demuxer over path that reads only the stream streamIndex; null when
// the file cannot be opened or has no such stream.
InputPtr openForStream(const char* path, int streamIndex) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path, nullptr, nullptr) < 0) return nullptr;
  InputPtr input(raw);
  if (streamIndex >= int(input->nb_streams)) return nullptr;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    if (int(i) != streamIndex) input->streams[i]->discard = AVDISCARD_ALL;
  }
  return input;
}

}  // namespace

std::int64_t lastPictureEnd(const char* path, int streamIndex, std::int64_t searchFrom,
                            std::int64_t frameUnits) {
  InputPtr input = openForStream(path, streamIndex);
  if (!input || !input->pb || (input->pb->seekable & AVIO_SEEKABLE_NORMAL) == 0) {
    return AV_NOPTS_VALUE;
  }
  if (av_seek_frame(input.get(), streamIndex, searchFrom, AVSEEK_FLAG_BACKWARD) < 0) {
    return AV_NOPTS_VALUE;
  }
  PacketPtr packet(av_packet_alloc());
  if (!packet) return AV_NOPTS_VALUE;
  std::int64_t end = AV_NOPTS_VALUE;
  for (int read = 0; read < kEndProbePackets && av_read_frame(input.get(), packet.get()) >= 0;
       ++read) {
    const std::int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    // Pictures an edit list leaves out do not count, nor do times beyond any
    // real stream (a damaged file).
    if (packet->stream_index == streamIndex && (packet->flags & AV_PKT_FLAG_DISCARD) == 0 &&
        time != AV_NOPTS_VALUE && std::abs(time) < INT64_MAX / 4) {
      const std::int64_t length =
          packet->duration > 0 && packet->duration < INT64_MAX / 4 ? packet->duration
                                                                   : frameUnits;
      if (end == AV_NOPTS_VALUE || time + length > end) end = time + length;
    }
    av_packet_unref(packet.get());
  }
  return end;
}

IndexedPackets indexedPackets(AVFormatContext* input, AVStream* stream) {
  IndexedPackets found;
  // Unknown for a pipe: such a file is never taken for cut.
  const std::int64_t fileSize = input->pb != nullptr ? avio_size(input->pb) : -1;
  const int entries = avformat_index_get_entries_count(stream);
  for (int i = 0; i < entries; ++i) {
    const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
    if (entry == nullptr) break;
    ++found.entries;
    if (i == 0) found.firstTime = entry->timestamp;
    found.lastTime = entry->timestamp;
    const bool inside = fileSize <= 0 || entry->pos + std::max(entry->size, 0) <= fileSize;
    if (!inside && !found.cut) {
      found.cut = true;
      found.firstMissingTime = entry->timestamp;
    }
    if (!found.cut) {
      ++found.heldEntries;
      found.lastHeldTime = entry->timestamp;
    }
  }
  return found;
}

std::int64_t countStoredFrames(const char* path, int streamIndex) {
  InputPtr input = openForStream(path, streamIndex);
  PacketPtr packet(av_packet_alloc());
  if (!input || !packet) return -1;
  std::int64_t first = AV_NOPTS_VALUE;
  std::int64_t last = AV_NOPTS_VALUE;
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    // A packet the end of the file cut in two holds no whole picture.
    if (packet->stream_index == streamIndex && packet->dts != AV_NOPTS_VALUE &&
        (packet->flags & AV_PKT_FLAG_CORRUPT) == 0) {
      if (first == AV_NOPTS_VALUE || packet->dts < first) first = packet->dts;
      if (last == AV_NOPTS_VALUE || packet->dts > last) last = packet->dts;
    }
    av_packet_unref(packet.get());
  }
  return first == AV_NOPTS_VALUE ? -1 : last - first + 1;
}

bool matroskaSegmentCut(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::uint8_t head[128] = {};
  file.read(reinterpret_cast<char*>(head), sizeof head);
  const std::size_t got = std::size_t(file.gcount());
  file.clear();  // a file shorter than head ends the read early
  file.seekg(0, std::ios::end);
  const std::int64_t fileSize = file ? std::int64_t(file.tellg()) : -1;
  // An EBML variable-length number at head[at]: its length in bytes and value
  // (the length marker removed); false past the bytes read.
  const auto number = [&](std::size_t at, std::size_t& length, std::uint64_t& value) {
    if (at >= got || head[at] == 0) return false;
    length = 1;
    while ((head[at] & (0x80 >> (length - 1))) == 0) ++length;
    if (at + length > got) return false;
    value = head[at] & (0xFF >> length);
    for (std::size_t i = 1; i < length; ++i) value = value << 8 | head[at + i];
    return true;
  };
  // The EBML header element, then the segment: ID 0x18538067 and its size.
  constexpr std::uint8_t kEbmlId[] = {0x1A, 0x45, 0xDF, 0xA3};
  constexpr std::uint8_t kSegmentId[] = {0x18, 0x53, 0x80, 0x67};
  std::size_t length = 0;
  std::uint64_t size = 0;
  if (got < 8 || std::memcmp(head, kEbmlId, 4) != 0 || !number(4, length, size)) return false;
  const std::size_t segment = 4 + length + std::size_t(size);
  if (segment + 4 > got || std::memcmp(head + segment, kSegmentId, 4) != 0 ||
      !number(segment + 4, length, size)) {
    return false;
  }
  // All value bits set: a size left open (a live recording), never a cut.
  const std::uint64_t unknown = (std::uint64_t(1) << (7 * length)) - 1;
  const std::uint64_t dataStart = segment + 4 + length;
  return size != unknown && fileSize > 0 && dataStart + size > std::uint64_t(fileSize);
}

std::int64_t lastWholePacketEnd(const char* path, int streamIndex,
                                std::int64_t unitsWithoutDuration) {
  InputPtr input = openForStream(path, streamIndex);
  PacketPtr packet(av_packet_alloc());
  if (!input || !packet) return AV_NOPTS_VALUE;
  std::int64_t end = AV_NOPTS_VALUE;
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    const std::int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (packet->stream_index == streamIndex && time != AV_NOPTS_VALUE &&
        std::abs(time) < INT64_MAX / 4 && (packet->flags & AV_PKT_FLAG_CORRUPT) == 0) {
      const std::int64_t length = packet->duration > 0 && packet->duration < INT64_MAX / 4
                                      ? packet->duration
                                      : unitsWithoutDuration;
      if (end == AV_NOPTS_VALUE || time + length > end) end = time + length;
    }
    av_packet_unref(packet.get());
  }
  return end;
}

}  // namespace vantrel::ffmpeg
