#pragma once

#include <cstdint>
#include <string>

#include "FfmpegEncoding.h"
#include "PictureConversion.h"
#include "PreviewWriter.h"

struct SwsContext;

namespace vantrel::inspect {

// The picture stream of a preview file: RGB pictures converted for the encoder
// (YUV 4:2:0 for H.264, MPEG-4 Visual, VP9 and VP8; a palette of the picture's
// own colours for GIF) and encoded at a high quality, one frame period each.
class PictureEncoder {
 public:
  PictureEncoder() = default;
  ~PictureEncoder();
  PictureEncoder(const PictureEncoder&) = delete;
  PictureEncoder& operator=(const PictureEncoder&) = delete;

  // Sets up encoder id for shape's pictures and adds its stream to output.
  std::string open(AVFormatContext& output, AVCodecID id, const PreviewShape& shape);
  // Encodes the next picture, or drains the encoder when picture is null.
  std::string write(AVFormatContext& output, const RgbPicture* picture);

 private:
  bool fillFrame(const RgbPicture& picture);
  void fillPalettedFrame(const RgbPicture& picture);

  CodecPtr encoder;
  AvFramePtr frame;
  AVStream* stream = nullptr;
  SwsContext* converter = nullptr;
  std::int64_t nextPts = 0;
};

}  // namespace vantrel::inspect
