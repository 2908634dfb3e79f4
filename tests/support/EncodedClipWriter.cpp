#include "support/EncodedClipWriter.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "support/ClipWriterHandles.h"
#include "support/TestClips.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace vantrel::test {

namespace {

const AVCodec* findEncoder(ClipVideo video) {
  switch (video) {
    case ClipVideo::Mjpeg:
      return avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    case ClipVideo::Mpeg4:
      return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    case ClipVideo::H264:
      return avcodec_find_encoder_by_name("libx264");
    case ClipVideo::Png:
      return avcodec_find_encoder(AV_CODEC_ID_PNG);
    case ClipVideo::None:
      break;
  }
  return nullptr;
}

const AVCodec* findEncoder(ClipAudio audio) {
  switch (audio) {
    case ClipAudio::Pcm16:
      return avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    case ClipAudio::Aac:
      return avcodec_find_encoder(AV_CODEC_ID_AAC);
    case ClipAudio::Mp3:
      return avcodec_find_encoder(AV_CODEC_ID_MP3);
    case ClipAudio::None:
      break;
  }
  return nullptr;
}

// The sample formats codec's encoder takes, ending in AV_SAMPLE_FMT_NONE;
// null when it takes any. FFmpeg 7.1 asks through avcodec_get_supported_config.
const AVSampleFormat* sampleFormats(const AVCodec& codec) {
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
  const void* formats = nullptr;
  int count = 0;
  if (avcodec_get_supported_config(nullptr, &codec, AV_CODEC_CONFIG_SAMPLE_FORMAT, 0,
                                   &formats, &count) < 0) {
    return nullptr;
  }
  return static_cast<const AVSampleFormat*>(formats);
#else
  return codec.sample_fmts;
#endif
}

// Room for a display matrix (nine 32-bit values) in the stream's side data,
// which libavformat keeps in the codec parameters since 60.15; null when
// memory runs out.
std::uint8_t* newDisplayMatrix(AVStream& stream) {
  constexpr std::size_t kSize = 9 * sizeof(std::int32_t);
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
  AVPacketSideData* side = av_packet_side_data_new(&stream.codecpar->coded_side_data,
                                                   &stream.codecpar->nb_coded_side_data,
                                                   AV_PKT_DATA_DISPLAYMATRIX, kSize, 0);
  return side != nullptr ? side->data : nullptr;
#else
  return av_stream_new_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, kSize);
#endif
}

// One stream being written: its encoder, a reusable frame and the next pts.
struct OutputStream {
  AVStream* stream = nullptr;
  CodecPtr encoder;
  FramePtr frame;
  std::int64_t nextPts = 0;
  std::int64_t endPts = 0;  // first pts not to write
  bool finished = true;
  // AVI stores no negative times: an encoder's priming delay (MP3) is shifted
  // away in that stream alone instead of moving every stream of the file.
  bool shiftNegative = false;
  std::int64_t shift = 0;
  // Packets carry their duration (in the encoder's time base: one picture is
  // one unit), or none at all.
  bool withDurations = true;
  std::int64_t pictureDuration = 0;  // video: 1; sound packets have their own
};

std::string failure(const char* what, int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return std::string(what) + ": " + text;
}

// Sends one frame (null = flush) to the encoder and writes every packet it gives.
std::string encodeAndWrite(AVFormatContext* output, OutputStream& out, AVFrame* frame) {
  int error = avcodec_send_frame(out.encoder.get(), frame);
  if (error < 0) return failure("sending a frame to the encoder", error);
  PacketPtr packet(av_packet_alloc());
  while (true) {
    error = avcodec_receive_packet(out.encoder.get(), packet.get());
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return {};
    if (error < 0) return failure("encoding", error);
    if (out.shiftNegative) {
      if (packet->dts != AV_NOPTS_VALUE && packet->dts + out.shift < 0)
        out.shift = -packet->dts;
      if (packet->pts != AV_NOPTS_VALUE) packet->pts += out.shift;
      if (packet->dts != AV_NOPTS_VALUE) packet->dts += out.shift;
    }
    if (!out.withDurations) {
      packet->duration = 0;
    } else if (packet->duration == 0) {
      packet->duration = out.pictureDuration;
    }
    av_packet_rescale_ts(packet.get(), out.encoder->time_base, out.stream->time_base);
    packet->stream_index = out.stream->index;
    error = av_interleaved_write_frame(output, packet.get());
    if (error < 0) return failure("writing a packet", error);
  }
}

