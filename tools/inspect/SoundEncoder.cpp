#include "SoundEncoder.h"

#include <vector>

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace vantrel::inspect {

namespace {

constexpr int kDefaultFrameSize = 1024;

// The lowest rate the codec takes at or above rate, else its highest; rate
// itself when the codec takes any.
int encoderRate(const AVCodec& codec, int rate) {
  const int* rates = supportedSampleRates(codec);
  if (rates == nullptr) return rate;
  int best = 0;
  int highest = 0;
  for (const int* r = rates; *r != 0; ++r) {
    if (*r >= rate && (best == 0 || *r < best)) best = *r;
    highest = std::max(highest, *r);
  }
  return best != 0 ? best : highest;
}

}  // namespace

SoundEncoder::~SoundEncoder() {
  swr_free(&resampler);
  if (waiting != nullptr) av_audio_fifo_free(waiting);
}

std::string SoundEncoder::open(AVFormatContext& output, AVCodecID id, int sampleRate) {
  encoder = allocateEncoder(id);
  if (!encoder) return "not available";
  const AVCodec& codec = *encoder->codec;
  const AVSampleFormat* formats = supportedSampleFormats(codec);
  encoder->sample_fmt = formats != nullptr ? formats[0] : AV_SAMPLE_FMT_S16;
  encoder->sample_rate = encoderRate(codec, sampleRate);
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  if (av_channel_layout_copy(&encoder->ch_layout, &mono) < 0) return "out of memory";
  encoder->time_base = AVRational{1, encoder->sample_rate};
  if (id == AV_CODEC_ID_VORBIS) {
    encoder->flags |= AV_CODEC_FLAG_QSCALE;  // quality 6 of 10, whatever the rate
    encoder->global_quality = 6 * FF_QP2LAMBDA;
  } else {
    encoder->bit_rate = 64000;
  }
  AVDictionary* options = nullptr;
  if (std::string why = openEncoderStream(output, *encoder, &options, stream);
      !why.empty()) {
    return why;
  }
  const bool anySize = encoder->frame_size == 0 ||
                       (codec.capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0;
  frameSize = anySize ? kDefaultFrameSize : encoder->frame_size;
  if (swr_alloc_set_opts2(&resampler, &encoder->ch_layout, encoder->sample_fmt,
                          encoder->sample_rate, &mono, AV_SAMPLE_FMT_S16, sampleRate, 0,
                          nullptr) < 0 ||
      swr_init(resampler) < 0) {
    return "no resampler for it";
  }
  waiting = av_audio_fifo_alloc(encoder->sample_fmt, 1, frameSize);
  return waiting != nullptr ? "" : "out of memory";
}

std::string SoundEncoder::write(AVFormatContext& output, const std::int16_t* samples,
                                std::size_t count) {
  if (!encoder || resampler == nullptr) return "the sound stream is not open";
  // Null samples flush what the resampler still holds.
  const int in = int(count);
  const int room = swr_get_out_samples(resampler, in);
  if (room < 0) return "the resampler failed";
  std::vector<std::uint8_t> converted(
      std::size_t(room + 1) * std::size_t(av_get_bytes_per_sample(encoder->sample_fmt)));
  std::uint8_t* planes[1] = {converted.data()};
  const std::uint8_t* inPlanes[1] = {reinterpret_cast<const std::uint8_t*>(samples)};
  const int made =
      swr_convert(resampler, planes, room + 1, samples ? inPlanes : nullptr, in);
  if (made < 0) return "the resampler failed";
  if (made > 0 &&
      av_audio_fifo_write(waiting, reinterpret_cast<void**>(planes), made) < made) {
    return "out of memory";
  }
  return encodeWaiting(output, false);
}

std::string SoundEncoder::finish(AVFormatContext& output) {
  if (std::string why = write(output, nullptr, 0); !why.empty()) return why;
  if (std::string why = encodeWaiting(output, true); !why.empty()) return why;
  return encodeAndWrite(output, *encoder, *stream, nullptr, 0);
}

std::string SoundEncoder::encodeWaiting(AVFormatContext& output, bool all) {
  const bool shortLast =
      (encoder->codec->capabilities &
       (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) != 0;
  while (av_audio_fifo_size(waiting) >= frameSize ||
         (all && av_audio_fifo_size(waiting) > 0)) {
    const int take = std::min(av_audio_fifo_size(waiting), frameSize);
    AvFramePtr frame(av_frame_alloc());
    if (!frame) return "out of memory";
    frame->format = encoder->sample_fmt;
    frame->sample_rate = encoder->sample_rate;
    frame->nb_samples = shortLast ? take : frameSize;
    if (av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout) < 0 ||
        av_frame_get_buffer(frame.get(), 0) < 0) {
      return "out of memory";
    }
    av_samples_set_silence(frame->data, 0, frame->nb_samples, 1, encoder->sample_fmt);
    if (av_audio_fifo_read(waiting, reinterpret_cast<void**>(frame->data), take) < take) {
      return "the sound buffer failed";
    }
    frame->pts = nextPts;
    nextPts += frame->nb_samples;
    if (std::string why = encodeAndWrite(output, *encoder, *stream, frame.get(), 0);
        !why.empty()) {
      return why;
    }
  }
  return {};
}

}  // namespace vantrel::inspect
