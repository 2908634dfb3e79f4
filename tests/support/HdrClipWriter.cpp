#include "support/HdrClipWriter.h"

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/mastering_display_metadata.h>
}

#include "support/ClipWriterHandles.h"

namespace vantrel::test {

namespace {

struct GraphDeleter {
  void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};

// Full white, six 75 % colours and a mid gray: highlights at the top of the
// SDR range and colours well inside it.
constexpr std::array<std::uint32_t, kClipBarCount> kBars = {
    0xFFFFFF, 0xBFBF00, 0x00BFBF, 0x00BF00, 0xBF00BF, 0xBF0000, 0x0000BF, 0x808080};

std::string failure(const char* what, int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return std::string(what) + ": " + text;
}

int transferOf(ClipTransfer transfer) {
  switch (transfer) {
    case ClipTransfer::Hlg: return AVCOL_TRC_ARIB_STD_B67;
    case ClipTransfer::Pq: return AVCOL_TRC_SMPTE2084;
    case ClipTransfer::Sdr: break;
  }
  return AVCOL_TRC_BT709;
}

// The SDR picture as 24-bit RGB, converted by zscale into 10-bit 4:2:0 YUV
// with the clip's transfer (BT.2020 primaries and matrix for HDR), the SDR
// range's white at HDR reference white.
std::string convertPicture(const HdrClip& shape, AVFrame* into) {
  std::unique_ptr<AVFilterGraph, GraphDeleter> graph(avfilter_graph_alloc());
  if (!graph) return "out of memory";
  AVFilterContext* source = nullptr;
  AVFilterContext* sink = nullptr;
  char arguments[128];
  std::snprintf(arguments, sizeof arguments,
                "video_size=%dx%d:pix_fmt=rgb24:time_base=1/%d:pixel_aspect=1/1", shape.width,
                shape.height, shape.fps);
  int error = avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in",
                                           arguments, nullptr, graph.get());
  if (error >= 0) {
    error = avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out",
                                         nullptr, nullptr, graph.get());
  }
  if (error < 0) return failure("making the filters", error);
  const bool hdr = shape.transfer != ClipTransfer::Sdr;
  char chain[256];
  std::snprintf(chain, sizeof chain,
                "zscale=tin=1:pin=1:min=0:rin=full:t=%d:p=%d:m=%d:r=limited:npl=203:"
                "dither=none,format=yuv420p10le",
                transferOf(shape.transfer), hdr ? AVCOL_PRI_BT2020 : AVCOL_PRI_BT709,
                hdr ? AVCOL_SPC_BT2020_NCL : AVCOL_SPC_BT709);
  AVFilterInOut* outputs = avfilter_inout_alloc();
  AVFilterInOut* inputs = avfilter_inout_alloc();
  if (outputs && inputs) {
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    error = avfilter_graph_parse_ptr(graph.get(), chain, &inputs, &outputs, nullptr);
  } else {
    error = AVERROR(ENOMEM);
  }
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  if (error >= 0) error = avfilter_graph_config(graph.get(), nullptr);
  if (error < 0) return failure("configuring the filters", error);

  FramePtr rgb(av_frame_alloc());
  if (!rgb) return "out of memory";
  rgb->format = AV_PIX_FMT_RGB24;
  rgb->width = shape.width;
  rgb->height = shape.height;
  if ((error = av_frame_get_buffer(rgb.get(), 0)) < 0) return failure("a picture", error);
  for (int y = 0; y < shape.height; ++y) {
    for (int x = 0; x < shape.width; ++x) {
      const std::uint32_t colour = clipSceneColour(shape.scene, x * kClipBarCount / shape.width);
      std::uint8_t* pixel = rgb->data[0] + y * rgb->linesize[0] + x * 3;
      pixel[0] = std::uint8_t(colour >> 16);
      pixel[1] = std::uint8_t(colour >> 8);
      pixel[2] = std::uint8_t(colour);
    }
  }
  error = av_buffersrc_add_frame_flags(source, rgb.get(), 0);
  if (error >= 0) error = av_buffersink_get_frame(sink, into);
  return error < 0 ? failure("converting the picture", error) : std::string();
}