std::string openVideo(AVFormatContext* output, const EncodedClip& shape,
                      OutputStream& out) {
  const AVCodec* codec = findEncoder(shape.video);
  if (!codec) return "no video encoder";
  out.stream = avformat_new_stream(output, nullptr);
  out.encoder.reset(avcodec_alloc_context3(codec));
  if (!out.stream || !out.encoder) return "out of memory";
  AVCodecContext* enc = out.encoder.get();
  enc->width = shape.width;
  enc->height = shape.height;
  enc->time_base = AVRational{shape.fpsDen, shape.fpsNum};
  enc->framerate = AVRational{shape.fpsNum, shape.fpsDen};
  enc->gop_size = shape.keyFrameInterval;
  if (shape.sampleAspectNum > 0) {
    enc->sample_aspect_ratio = AVRational{shape.sampleAspectNum, shape.sampleAspectDen};
    out.stream->sample_aspect_ratio = enc->sample_aspect_ratio;
  }
  enc->thread_count = 1;
  if (shape.video == ClipVideo::Mjpeg) {
    enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
  } else if (shape.video == ClipVideo::Png) {
    enc->pix_fmt = AV_PIX_FMT_RGB24;
  } else {
    enc->pix_fmt = AV_PIX_FMT_YUV420P;
  }
  if (shape.video == ClipVideo::H264) {
    av_opt_set(enc->priv_data, "preset", "veryfast", 0);
    av_opt_set(enc->priv_data, "crf", std::to_string(shape.h264Crf).c_str(), 0);
    if (shape.h264FastDecode) av_opt_set(enc->priv_data, "tune", "fastdecode", 0);
  } else {
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * 2;
    enc->max_b_frames = shape.video == ClipVideo::Mpeg4 ? shape.bFrames : 0;
  }
  if (output->oformat->flags & AVFMT_GLOBALHEADER)
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int error = avcodec_open2(enc, codec, nullptr);
  if (error < 0) return failure("opening the video encoder", error);
  error = avcodec_parameters_from_context(out.stream->codecpar, enc);
  if (error < 0) return failure("copying video parameters", error);
  out.stream->time_base = enc->time_base;
  if (shape.rotation != 0 || shape.mirrored) {
    auto* matrix = reinterpret_cast<std::int32_t*>(newDisplayMatrix(*out.stream));
    if (!matrix) return "out of memory";
    // The matrix of a clip that players turn clockwise (a phone's portrait clip
    // at 90 degrees), then mirror in display space.
    av_display_rotation_set(matrix, shape.rotation);
    if (shape.mirrored) av_display_matrix_flip(matrix, 1, 0);
  }
  out.withDurations = shape.packetDurations;
  out.pictureDuration = 1;
  out.frame.reset(av_frame_alloc());
  if (!out.frame) return "out of memory";
  out.frame->format = enc->pix_fmt;
  out.frame->width = enc->width;
  out.frame->height = enc->height;
  error = av_frame_get_buffer(out.frame.get(), 0);
  if (error < 0) return failure("allocating a picture", error);
  out.endPts = shape.frames;
  out.finished = shape.frames <= 0;
  return {};
}

