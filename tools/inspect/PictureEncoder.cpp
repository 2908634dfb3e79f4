#include "PictureEncoder.h"

#include <algorithm>
#include <unordered_map>

extern "C" {
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace vantrel::inspect {

namespace {

// Quality settings: the preview is for looking closely, so the encoders keep
// nearly every detail of the (small) handheld pictures.
void chooseQuality(AVCodecContext& encoder, AVDictionary** options) {
  switch (encoder.codec_id) {
    case AV_CODEC_ID_H264:
      av_dict_set(options, "crf", "16", 0);
      av_dict_set(options, "preset", "fast", 0);
      break;
    case AV_CODEC_ID_VP9:
      av_dict_set(options, "crf", "15", 0);
      av_dict_set(options, "b", "0", 0);
      av_dict_set(options, "deadline", "good", 0);
      av_dict_set(options, "cpu-used", "4", 0);
      break;
    case AV_CODEC_ID_VP8:
      encoder.bit_rate = 4000000;
      av_dict_set(options, "crf", "8", 0);
      av_dict_set(options, "deadline", "good", 0);
      av_dict_set(options, "cpu-used", "4", 0);
      break;
    case AV_CODEC_ID_MPEG4:
      encoder.flags |= AV_CODEC_FLAG_QSCALE;
      encoder.global_quality = 2 * FF_QP2LAMBDA;
      break;
    default:
      break;
  }
}

// The colours of a 3-3-2 cube, for a picture of more than 256 colours in a GIF.
std::uint32_t cubeColour(int index) {
  const int red = (index >> 5) & 7;
  const int green = (index >> 2) & 7;
  const int blue = index & 3;
  return 0xFF000000u | std::uint32_t(red * 255 / 7) << 16 |
         std::uint32_t(green * 255 / 7) << 8 | std::uint32_t(blue * 255 / 3);
}

}  // namespace

PictureEncoder::~PictureEncoder() { sws_freeContext(converter); }

std::string PictureEncoder::open(AVFormatContext& output, AVCodecID id,
                                 const PreviewShape& shape) {
  encoder = allocateEncoder(id);
  frame.reset(av_frame_alloc());
  if (!encoder || !frame) return "not available";
  const bool paletted = id == AV_CODEC_ID_GIF;
  encoder->width = shape.width;
  encoder->height = shape.height;
  encoder->pix_fmt = paletted ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_YUV420P;
  // The frame period as a fraction small enough for every codec (MPEG-4 Visual
  // takes time bases up to 1/65535); 15 fps stays exactly 15/1.
  encoder->framerate = av_d2q(shape.framesPerSecond, 65535);
  encoder->time_base = av_inv_q(encoder->framerate);
  encoder->sample_aspect_ratio = AVRational{1, 1};
  encoder->color_range = AVCOL_RANGE_MPEG;
  encoder->colorspace = AVCOL_SPC_SMPTE170M;
  encoder->thread_count = 1;
  AVDictionary* options = nullptr;
  chooseQuality(*encoder, &options);
  if (std::string why = openEncoderStream(output, *encoder, &options, stream);
      !why.empty()) {
    return why;
  }
  frame->format = encoder->pix_fmt;
  frame->width = shape.width;
  frame->height = shape.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return "out of memory";
  if (!paletted) {
    converter = sws_getContext(shape.width, shape.height, AV_PIX_FMT_RGB24, shape.width,
                               shape.height, AV_PIX_FMT_YUV420P, SWS_POINT, nullptr,
                               nullptr, nullptr);
    if (converter == nullptr) return "no colour conversion for it";
  }
  return {};
}

std::string PictureEncoder::write(AVFormatContext& output, const RgbPicture* picture) {
  if (!encoder || stream == nullptr) return "the picture stream is not open";
  if (picture == nullptr) return encodeAndWrite(output, *encoder, *stream, nullptr, 1);
  if (picture->width != encoder->width || picture->height != encoder->height) {
    return "a picture of another size";
  }
  // The encoder may still hold the last frame's buffers.
  if (av_frame_make_writable(frame.get()) < 0 || !fillFrame(*picture))
    return "out of memory";
  frame->pts = nextPts++;
  frame->quality = encoder->global_quality;
  return encodeAndWrite(output, *encoder, *stream, frame.get(), 1);
}

bool PictureEncoder::fillFrame(const RgbPicture& picture) {
  if (converter == nullptr) {
    fillPalettedFrame(picture);
    return true;
  }
  const std::uint8_t* source[1] = {picture.rgb.data()};
  const int stride[1] = {picture.width * 3};
  return sws_scale(converter, source, stride, 0, picture.height, frame->data,
                   frame->linesize) == picture.height;
}

void PictureEncoder::fillPalettedFrame(const RgbPicture& picture) {
  // The handheld's 8-bit pictures have at most 256 colours and keep them
  // exactly; anything richer falls back to a fixed 3-3-2 cube.
  std::unordered_map<std::uint32_t, int> entries;
  auto* palette = reinterpret_cast<std::uint32_t*>(frame->data[1]);
  std::fill(palette, palette + 256, 0xFF000000u);
  for (int y = 0; y < picture.height && entries.size() <= 256; ++y) {
    for (int x = 0; x < picture.width && entries.size() <= 256; ++x) {
      const std::uint32_t colour = picture.pixel(x, y);
      if (entries.emplace(colour, int(entries.size())).second && entries.size() <= 256) {
        palette[entries.size() - 1] = 0xFF000000u | colour;
      }
    }
  }
  const bool exact = entries.size() <= 256;
  if (!exact) {
    for (int i = 0; i < 256; ++i) palette[i] = cubeColour(i);
  }
  for (int y = 0; y < picture.height; ++y) {
    std::uint8_t* row = frame->data[0] + std::size_t(y) * frame->linesize[0];
    for (int x = 0; x < picture.width; ++x) {
      const std::uint32_t colour = picture.pixel(x, y);
      if (exact) {
        row[x] = std::uint8_t(entries[colour]);
      } else {
        const int red = int((colour >> 16 & 0xFF) * 7 + 127) / 255;
        const int green = int((colour >> 8 & 0xFF) * 7 + 127) / 255;
        const int blue = int((colour & 0xFF) * 3 + 127) / 255;
        row[x] = std::uint8_t(red << 5 | green << 2 | blue);
      }
    }
  }
}

}  // namespace vantrel::inspect
