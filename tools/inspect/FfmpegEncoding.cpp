#include "FfmpegEncoding.h"

namespace vantrel::inspect {

namespace {

#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
// The list of one kind of setting the codec takes (FFmpeg 7.1 on), null when
// any value goes or the codec does not say.
const void* supportedConfig(const AVCodec& codec, AVCodecConfig config) {
  const void* values = nullptr;
  int count = 0;
  if (avcodec_get_supported_config(nullptr, &codec, config, 0, &values, &count) < 0) {
    return nullptr;
  }
  return values;
}
#endif

}  // namespace

CodecPtr allocateEncoder(AVCodecID id) {
  const AVCodec* codec = avcodec_find_encoder(id);
  if (codec == nullptr) return nullptr;
  return CodecPtr(avcodec_alloc_context3(codec));
}

const AVSampleFormat* supportedSampleFormats(const AVCodec& codec) {
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
  return static_cast<const AVSampleFormat*>(
      supportedConfig(codec, AV_CODEC_CONFIG_SAMPLE_FORMAT));
#else
  return codec.sample_fmts;
#endif
}

const int* supportedSampleRates(const AVCodec& codec) {
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
  return static_cast<const int*>(supportedConfig(codec, AV_CODEC_CONFIG_SAMPLE_RATE));
#else
  return codec.supported_samplerates;
#endif
}

std::string openEncoderStream(AVFormatContext& output, AVCodecContext& encoder,
                              AVDictionary** options, AVStream*& stream) {
  if ((output.oformat->flags & AVFMT_GLOBALHEADER) != 0) {
    encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  // A fallback encoder that FFmpeg still calls experimental is taken as it is.
  encoder.strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
  const int opened = avcodec_open2(&encoder, encoder.codec, options);
  av_dict_free(options);
  if (opened < 0) return "cannot be opened for this picture or sound";
  stream = avformat_new_stream(&output, nullptr);
  if (stream == nullptr ||
      avcodec_parameters_from_context(stream->codecpar, &encoder) < 0) {
    return "cannot add its stream";
  }
  stream->time_base = encoder.time_base;
  return {};
}

std::string encodeAndWrite(AVFormatContext& output, AVCodecContext& encoder,
                           AVStream& stream, const AVFrame* frame,
                           std::int64_t defaultDuration) {
  if (avcodec_send_frame(&encoder, frame) < 0) return "the encoder refused a frame";
  AvPacketPtr packet(av_packet_alloc());
  if (!packet) return "out of memory";
  for (;;) {
    const int received = avcodec_receive_packet(&encoder, packet.get());
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return {};
    if (received < 0) return "the encoder failed";
    if (packet->duration == 0) packet->duration = defaultDuration;
    av_packet_rescale_ts(packet.get(), encoder.time_base, stream.time_base);
    packet->stream_index = stream.index;
    if (av_interleaved_write_frame(&output, packet.get()) < 0)
      return "cannot write the file";
  }
}

}  // namespace vantrel::inspect
