#pragma once

// Internal to the platform layer: owned FFmpeg handles and the shared open
// steps. Only platform .cpp files include this header; the public headers of
// the layer hand out plain data.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/MediaStatus.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace vantrel::ffmpeg {

struct InputDeleter {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerDeleter {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
struct ResamplerDeleter {
  void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerDeleter>;

// Which containers an open accepts.
enum class Containers { RiffOnly, Any };

// An opened container with its chosen stream and the stream's decoder.
struct OpenedStream {
  InputPtr input;
  AVStream* stream = nullptr;
  CodecPtr decoder;  // null when the caller did not ask for one
};

// Maps an FFmpeg error to a status; errno-style errors without a status of
// their own give SystemError with *systemError set. otherwise is used for
// FFmpeg's own error values.
MediaStatus statusFromError(int error, MediaStatus otherwise, int* systemError);

// Opens path, reads its stream information and picks a stream of type: for
// number 0 the stream marked default, else the first of the type; for number
// n > 0 the n-th of the type in stored order (NoStream when the file has
// fewer). A video stream that is only cover art (an attached picture) is taken
// only when the file has no other picture stream. With Containers::RiffOnly
// anything but an AVI or WAV file is UnknownFormat. With withDecoder the
// stream's decoder is opened too. On failure nothing stays open.
MediaStatus openStream(const char* path, AVMediaType type, int number, Containers accepted,
                       bool withDecoder, OpenedStream& opened, int* systemError);

// How many streams of type openStream can choose from in path; -1 when the
// file cannot be opened as media.
int countStreams(const char* path, AVMediaType type);

// Time origin of the file in the stream's time base: the container's start
// time, else the stream's, else 0.
std::int64_t movieOrigin(const AVFormatContext* input, const AVStream* stream);

// End of the stream in its time base, or AV_NOPTS_VALUE when neither the
// stream nor the container knows its duration.
std::int64_t streamEnd(const AVFormatContext* input, const AVStream* stream);

// Side data of a stream (a display matrix, mastering display or content light
// metadata): the bytes and their count; null and 0 when the stream has none.
struct SideData {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};
SideData streamSideData(const AVStream* stream, AVPacketSideDataType type);

// Silences FFmpeg's own logging: the library never prints.
void silenceLogging();

}  // namespace vantrel::ffmpeg
