#include "MediaProbe.h"

#include <filesystem>

#include "FfmpegEncoding.h"
#include "FfmpegLog.h"

namespace vantrel::inspect {

std::optional<MediaFacts> probeMedia(const std::string& path) {
  takeFfmpegLog();
  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0)
    return std::nullopt;
  InputPtr input(opened);
  if (avformat_find_stream_info(input.get(), nullptr) < 0) return std::nullopt;
  MediaFacts facts;
  const int video =
      av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const int audio =
      av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (video >= 0) {
    const AVCodecParameters& parameters = *input->streams[video]->codecpar;
    facts.videoCodec = avcodec_get_name(parameters.codec_id);
    facts.width = parameters.width;
    facts.height = parameters.height;
  }
  if (audio >= 0) {
    const AVCodecParameters& parameters = *input->streams[audio]->codecpar;
    facts.audioCodec = avcodec_get_name(parameters.codec_id);
    facts.sampleRate = parameters.sample_rate;
  }
  // Counting the packets works for every container, also those (Matroska)
  // that keep no frame count.
  AvPacketPtr packet(av_packet_alloc());
  if (!packet) return std::nullopt;
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == video) ++facts.videoFrames;
    av_packet_unref(packet.get());
  }
  if (input->duration != AV_NOPTS_VALUE)
    facts.seconds = double(input->duration) / AV_TIME_BASE;
  std::error_code error;
  facts.bytes = std::filesystem::file_size(path, error);
  return facts;
}

}  // namespace vantrel::inspect
