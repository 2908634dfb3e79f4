#include "platform/FfmpegHandles.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/MediaLimits.h"

namespace vantrel::ffmpeg {

namespace {

// The demuxers that read RIFF files: AVI and WAV.
bool isRiffContainer(const AVInputFormat* format) {
  return format &&
         (std::strcmp(format->name, "avi") == 0 || std::strcmp(format->name, "wav") == 0);
}

// Cover art: a picture an audio file carries as a one-picture "video" stream.
bool isAttachedPicture(const AVStream* stream) {
  return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

// The streams of the type that can be chosen, in stored order. Cover art
// counts as video only when the file has no other picture stream.
std::vector<AVStream*> streamsOf(const AVFormatContext* input, AVMediaType type) {
  std::vector<AVStream*> streams;
  std::vector<AVStream*> attached;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    AVStream* stream = input->streams[i];
    if (stream->codecpar->codec_type != type) continue;
    (type == AVMEDIA_TYPE_VIDEO && isAttachedPicture(stream) ? attached : streams)
        .push_back(stream);
  }
  return streams.empty() ? attached : streams;
}

// Stream number (1 = the first of the type) or, for 0, the one marked default,
// else the first; null when there is none.
AVStream* chosenStream(const AVFormatContext* input, AVMediaType type, int number) {
  const std::vector<AVStream*> streams = streamsOf(input, type);
  if (number > 0) {
    return std::size_t(number) <= streams.size() ? streams[std::size_t(number) - 1] : nullptr;
  }
  for (AVStream* stream : streams) {
    if (stream->disposition & AV_DISPOSITION_DEFAULT) return stream;
  }
  return streams.empty() ? nullptr : streams.front();
}

// The unit of the container's own times (microseconds); FFmpeg's macro for it
// is a C compound literal.
constexpr AVRational kContainerTimeBase{1, AV_TIME_BASE};

// errno values arrive as small negative numbers; FFmpeg's own errors are
// large negative tags.
constexpr int kLargestErrno = 4095;

}  // namespace

MediaStatus statusFromError(int error, MediaStatus otherwise, int* systemError) {
  if (error >= 0) return MediaStatus::Ok;
  switch (error) {
    case AVERROR(ENOENT):
      return MediaStatus::FileMissing;
    case AVERROR(ENOMEM):
      return MediaStatus::OutOfMemory;
    case AVERROR(EIO):
      return MediaStatus::ReadFailed;
    case AVERROR_DECODER_NOT_FOUND:
      return MediaStatus::DecoderMissing;
    case AVERROR_STREAM_NOT_FOUND:
      return MediaStatus::NoStream;
    case AVERROR_EOF:
      return MediaStatus::PastEnd;
    default:
      break;
  }
  if (-error > 0 && -error <= kLargestErrno) {
    if (systemError) *systemError = -error;
    return MediaStatus::SystemError;
  }
  return otherwise;
}

MediaStatus openStream(const char* path, AVMediaType type, int number, Containers accepted,
                       bool withDecoder, OpenedStream& opened, int* systemError) {
  silenceLogging();
  opened = OpenedStream();
  AVFormatContext* raw = nullptr;
  int error = avformat_open_input(&raw, path, nullptr, nullptr);
  if (error < 0) return statusFromError(error, MediaStatus::UnknownFormat, systemError);
  InputPtr input(raw);
  if (accepted == Containers::RiffOnly && !isRiffContainer(input->iformat)) {
    return MediaStatus::UnknownFormat;
  }
  error = avformat_find_stream_info(input.get(), nullptr);
  if (error < 0) return statusFromError(error, MediaStatus::UnknownFormat, systemError);
  AVStream* stream = chosenStream(input.get(), type, number);
  if (!stream) return MediaStatus::NoStream;
  // Checked before a decoder exists: no picture memory has been taken yet.
  const AVCodecParameters* parameters = stream->codecpar;
  if (type == AVMEDIA_TYPE_VIDEO &&
      (parameters->width > kMaxPictureSide || parameters->height > kMaxPictureSide ||
       std::int64_t(parameters->width) * parameters->height > kMaxPicturePixels)) {
    return MediaStatus::PictureTooLarge;
  }
  // A rate no recording uses is a damaged header; resampling from it would
  // take seconds and hundreds of megabytes for nothing.
  if (type == AVMEDIA_TYPE_AUDIO && parameters->sample_rate > kMaxSampleRate) {
    return MediaStatus::UnknownFormat;
  }
  // The demuxer skips the other streams' data entirely.
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    if (input->streams[i] != stream) input->streams[i]->discard = AVDISCARD_ALL;
  }
  if (withDecoder) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return MediaStatus::DecoderMissing;
    CodecPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder) return MediaStatus::OutOfMemory;
    error = avcodec_parameters_to_context(decoder.get(), stream->codecpar);
    if (error < 0)
      return statusFromError(error, MediaStatus::DecoderMissing, systemError);
    decoder->pkt_timebase = stream->time_base;
    // A picture larger than its header claimed fails to decode instead of
    // taking memory without bound.
    if (type == AVMEDIA_TYPE_VIDEO) decoder->max_pixels = kMaxPicturePixels;
    decoder->thread_count = 0;  // as many threads as the machine suggests
    // AVI stores no presentation times: a picture's time is the stored frame
    // whose packet made the decoder give it out. Frame threads would delay that
    // by their own count, so AVI pictures are decoded with slice threads only.
    if (std::strcmp(input->iformat->name, "avi") == 0) decoder->thread_type = FF_THREAD_SLICE;
    error = avcodec_open2(decoder.get(), codec, nullptr);
    if (error < 0)
      return statusFromError(error, MediaStatus::DecoderMissing, systemError);
    opened.decoder = std::move(decoder);
  }
  opened.input = std::move(input);
  opened.stream = stream;
  return MediaStatus::Ok;
}

int countStreams(const char* path, AVMediaType type) {
  silenceLogging();
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path, nullptr, nullptr) < 0) return -1;
  const InputPtr input(raw);
  if (avformat_find_stream_info(input.get(), nullptr) < 0) return -1;
  return int(streamsOf(input.get(), type).size());
}

std::int64_t movieOrigin(const AVFormatContext* input, const AVStream* stream) {
  if (input->start_time != AV_NOPTS_VALUE) {
    return av_rescale_q(input->start_time, kContainerTimeBase, stream->time_base);
  }
  if (stream->start_time != AV_NOPTS_VALUE) return stream->start_time;
  return 0;
}

std::int64_t streamEnd(const AVFormatContext* input, const AVStream* stream) {
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    const std::int64_t start =
        stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    return start + stream->duration;
  }
  if (input->duration != AV_NOPTS_VALUE && input->duration > 0) {
    return movieOrigin(input, stream) +
           av_rescale_q(input->duration, kContainerTimeBase, stream->time_base);
  }
  return AV_NOPTS_VALUE;
}

SideData streamSideData(const AVStream* stream, AVPacketSideDataType type) {
  // Since libavformat 60.15 (FFmpeg 6.1) the demuxers keep a stream's side data
  // in its codec parameters; the stream's own copy is deprecated there.
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
  const AVPacketSideData* side = av_packet_side_data_get(
      stream->codecpar->coded_side_data, stream->codecpar->nb_coded_side_data, type);
  if (side == nullptr) return {};
  return {side->data, side->size};
#else
  std::size_t size = 0;
  const std::uint8_t* data = av_stream_get_side_data(stream, type, &size);
  return {data, data != nullptr ? size : 0};
#endif
}

void silenceLogging() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

}  // namespace vantrel::ffmpeg