std::string openAudio(AVFormatContext* output, const EncodedClip& shape,
                      OutputStream& out) {
  const AVCodec* codec = findEncoder(shape.audio);
  if (!codec) return "no audio encoder";
  out.stream = avformat_new_stream(output, nullptr);
  out.encoder.reset(avcodec_alloc_context3(codec));
  if (!out.stream || !out.encoder) return "out of memory";
  AVCodecContext* enc = out.encoder.get();
  const AVSampleFormat* formats = sampleFormats(*codec);
  enc->sample_fmt = formats ? formats[0] : AV_SAMPLE_FMT_S16;
  enc->sample_rate = shape.sampleRate;
  av_channel_layout_default(&enc->ch_layout, shape.channels);
  enc->bit_rate = shape.audio == ClipAudio::Pcm16 ? 0 : 128000;
  enc->time_base = AVRational{1, shape.sampleRate};
  if (output->oformat->flags & AVFMT_GLOBALHEADER)
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int error = avcodec_open2(enc, codec, nullptr);
  if (error < 0) return failure("opening the audio encoder", error);
  error = avcodec_parameters_from_context(out.stream->codecpar, enc);
  if (error < 0) return failure("copying audio parameters", error);
  out.stream->time_base = enc->time_base;
  int frameSize = enc->frame_size > 0 ? enc->frame_size : 1024;
  out.frame.reset(av_frame_alloc());
  if (!out.frame) return "out of memory";
  out.frame->format = enc->sample_fmt;
  out.frame->sample_rate = enc->sample_rate;
  out.frame->nb_samples = frameSize;
  error = av_channel_layout_copy(&out.frame->ch_layout, &enc->ch_layout);
  if (error >= 0) error = av_frame_get_buffer(out.frame.get(), 0);
  if (error < 0) return failure("allocating a sound frame", error);
  double seconds = shape.audioSeconds > 0.0
                       ? shape.audioSeconds
                       : double(shape.frames) * shape.fpsDen / shape.fpsNum;
  out.endPts = std::int64_t(std::llround(seconds * shape.sampleRate));
  out.shiftNegative = shape.container == "avi";
  out.finished = out.endPts <= 0;
  return {};
}

void fillPicture(const EncodedClip& shape, int frameIndex, SwsContext* scaler,
                 AVFrame* frame) {
  std::vector<std::uint8_t> rgb(std::size_t(shape.width) * shape.height * 3);
  for (int y = 0; y < shape.height; ++y) {
    for (int x = 0; x < shape.width; ++x) {
      std::uint32_t c = 0;
      if (shape.pixels) {
        c = shape.pixels(frameIndex, x, y);
      } else {
        switch (shape.pattern) {
          case ClipPattern::FrameNumber:
            c = testPatternPixel(frameIndex, x, y, shape.width, shape.height);
            break;
          case ClipPattern::MovingBars:
            c = demoPatternPixel(frameIndex, x, y, shape.width, shape.height);
            break;
          case ClipPattern::MovingTexture:
            c = texturePatternPixel(frameIndex, x, y);
            break;
          case ClipPattern::RichMotion:
            c = richMotionPixel(frameIndex, x, y, shape.width, shape.height);
            break;
        }
      }
      std::uint8_t* p = rgb.data() + (std::size_t(y) * shape.width + x) * 3;
      p[0] = std::uint8_t(c >> 16);
      p[1] = std::uint8_t(c >> 8);
      p[2] = std::uint8_t(c);
    }
  }
  const std::uint8_t* source[1] = {rgb.data()};
  int sourceStride[1] = {shape.width * 3};
  sws_scale(scaler, source, sourceStride, 0, shape.height, frame->data, frame->linesize);
}

void fillSound(const EncodedClip& shape, std::int64_t firstSample, AVFrame* frame) {
  auto format = AVSampleFormat(frame->format);
  bool planar = av_sample_fmt_is_planar(format);
  int channels = frame->ch_layout.nb_channels;
  for (int i = 0; i < frame->nb_samples; ++i) {
    double t = double(firstSample + i) / shape.sampleRate;
    double v = shape.toneAmplitude * std::sin(2.0 * std::numbers::pi * shape.toneHz * t);
    for (int c = 0; c < channels; ++c) {
      int plane = planar ? c : 0;
      int slot = planar ? i : i * channels + c;
      switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_FLT:
          reinterpret_cast<float*>(frame->data[plane])[slot] = float(v);
          break;
        case AV_SAMPLE_FMT_S32:
          reinterpret_cast<std::int32_t*>(frame->data[plane])[slot] =
              std::int32_t(std::lround(v * 2147483647.0));
          break;
        default:
          reinterpret_cast<std::int16_t*>(frame->data[plane])[slot] =
              std::int16_t(std::lround(v * 32767.0));
          break;
      }
    }
  }
}

}  // namespace

