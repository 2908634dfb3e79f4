#include "platform/AudioDecoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/FfmpegHandles.h"
#include "platform/StreamExtent.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace vantrel {

namespace {

// A read this many seconds past the decoded position seeks instead of
// decoding everything in between.
constexpr int kFarAheadSeconds = 10;
// After a seek the decoder starts this long before the wanted sample, so that
// codecs whose frames overlap have settled when the wanted sound comes.
constexpr int kPrerollDivisor = 10;  // a tenth of a second

struct LayoutHolder {
  AVChannelLayout layout{};
  ~LayoutHolder() { av_channel_layout_uninit(&layout); }
};

}  // namespace

struct AudioDecoder::State {
  ffmpeg::OpenedStream opened;
  DecodedAudioFacts facts;
  ffmpeg::PacketPtr packet{av_packet_alloc()};
  ffmpeg::FramePtr frame{av_frame_alloc()};
  ffmpeg::ResamplerPtr resampler;
  int resamplerRate = 0;
  int resamplerFormat = -1;
  LayoutHolder resamplerLayout;
  std::int64_t origin = 0;  // movie time 0 in stream units
  // Output samples from pendingStart on.
  std::vector<std::int16_t> pending;
  std::int64_t pendingStart = 0;
  bool positioned = false;      // pendingStart is known
  bool inputEnded = false;      // end of input sent to the decoder
  bool drained = false;         // decoder and resampler have given everything
  bool packetHeld = false;      // a packet waits until the decoder takes it
  bool fromStart = true;        // decoding began at the start of the stream
  std::int64_t soundStart = 0;  // where the first sound lies, when fromStart
  std::vector<std::int16_t> converted;
  int seeks = 0;
  int systemError = 0;

  std::int64_t pendingEnd() const { return pendingStart + std::int64_t(pending.size()); }
  MediaStatus decodeMore();
  MediaStatus convert(const AVFrame* sound);
  MediaStatus flushResampler();
  MediaStatus seek(std::int64_t sample);
  void dropBefore(std::int64_t sample);
};

// Converts one decoded frame and appends the output; a frame whose format
// differs from the last one gets a new resampler.
MediaStatus AudioDecoder::State::convert(const AVFrame* sound) {
  LayoutHolder input;
  if (sound->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
      sound->ch_layout.nb_channels == 0) {
    av_channel_layout_default(&input.layout, std::max(1, sound->ch_layout.nb_channels));
  } else if (av_channel_layout_copy(&input.layout, &sound->ch_layout) < 0) {
    return MediaStatus::OutOfMemory;
  }
  if (!resampler || resamplerRate != sound->sample_rate ||
      resamplerFormat != sound->format ||
      av_channel_layout_compare(&resamplerLayout.layout, &input.layout) != 0) {
    SwrContext* created = nullptr;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    int error = swr_alloc_set_opts2(&created, &mono, AV_SAMPLE_FMT_S16, facts.outputRate,
                                    &input.layout, AVSampleFormat(sound->format),
                                    sound->sample_rate, 0, nullptr);
    resampler.reset(created);
    if (error >= 0) error = swr_init(resampler.get());
    if (error < 0) {
      resampler.reset();
      return MediaStatus::ConverterFailed;
    }
    resamplerRate = sound->sample_rate;
    resamplerFormat = sound->format;
    av_channel_layout_uninit(&resamplerLayout.layout);
    av_channel_layout_copy(&resamplerLayout.layout, &input.layout);
  }
  const int room = swr_get_out_samples(resampler.get(), sound->nb_samples);
  if (room < 0) return MediaStatus::ConverterFailed;
  converted.resize(std::size_t(room) + 1);
  std::uint8_t* planes[1] = {reinterpret_cast<std::uint8_t*>(converted.data())};
  const int made = swr_convert(resampler.get(), planes, room,
                               const_cast<const std::uint8_t**>(sound->extended_data),
                               sound->nb_samples);
  if (made < 0) return MediaStatus::ConverterFailed;
  pending.insert(pending.end(), converted.begin(), converted.begin() + made);
  return MediaStatus::Ok;
}

MediaStatus AudioDecoder::State::flushResampler() {
  if (!resampler) return MediaStatus::Ok;
  const int room = swr_get_out_samples(resampler.get(), 0);
  if (room <= 0) return MediaStatus::Ok;
  converted.resize(std::size_t(room));
  std::uint8_t* planes[1] = {reinterpret_cast<std::uint8_t*>(converted.data())};
  const int made = swr_convert(resampler.get(), planes, room, nullptr, 0);
  if (made < 0) return MediaStatus::ConverterFailed;
  pending.insert(pending.end(), converted.begin(), converted.begin() + made);
  return MediaStatus::Ok;
}

