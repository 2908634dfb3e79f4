#pragma once

// Internal to the inspector: the FFmpeg handles its writers own, and the steps
// the preview's picture and sound encoders share.

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vantrel::inspect {

struct InputDeleter {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct OutputDeleter {
  void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
struct CodecDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct AvFrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct AvPacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameDeleter>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketDeleter>;

// An encoder context for codec id, or null when FFmpeg has none.
CodecPtr allocateEncoder(AVCodecID id);

// The sample formats and the sample rates codec's encoder takes, each list
// ending in AV_SAMPLE_FMT_NONE or 0; null when it takes any.
const AVSampleFormat* supportedSampleFormats(const AVCodec& codec);
const int* supportedSampleRates(const AVCodec& codec);

// Opens encoder (set up by the caller) with options and adds its stream to
// output. Returns an empty string or what went wrong.
std::string openEncoderStream(AVFormatContext& output, AVCodecContext& encoder,
                              AVDictionary** options, AVStream*& stream);

// Sends frame (null: the end) to encoder and writes every packet it gives back
// into stream, interleaved with the other streams. A packet without a duration
// lasts defaultDuration (in the encoder's time base).
std::string encodeAndWrite(AVFormatContext& output, AVCodecContext& encoder,
                           AVStream& stream, const AVFrame* frame,
                           std::int64_t defaultDuration);

}  // namespace vantrel::inspect
