#include "platform/SdrConversion.h"

#include <algorithm>
#include <cstdio>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

namespace vantrel::ffmpeg {

namespace {

// Where the tone curve leaves the picture as it is, relative to reference
// white: below it the picture keeps its light, above it the mobius curve rolls
// the highlights off so that the peak lands on full white.
constexpr double kRollOffStart = 0.9;

bool isHdrTransfer(int transfer) {
  return transfer == AVCOL_TRC_SMPTE2084 || transfer == AVCOL_TRC_ARIB_STD_B67;
}

// Primaries an SDR BT.709 picture can show as they are: BT.709, the two of
// BT.601 (and SMPTE 240M, which is BT.601's 525-line set), and none stated.
bool isSdrGamut(int primaries) {
  return primaries == AVCOL_PRI_BT709 || primaries == AVCOL_PRI_BT470BG ||
         primaries == AVCOL_PRI_SMPTE170M || primaries == AVCOL_PRI_SMPTE240M ||
         primaries == AVCOL_PRI_UNSPECIFIED || primaries == AVCOL_PRI_RESERVED ||
         primaries == AVCOL_PRI_RESERVED0;
}

// The peak a picture's own metadata states (an HEVC stream's SEI), else 0.
double framePeak(const AVFrame* picture) {
  if (const AVFrameSideData* side =
          av_frame_get_side_data(picture, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL);
      side != nullptr && side->size >= sizeof(AVContentLightMetadata)) {
    const auto* light = reinterpret_cast<const AVContentLightMetadata*>(side->data);
    if (light->MaxCLL > 0) return light->MaxCLL;
  }
  if (const AVFrameSideData* side =
          av_frame_get_side_data(picture, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
      side != nullptr && side->size >= sizeof(AVMasteringDisplayMetadata)) {
    const auto* display = reinterpret_cast<const AVMasteringDisplayMetadata*>(side->data);
    if (display->has_luminance && display->max_luminance.den > 0) {
      return av_q2d(display->max_luminance);
    }
  }
  return 0.0;
}

// The zscale description of the picture's input: transfer, primaries, matrix
// and range, as H.273 code points (zscale's own values). Untagged parts take
// what an HDR picture of that kind carries: BT.2020 primaries and matrix, and
// for the matrix of other primaries the customary one for the picture's size.
std::string inputDescription(const AVFrame* picture) {
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(AVPixelFormat(picture->format));
  const bool rgb = format != nullptr && (format->flags & AV_PIX_FMT_FLAG_RGB) != 0;
  int transfer = picture->color_trc;
  if (transfer == AVCOL_TRC_UNSPECIFIED || transfer == AVCOL_TRC_RESERVED ||
      transfer == AVCOL_TRC_RESERVED0) {
    transfer = AVCOL_TRC_BT709;
  }
  int primaries = picture->color_primaries;
  if (primaries == AVCOL_PRI_UNSPECIFIED || primaries == AVCOL_PRI_RESERVED ||
      primaries == AVCOL_PRI_RESERVED0) {
    primaries = AVCOL_PRI_BT2020;
  }
  int matrix = picture->colorspace;
  if (rgb) {
    matrix = AVCOL_SPC_RGB;
  } else if (matrix == AVCOL_SPC_UNSPECIFIED || matrix == AVCOL_SPC_RESERVED ||
             matrix == AVCOL_SPC_RGB) {
    matrix = primaries == AVCOL_PRI_BT2020 ? AVCOL_SPC_BT2020_NCL
             : picture->height >= 720     ? AVCOL_SPC_BT709
                                          : AVCOL_SPC_BT470BG;
  }
  const bool fullRange = rgb || picture->color_range == AVCOL_RANGE_JPEG ||
                         picture->format == AV_PIX_FMT_YUVJ420P ||
                         picture->format == AV_PIX_FMT_YUVJ422P ||
                         picture->format == AV_PIX_FMT_YUVJ444P;
  char text[96];
  std::snprintf(text, sizeof text, "tin=%d:pin=%d:min=%d:rin=%s", transfer, primaries, matrix,
                fullRange ? "full" : "limited");
  return text;
}

// The chain from the picture to 8-bit BT.709 RGB. An HDR picture is
// linearised with reference white at 1.0, converted to BT.709 primaries in
// float, tone-mapped from peak down to 1.0, and encoded with the BT.709
// curve; an SDR picture of wider primaries only has its primaries converted.
std::string filterChain(const AVFrame* picture, double peak) {
  constexpr const char* kSdrOutput = "t=709:p=709:m=0:r=full";
  const std::string input = inputDescription(picture);
  char text[512];
  if (!isHdrTransfer(picture->color_trc)) {
    std::snprintf(text, sizeof text, "zscale=%s:%s:dither=none,format=gbrp", input.c_str(),
                  kSdrOutput);
    return text;
  }
  std::snprintf(text, sizeof text,
                "zscale=%s:t=8:p=709:m=0:r=full:npl=%g,format=gbrpf32le,"
                "tonemap=tonemap=mobius:param=%g:peak=%.4f,"
                "zscale=tin=8:pin=709:min=0:rin=full:%s:dither=none,format=gbrp",
                input.c_str(), kReferenceWhite, kRollOffStart,
                std::max(peak, kReferenceWhite) / kReferenceWhite, kSdrOutput);
  return text;
}

}  // namespace

bool needsSdrConversion(const AVFrame* picture) {
  return isHdrTransfer(picture->color_trc) || !isSdrGamut(picture->color_primaries);
}

double statedPeak(const AVStream* stream) {
  const SideData light = streamSideData(stream, AV_PKT_DATA_CONTENT_LIGHT_LEVEL);
  if (light.size >= sizeof(AVContentLightMetadata)) {
    const auto* level = reinterpret_cast<const AVContentLightMetadata*>(light.data);
    if (level->MaxCLL > 0) return level->MaxCLL;
  }
  const SideData mastering = streamSideData(stream, AV_PKT_DATA_MASTERING_DISPLAY_METADATA);
  if (mastering.size >= sizeof(AVMasteringDisplayMetadata)) {
    const auto* display = reinterpret_cast<const AVMasteringDisplayMetadata*>(mastering.data);
    if (display->has_luminance && display->max_luminance.den > 0) {
      return av_q2d(display->max_luminance);
    }
  }
  return 0.0;
}

void FilterGraphDeleter::operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }

SdrConversion::SdrConversion() = default;
SdrConversion::~SdrConversion() = default;

bool SdrConversion::build(const AVFrame* picture, const std::string& chain) {
  graph.reset(avfilter_graph_alloc());
  source = nullptr;
  sink = nullptr;
  builtFor.clear();
  if (!graph) return false;
  const char* formatName = av_get_pix_fmt_name(AVPixelFormat(picture->format));
  if (formatName == nullptr) return false;
  char arguments[160];
  std::snprintf(arguments, sizeof arguments,
                "video_size=%dx%d:pix_fmt=%s:time_base=1/1:pixel_aspect=1/1", picture->width,
                picture->height, formatName);
  if (avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", arguments,
                                   nullptr, graph.get()) < 0 ||
      avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr,
                                   nullptr, graph.get()) < 0) {
    return false;
  }
  AVFilterInOut* outputs = avfilter_inout_alloc();
  AVFilterInOut* inputs = avfilter_inout_alloc();
  int error = outputs != nullptr && inputs != nullptr ? 0 : AVERROR(ENOMEM);
  if (error == 0) {
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    error = avfilter_graph_parse_ptr(graph.get(), chain.c_str(), &inputs, &outputs, nullptr);
  }
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  if (error < 0 || avfilter_graph_config(graph.get(), nullptr) < 0) {
    graph.reset();
    return false;
  }
  return true;
}

const AVFrame* SdrConversion::convert(AVFrame* picture, double streamPeak) {
  if (!converted) return nullptr;
  double peak = framePeak(picture);
  if (peak <= 0.0) peak = streamPeak > 0.0 ? streamPeak : kDefaultPeak;
  const std::string chain = filterChain(picture, peak);
  char input[64];
  std::snprintf(input, sizeof input, "|%dx%d:%d", picture->width, picture->height,
                picture->format);
  if (!graph || builtFor != chain + input) {
    if (!build(picture, chain)) return nullptr;
    builtFor = chain + input;
  }
  av_frame_unref(converted.get());
  if (av_buffersrc_add_frame_flags(source, picture, AV_BUFFERSRC_FLAG_KEEP_REF) < 0 ||
      av_buffersink_get_frame(sink, converted.get()) < 0) {
    graph.reset();  // built afresh for the next picture
    return nullptr;
  }
  return converted.get();
}

}  // namespace vantrel::ffmpeg