// Decodes the next frame and appends its converted samples; at the end of the
// stream it flushes the resampler and sets drained.
MediaStatus AudioDecoder::State::decodeMore() {
  AVCodecContext* decoder = opened.decoder.get();
  while (true) {
    int error = avcodec_receive_frame(decoder, frame.get());
    if (error == 0) break;
    if (error == AVERROR_EOF || (error == AVERROR(EAGAIN) && inputEnded)) {
      drained = true;
      return flushResampler();
    }
    if (error != AVERROR(EAGAIN)) {
      return ffmpeg::statusFromError(error, MediaStatus::ReadFailed, &systemError);
    }
    if (!packetHeld) {
      error = av_read_frame(opened.input.get(), packet.get());
      if (error == AVERROR_EOF) {
        avcodec_send_packet(decoder, nullptr);
        inputEnded = true;
        continue;
      }
      if (error == AVERROR(EAGAIN)) continue;
      if (error < 0) {
        return ffmpeg::statusFromError(error, MediaStatus::ReadFailed, &systemError);
      }
    }
    packetHeld = false;
    // An empty packet would tell the decoder to drain.
    if (packet->stream_index == opened.stream->index && packet->size > 0) {
      error = avcodec_send_packet(decoder, packet.get());
      if (error == AVERROR(EAGAIN)) {
        packetHeld = true;  // sent again once the decoder has given out a frame
        continue;
      }
      // A damaged packet costs its own sound only.
      if (error < 0 && error != AVERROR_INVALIDDATA) {
        av_packet_unref(packet.get());
        return ffmpeg::statusFromError(error, MediaStatus::ReadFailed, &systemError);
      }
    }
    av_packet_unref(packet.get());
  }
  if (!positioned) {
    // The first sound after opening or seeking fixes where the output stands.
    const std::int64_t time = frame->best_effort_timestamp;
    pendingStart =
        time == AV_NOPTS_VALUE
            ? 0
            : av_rescale_q_rnd(time - origin, opened.stream->time_base,
                               AVRational{1, facts.outputRate}, AV_ROUND_NEAR_INF);
    pending.clear();
    positioned = true;
    if (fromStart) soundStart = pendingStart;
  }
  const MediaStatus status = convert(frame.get());
  av_frame_unref(frame.get());
  return status;
}

MediaStatus AudioDecoder::State::seek(std::int64_t sample) {
  ++seeks;
  const std::int64_t from =
      std::max<std::int64_t>(0, sample - facts.outputRate / kPrerollDivisor);
  const std::int64_t time = origin + av_rescale_q(from, AVRational{1, facts.outputRate},
                                                  opened.stream->time_base);
  int error =
      av_seek_frame(opened.input.get(), opened.stream->index, time, AVSEEK_FLAG_BACKWARD);
  if (error < 0) {
    error = av_seek_frame(opened.input.get(), opened.stream->index, 0,
                          AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD);
  }
  avcodec_flush_buffers(opened.decoder.get());
  resampler.reset();
  pending.clear();
  positioned = false;
  inputEnded = drained = packetHeld = false;
  av_packet_unref(packet.get());
  fromStart = from == 0;
  return error < 0 ? ffmpeg::statusFromError(error, MediaStatus::ReadFailed, &systemError)
                   : MediaStatus::Ok;
}

void AudioDecoder::State::dropBefore(std::int64_t sample) {
  if (!positioned || sample <= pendingStart) return;
  const std::int64_t drop =
      std::min<std::int64_t>(sample - pendingStart, std::int64_t(pending.size()));
  pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(drop));
  pendingStart += drop;
}

int countAudioStreams(const char* path) {
  return ffmpeg::countStreams(path, AVMEDIA_TYPE_AUDIO);
}

AudioDecoder::AudioDecoder() = default;
AudioDecoder::~AudioDecoder() = default;

