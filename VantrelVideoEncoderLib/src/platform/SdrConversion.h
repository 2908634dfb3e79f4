#pragma once

// Internal to the platform layer: pictures with an HDR transfer (SMPTE ST 2084
// "PQ", ARIB STD-B67 "HLG") or with primaries wider than BT.709 / BT.601 turned
// into SDR BT.709 through FFmpeg's own filters. zscale linearises the picture
// and converts its primaries, tonemap rolls the highlights off into the SDR
// range, and zscale encodes the result with the BT.709 curve. SDR pictures
// never enter the filters.

#include <cstdint>
#include <string>

#include "platform/FfmpegHandles.h"

struct AVFilterGraph;
struct AVFilterContext;

namespace vantrel::ffmpeg {

// Luminance in cd/m^2 that lands on full white: the reference white of
// ITU-R BT.2408 (HLG's 75 % signal, PQ's 203 cd/m^2).
constexpr double kReferenceWhite = 203.0;
// The peak assumed without mastering or content-light metadata: 1000 cd/m^2,
// HLG's nominal display peak and the usual grade of PQ material.
constexpr double kDefaultPeak = 1000.0;

// True when picture must be converted before it is shown as SDR BT.709: its
// transfer is PQ or HLG, or its primaries are tagged as something other than
// BT.709 or BT.601 (untagged pictures are SDR).
bool needsSdrConversion(const AVFrame* picture);

// The brightest light of the stream in cd/m^2 as its metadata states it: the
// content light level's MaxCLL, else the mastering display's peak; 0 when the
// stream carries neither.
double statedPeak(const AVStream* stream);

struct FilterGraphDeleter {
  void operator()(AVFilterGraph* graph) const;
};

// One filter chain, built for the pictures' format, size and colour tags and
// built again when they change.
class SdrConversion {
 public:
  SdrConversion();
  ~SdrConversion();
  SdrConversion(const SdrConversion&) = delete;
  SdrConversion& operator=(const SdrConversion&) = delete;

  // Converts picture (one that needsSdrConversion) into 8-bit planar RGB
  // (AV_PIX_FMT_GBRP, full range, BT.709 primaries and transfer) of the same
  // size. streamPeak (cd/m^2, 0 when unknown) is the tone-mapping peak when the
  // picture carries no metadata of its own. Returns the converted picture,
  // owned here and valid until the next call, or nullptr when the filters
  // cannot convert it (an unknown tag).
  const AVFrame* convert(AVFrame* picture, double streamPeak);

 private:
  bool build(const AVFrame* picture, const std::string& chain);

  std::unique_ptr<AVFilterGraph, FilterGraphDeleter> graph;
  AVFilterContext* source = nullptr;
  AVFilterContext* sink = nullptr;
  std::string builtFor;  // the chain and the input size and format it was built for
  FramePtr converted{av_frame_alloc()};
};

}  // namespace vantrel::ffmpeg