// Sends a frame (null = flush) and writes every packet the encoder gives.
std::string encode(AVFormatContext* output, AVCodecContext* encoder, AVStream* stream,
                   AVFrame* frame) {
  int error = avcodec_send_frame(encoder, frame);
  if (error < 0) return failure("sending a picture", error);
  PacketPtr packet(av_packet_alloc());
  while ((error = avcodec_receive_packet(encoder, packet.get())) >= 0) {
    av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
    packet->stream_index = stream->index;
    if ((error = av_interleaved_write_frame(output, packet.get())) < 0) {
      return failure("writing a packet", error);
    }
  }
  return error == AVERROR(EAGAIN) || error == AVERROR_EOF ? std::string()
                                                          : failure("encoding", error);
}

}  // namespace

std::uint32_t clipSceneColour(ClipScene scene, int bar) {
  return scene == ClipScene::WhiteField ? 0xFFFFFF : kBars[std::size_t(bar)];
}

std::string writeHdrClip(const std::string& path, const HdrClip& shape) {
  av_log_set_level(AV_LOG_QUIET);
  FramePtr picture(av_frame_alloc());
  if (!picture) return "out of memory";
  if (std::string why = convertPicture(shape, picture.get()); !why.empty()) return why;

  AVFormatContext* raw = nullptr;
  int error = avformat_alloc_output_context2(&raw, nullptr, "matroska", path.c_str());
  if (error < 0 || !raw) return failure("choosing the container", error);
  OutputPtr output(raw);
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_FFV1);
  if (!codec) return "no FFV1 encoder";
  CodecPtr encoder(avcodec_alloc_context3(codec));
  AVStream* stream = avformat_new_stream(output.get(), nullptr);
  if (!encoder || !stream) return "out of memory";
  const bool hdr = shape.transfer != ClipTransfer::Sdr;
  encoder->width = shape.width;
  encoder->height = shape.height;
  encoder->pix_fmt = AV_PIX_FMT_YUV420P10LE;
  encoder->time_base = AVRational{1, shape.fps};
  encoder->color_range = AVCOL_RANGE_MPEG;
  encoder->color_trc = AVColorTransferCharacteristic(transferOf(shape.transfer));
  encoder->color_primaries = hdr ? AVCOL_PRI_BT2020 : AVCOL_PRI_BT709;
  encoder->colorspace = hdr ? AVCOL_SPC_BT2020_NCL : AVCOL_SPC_BT709;
  encoder->thread_count = 1;
  if ((error = avcodec_open2(encoder.get(), codec, nullptr)) < 0) {
    return failure("opening the encoder", error);
  }
  if ((error = avcodec_parameters_from_context(stream->codecpar, encoder.get())) < 0) {
    return failure("copying the parameters", error);
  }
  stream->time_base = encoder->time_base;
  if (shape.maxContentLight > 0) {
    constexpr std::size_t kSize = sizeof(AVContentLightMetadata);
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
    AVPacketSideData* side = av_packet_side_data_new(
        &stream->codecpar->coded_side_data, &stream->codecpar->nb_coded_side_data,
        AV_PKT_DATA_CONTENT_LIGHT_LEVEL, kSize, 0);
    std::uint8_t* data = side != nullptr ? side->data : nullptr;
#else
    std::uint8_t* data = av_stream_new_side_data(stream, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, kSize);
#endif
    if (!data) return "out of memory";
    auto* light = reinterpret_cast<AVContentLightMetadata*>(data);
    light->MaxCLL = unsigned(shape.maxContentLight);
    light->MaxFALL = unsigned(shape.maxContentLight);
  }
  if ((error = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) {
    return failure("opening the file", error);
  }
  if ((error = avformat_write_header(output.get(), nullptr)) < 0) {
    return failure("writing the header", error);
  }
  for (int i = 0; i < shape.frames; ++i) {
    picture->pts = i;
    if (std::string why = encode(output.get(), encoder.get(), stream, picture.get());
        !why.empty()) {
      return why;
    }
  }
  if (std::string why = encode(output.get(), encoder.get(), stream, nullptr); !why.empty()) {
    return why;
  }
  error = av_write_trailer(output.get());
  return error < 0 ? failure("writing the trailer", error) : std::string();
}

}  // namespace vantrel::test