bool clipEncoderAvailable(ClipVideo video) {
  return video == ClipVideo::None || findEncoder(video) != nullptr;
}

bool clipEncoderAvailable(ClipAudio audio) {
  return audio == ClipAudio::None || findEncoder(audio) != nullptr;
}

std::string writeEncodedClip(const std::string& path, const EncodedClip& shape) {
  av_log_set_level(AV_LOG_QUIET);  // failures come back as text
  AVFormatContext* raw = nullptr;
  int error = avformat_alloc_output_context2(&raw, nullptr, shape.container.c_str(),
                                             path.c_str());
  if (error < 0 || !raw) return failure("choosing the container", error);
  OutputPtr output(raw);
  OutputStream video;
  OutputStream audio;
  OutputStream secondAudio;
  EncodedClip secondShape = shape;
  secondShape.toneHz = shape.secondToneHz;
  if (shape.video != ClipVideo::None) {
    if (std::string why = openVideo(output.get(), shape, video); !why.empty()) return why;
  }
  if (shape.audio != ClipAudio::None) {
    if (std::string why = openAudio(output.get(), shape, audio); !why.empty()) return why;
    if (shape.secondToneHz > 0.0) {
      if (std::string why = openAudio(output.get(), secondShape, secondAudio); !why.empty())
        return why;
      audio.stream->disposition = shape.secondIsDefault ? 0 : AV_DISPOSITION_DEFAULT;
      secondAudio.stream->disposition = shape.secondIsDefault ? AV_DISPOSITION_DEFAULT : 0;
    }
  }
  error = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (error < 0) return failure("opening the file", error);
  AVDictionary* options = nullptr;
  if (shape.fastStart) av_dict_set(&options, "movflags", "+faststart", 0);
  // Matroska writes each stream's default flag as its disposition says.
  if (shape.secondToneHz > 0.0) av_dict_set(&options, "default_mode", "passthrough", 0);
  error = avformat_write_header(output.get(), &options);
  av_dict_free(&options);
  if (error < 0) return failure("writing the header", error);

  ScalerPtr scaler;
  if (video.encoder) {
    scaler.reset(sws_getContext(shape.width, shape.height, AV_PIX_FMT_RGB24, shape.width,
                                shape.height, video.encoder->pix_fmt, SWS_BICUBIC,
                                nullptr, nullptr, nullptr));
    if (!scaler) return "no picture converter";
  }
  // Writes whichever stream is behind, so the container interleaves them.
  OutputStream* const streams[] = {&video, &audio, &secondAudio};
  while (!video.finished || !audio.finished || !secondAudio.finished) {
    OutputStream* behind = nullptr;
    for (OutputStream* candidate : streams) {
      if (!candidate->finished &&
          (behind == nullptr ||
           av_compare_ts(candidate->nextPts, candidate->encoder->time_base, behind->nextPts,
                         behind->encoder->time_base) < 0)) {
        behind = candidate;
      }
    }
    OutputStream& out = *behind;
    const bool pickVideo = behind == &video;
    if (av_frame_make_writable(out.frame.get()) < 0) return "frame not writable";
    if (pickVideo) {
      fillPicture(shape, int(out.nextPts), scaler.get(), out.frame.get());
      out.frame->pts = out.nextPts++;
    } else {
      fillSound(behind == &audio ? shape : secondShape, out.nextPts, out.frame.get());
      out.frame->pts = out.nextPts;
      out.nextPts += out.frame->nb_samples;
    }
    if (std::string why = encodeAndWrite(output.get(), out, out.frame.get());
        !why.empty())
      return why;
    if (out.nextPts >= out.endPts) {
      out.finished = true;
      if (std::string why = encodeAndWrite(output.get(), out, nullptr); !why.empty())
        return why;
    }
  }
  error = av_write_trailer(output.get());
  if (error < 0) return failure("writing the trailer", error);
  return {};
}

}  // namespace vantrel::test
