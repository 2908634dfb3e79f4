#include "platform/RawAudioReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/FfmpegHandles.h"

namespace vantrel {

namespace {

// A read this many seconds past the buffered position seeks instead of
// reading through the stored data in between.
constexpr int kFarAheadSeconds = 10;

int waveFormatTagOf(const AVCodecParameters* parameters) {
  if (parameters->codec_tag != 0) return int(parameters->codec_tag);
  const AVCodecTag* tables[] = {avformat_get_riff_audio_tags(), nullptr};
  return int(av_codec_get_tag(tables, parameters->codec_id));
}

}  // namespace

struct RawAudioReader::State {
  ffmpeg::OpenedStream opened;
  RawAudioFacts facts;
  ffmpeg::PacketPtr packet{av_packet_alloc()};
  // Stored bytes of the sample frames from pendingStart on.
  std::vector<std::uint8_t> pending;
  std::int64_t pendingStart = 0;
  bool positioned = false;  // pendingStart is known
  bool ended = false;       // the demuxer has no more data
  bool fromStart = false;   // the last seek went to the first frame
  int seeks = 0;
  int systemError = 0;

  std::int64_t pendingFrames() const {
    return std::int64_t(pending.size()) / facts.blockAlign;
  }
  std::int64_t pendingEnd() const { return pendingStart + pendingFrames(); }
  MediaStatus readPacket();
  MediaStatus seek(std::int64_t frame);
  void dropBefore(std::int64_t frame);
};

// Appends the next packet of the stream. A packet's time only places the data
// after a seek; from then on frames follow one another as stored.
MediaStatus RawAudioReader::State::readPacket() {
  const int error = av_read_frame(opened.input.get(), packet.get());
  if (error == AVERROR_EOF) {
    ended = true;
    return MediaStatus::Ok;
  }
  if (error < 0)
    return ffmpeg::statusFromError(error, MediaStatus::ReadFailed, &systemError);
  if (packet->stream_index == opened.stream->index) {
    if (!positioned) {
      pendingStart = packet->pts != AV_NOPTS_VALUE
                         ? av_rescale_q(packet->pts, opened.stream->time_base,
                                        AVRational{1, facts.sampleRate})
                         : facts.firstSample;
      pending.clear();
      positioned = true;
    }
    const int whole = packet->size - packet->size % facts.blockAlign;
    pending.insert(pending.end(), packet->data, packet->data + whole);
  }
  av_packet_unref(packet.get());
  return MediaStatus::Ok;
}

MediaStatus RawAudioReader::State::seek(std::int64_t frame) {
  ++seeks;
  const std::int64_t time =
      av_rescale_q(frame, AVRational{1, facts.sampleRate}, opened.stream->time_base);
  int error =
      av_seek_frame(opened.input.get(), opened.stream->index, time, AVSEEK_FLAG_BACKWARD);
  if (error < 0) {
    error = av_seek_frame(opened.input.get(), opened.stream->index, 0,
                          AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD);
  }
  pending.clear();
  positioned = false;
  ended = false;
  fromStart = frame <= facts.firstSample;
  return error < 0 ? ffmpeg::statusFromError(error, MediaStatus::ReadFailed, &systemError)
                   : MediaStatus::Ok;
}

void RawAudioReader::State::dropBefore(std::int64_t frame) {
  if (!positioned || frame <= pendingStart) return;
  const std::int64_t drop = std::min(frame - pendingStart, pendingFrames());
  pending.erase(pending.begin(),
                pending.begin() + std::ptrdiff_t(drop * facts.blockAlign));
  pendingStart += drop;
}

RawAudioReader::RawAudioReader() = default;
RawAudioReader::~RawAudioReader() = default;

MediaStatus RawAudioReader::open(const char* path, int streamNumber) {
  close();
  auto fresh = std::make_unique<State>();
  if (!fresh->packet) return MediaStatus::OutOfMemory;
  const MediaStatus status =
      ffmpeg::openStream(path, AVMEDIA_TYPE_AUDIO, streamNumber, ffmpeg::Containers::RiffOnly,
                         false, fresh->opened, &fresh->systemError);
  if (status != MediaStatus::Ok) {
    lastSystemError = fresh->systemError;
    return status;
  }
  const AVStream* stream = fresh->opened.stream;
  const AVCodecParameters* parameters = stream->codecpar;
  RawAudioFacts& facts = fresh->facts;
  facts.formatTag = waveFormatTagOf(parameters);
  facts.channels = parameters->ch_layout.nb_channels;
  facts.sampleRate = parameters->sample_rate;
  facts.bitsPerSample = parameters->bits_per_coded_sample > 0
                            ? parameters->bits_per_coded_sample
                            : av_get_bits_per_sample(parameters->codec_id);
  facts.blockAlign = parameters->block_align > 0
                         ? parameters->block_align
                         : facts.channels * facts.bitsPerSample / 8;
  facts.container = fresh->opened.input->iformat->name;
  facts.codec = avcodec_get_name(parameters->codec_id);
  if (facts.sampleRate <= 0 || facts.blockAlign <= 0 || facts.channels <= 0) {
    return MediaStatus::UnknownFormat;
  }
  const AVRational perFrame{1, facts.sampleRate};
  if (stream->start_time != AV_NOPTS_VALUE) {
    facts.firstSample = av_rescale_q(stream->start_time, stream->time_base, perFrame);
  }
  // AVI keeps the length in sample frames in its stream header; WAV gives a
  // duration. Both count stored frames.
  if (stream->nb_frames > 0) {
    facts.length = stream->nb_frames;
  } else if (const std::int64_t end =
                 ffmpeg::streamEnd(fresh->opened.input.get(), stream);
             end != AV_NOPTS_VALUE) {
    facts.length = std::max<std::int64_t>(
        0, av_rescale_q(end, stream->time_base, perFrame) - facts.firstSample);
  }
  state = std::move(fresh);
  return MediaStatus::Ok;
}

void RawAudioReader::close() { state.reset(); }

bool RawAudioReader::isOpen() const { return state != nullptr; }

int RawAudioReader::systemError() const {
  return state ? state->systemError : lastSystemError;
}

const RawAudioFacts& RawAudioReader::facts() const {
  static const RawAudioFacts kClosed;
  return state ? state->facts : kClosed;
}

MediaStatus RawAudioReader::read(std::int64_t first, int maxFrames, std::uint8_t* out,
                                 int& delivered) {
  delivered = 0;
  if (!state) return MediaStatus::NotOpen;
  State& s = *state;
  if (first < s.facts.firstSample) return MediaStatus::ReadFailed;
  const std::int64_t streamEnd = s.facts.firstSample + s.facts.length;
  if (maxFrames <= 0 || first >= streamEnd) return MediaStatus::Ok;
  const std::int64_t wanted = std::min<std::int64_t>(maxFrames, streamEnd - first);
  const std::int64_t farAhead = std::int64_t(kFarAheadSeconds) * s.facts.sampleRate;
  if (!s.positioned || first < s.pendingStart || first > s.pendingEnd() + farAhead) {
    if (MediaStatus status = s.seek(first); status != MediaStatus::Ok) return status;
  }
  while (true) {
    s.dropBefore(first);
    if (s.positioned && s.pendingStart > first && !s.fromStart) {
      // The seek landed after the wanted frame: read from the beginning.
      if (MediaStatus status = s.seek(s.facts.firstSample); status != MediaStatus::Ok) {
        return status;
      }
      continue;
    }
    if (s.positioned && s.pendingEnd() >= first + wanted) break;
    if (s.ended) break;
    if (MediaStatus status = s.readPacket(); status != MediaStatus::Ok) return status;
  }
  if (!s.positioned || s.pendingStart > first) return MediaStatus::Ok;  // no data there
  const std::int64_t count = std::min(wanted, s.pendingEnd() - first);
  // The stored data can end before the length the header claims.
  if (count <= 0) return MediaStatus::Ok;
  std::memcpy(out, s.pending.data(), std::size_t(count * s.facts.blockAlign));
  delivered = int(count);
  return MediaStatus::Ok;
}

int RawAudioReader::seekCount() const { return state ? state->seeks : 0; }

}  // namespace vantrel