MediaStatus AudioDecoder::open(const char* path, int outputRate, int streamNumber) {
  close();
  auto fresh = std::make_unique<State>();
  if (!fresh->packet || !fresh->frame) return MediaStatus::OutOfMemory;
  MediaStatus status =
      ffmpeg::openStream(path, AVMEDIA_TYPE_AUDIO, streamNumber, ffmpeg::Containers::Any,
                         true, fresh->opened, &fresh->systemError);
  if (status != MediaStatus::Ok) {
    lastSystemError = fresh->systemError;
    return status;
  }
  const AVStream* stream = fresh->opened.stream;
  DecodedAudioFacts& facts = fresh->facts;
  facts.sourceRate = stream->codecpar->sample_rate;
  facts.sourceChannels = stream->codecpar->ch_layout.nb_channels;
  facts.outputRate = outputRate;
  facts.timeBaseNum = stream->time_base.num;
  facts.timeBaseDen = stream->time_base.den;
  facts.container = fresh->opened.input->iformat->name;
  facts.codec = fresh->opened.decoder->codec->name;
  fresh->origin = ffmpeg::movieOrigin(fresh->opened.input.get(), stream);
  if (const std::int64_t end = ffmpeg::streamEnd(fresh->opened.input.get(), stream);
      end != AV_NOPTS_VALUE) {
    facts.length = std::max<std::int64_t>(
        0,
        av_rescale_q(end - fresh->origin, stream->time_base, AVRational{1, outputRate}));
  }
  // A file cut short: the sound ends where the whole packets the file holds
  // end (as its index tells, or as read for a Matroska file, which lost its
  // index with its end).
  const ffmpeg::IndexedPackets indexed =
      ffmpeg::indexedPackets(fresh->opened.input.get(), fresh->opened.stream);
  std::int64_t heldEnd = indexed.cut ? indexed.firstMissingTime : AV_NOPTS_VALUE;
  if (!indexed.cut && facts.container.starts_with("matroska") &&
      ffmpeg::matroskaSegmentCut(path)) {
    heldEnd = ffmpeg::lastWholePacketEnd(path, stream->index, 0);
  }
  if (heldEnd != AV_NOPTS_VALUE) {
    const std::int64_t held = std::max<std::int64_t>(
        0, av_rescale_q(heldEnd - fresh->origin, stream->time_base, AVRational{1, outputRate}));
    if (held < facts.length) {
      facts.statedLength = facts.length;
      facts.length = held;
    }
  }
  // The first sound proves that the stream decodes.
  while (fresh->pending.empty() && !fresh->drained) {
    status = fresh->decodeMore();
    if (status != MediaStatus::Ok) {
      lastSystemError = fresh->systemError;
      return status;
    }
  }
  state = std::move(fresh);
  return MediaStatus::Ok;
}

void AudioDecoder::close() { state.reset(); }

bool AudioDecoder::isOpen() const { return state != nullptr; }

int AudioDecoder::systemError() const {
  return state ? state->systemError : lastSystemError;
}

const DecodedAudioFacts& AudioDecoder::facts() const {
  static const DecodedAudioFacts kClosed;
  return state ? state->facts : kClosed;
}

MediaStatus AudioDecoder::read(std::int64_t first, int maxSamples, std::int16_t* out,
                               int& delivered) {
  delivered = 0;
  if (!state) return MediaStatus::NotOpen;
  State& s = *state;
  if (first < 0) return MediaStatus::ReadFailed;
  if (maxSamples <= 0 || first >= s.facts.length) return MediaStatus::Ok;
  const std::int64_t wanted = std::min<std::int64_t>(maxSamples, s.facts.length - first);
  const std::int64_t farAhead = std::int64_t(kFarAheadSeconds) * s.facts.outputRate;
  if (!s.positioned || first < s.pendingStart || first > s.pendingEnd() + farAhead) {
    // Before the first sound of a stream decoded from its start lies silence,
    // not a reason to seek (as long as nothing of that sound was dropped).
    const bool leadingSilence = s.positioned && s.fromStart &&
                                s.pendingStart == s.soundStart && first < s.pendingStart;
    if (!leadingSilence || first > s.pendingEnd() + farAhead) {
      if (MediaStatus status = s.seek(first); status != MediaStatus::Ok) return status;
    }
  }
  while (true) {
    s.dropBefore(first);
    if (s.positioned && s.pendingStart > first && !s.fromStart) {
      // The seek landed after the wanted sample: decode from the beginning.
      if (MediaStatus status = s.seek(0); status != MediaStatus::Ok) return status;
      continue;
    }
    if (s.positioned && s.pendingEnd() >= first + wanted) break;
    if (s.drained) break;
    if (MediaStatus status = s.decodeMore(); status != MediaStatus::Ok) return status;
  }
  std::int64_t written = 0;
  if (s.positioned && s.pendingStart > first) {
    written = std::min(wanted, s.pendingStart - first);  // silence before the first sound
    std::fill(out, out + written, std::int16_t(0));
  }
  if (s.positioned) {
    const std::int64_t from = first + written;
    const std::int64_t count =
        std::clamp<std::int64_t>(s.pendingEnd() - from, 0, wanted - written);
    if (count > 0) {
      std::memcpy(out + written, s.pending.data() + (from - s.pendingStart),
                  std::size_t(count) * sizeof(std::int16_t));
      written += count;
    }
  }
  delivered = int(written);
  return MediaStatus::Ok;
}

int AudioDecoder::seekCount() const { return state ? state->seeks : 0; }

}  // namespace vantrel
