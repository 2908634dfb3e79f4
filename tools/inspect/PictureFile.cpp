#include "PictureFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <utility>

#include "FfmpegEncoding.h"
#include "FfmpegLog.h"
#include "platform/FileReplacement.h"

namespace vantrel::inspect {

namespace {

constexpr int kGutter = 4;
constexpr std::uint32_t kGutterColour = 0x404040;
// A codec context for the PNG encoder or decoder; null when FFmpeg has none.
CodecPtr openPngCodec(bool encoder, int width, int height) {
  const AVCodec* codec =
      encoder ? avcodec_find_encoder(AV_CODEC_ID_PNG) : avcodec_find_decoder(AV_CODEC_ID_PNG);
  if (codec == nullptr) return nullptr;
  CodecPtr context(avcodec_alloc_context3(codec));
  if (!context) return nullptr;
  if (encoder) {
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_RGB24;
    context->time_base = AVRational{1, 25};
  }
  context->thread_count = 1;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return context;
}

bool endsWith(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

}  // namespace

std::vector<std::uint8_t> encodePng(const RgbPicture& picture) {
  if (picture.width <= 0 || picture.height <= 0) return {};
  takeFfmpegLog();  // failures come back as an empty result
  CodecPtr encoder = openPngCodec(true, picture.width, picture.height);
  AvFramePtr frame(av_frame_alloc());
  AvPacketPtr packet(av_packet_alloc());
  if (!encoder || !frame || !packet) return {};
  frame->format = AV_PIX_FMT_RGB24;
  frame->width = picture.width;
  frame->height = picture.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return {};
  const std::size_t rowBytes = std::size_t(picture.width) * 3;
  for (int y = 0; y < picture.height; ++y) {
    std::memcpy(frame->data[0] + std::size_t(y) * frame->linesize[0],
                picture.rgb.data() + y * rowBytes, rowBytes);
  }
  if (avcodec_send_frame(encoder.get(), frame.get()) < 0 ||
      avcodec_receive_packet(encoder.get(), packet.get()) < 0) {
    return {};
  }
  return std::vector<std::uint8_t>(packet->data, packet->data + packet->size);
}

bool decodePng(const std::vector<std::uint8_t>& bytes, RgbPicture& picture) {
  takeFfmpegLog();
  CodecPtr decoder = openPngCodec(false, 0, 0);
  AvFramePtr frame(av_frame_alloc());
  AvPacketPtr packet(av_packet_alloc());
  if (!decoder || !frame || !packet || bytes.empty()) return false;
  if (av_new_packet(packet.get(), int(bytes.size())) < 0) return false;
  std::memcpy(packet->data, bytes.data(), bytes.size());
  if (avcodec_send_packet(decoder.get(), packet.get()) < 0 ||
      avcodec_receive_frame(decoder.get(), frame.get()) < 0 ||
      frame->format != AV_PIX_FMT_RGB24) {
    return false;
  }
  picture.width = frame->width;
  picture.height = frame->height;
  const std::size_t rowBytes = std::size_t(picture.width) * 3;
  picture.rgb.resize(rowBytes * picture.height);
  for (int y = 0; y < picture.height; ++y) {
    std::memcpy(picture.rgb.data() + y * rowBytes,
                frame->data[0] + std::size_t(y) * frame->linesize[0], rowBytes);
  }
  return true;
}

std::vector<std::uint8_t> encodePpm(const RgbPicture& picture) {
  const std::string header =
      "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
  std::vector<std::uint8_t> out(header.begin(), header.end());
  out.insert(out.end(), picture.rgb.begin(), picture.rgb.end());
  return out;
}

bool writePicture(const std::string& path, const RgbPicture& picture) {
  const std::vector<std::uint8_t> bytes =
      endsWith(path, ".png") ? encodePng(picture) : encodePpm(picture);
  if (bytes.empty()) return false;  // nothing to write: no file is made
  return writeWholeFile(path, bytes.data(), bytes.size());
}

RgbPicture contactSheet(const std::vector<RgbPicture>& pictures, int columns) {
  RgbPicture sheet;
  if (pictures.empty() || columns < 1) return sheet;
  int cellWidth = 0;
  int cellHeight = 0;
  for (const RgbPicture& p : pictures) {
    cellWidth = std::max(cellWidth, p.width);
    cellHeight = std::max(cellHeight, p.height);
  }
  const int count = static_cast<int>(pictures.size());
  const int across = std::min(columns, count);
  const int down = (count + columns - 1) / columns;
  sheet.width = kGutter + across * (cellWidth + kGutter);
  sheet.height = kGutter + down * (cellHeight + kGutter);
  sheet.rgb.assign(std::size_t(sheet.width) * sheet.height * 3, 0);
  for (int y = 0; y < sheet.height; ++y) {
    for (int x = 0; x < sheet.width; ++x) sheet.setPixel(x, y, kGutterColour);
  }
  for (int i = 0; i < count; ++i) {
    const RgbPicture& p = pictures[std::size_t(i)];
    const int left = kGutter + (i % columns) * (cellWidth + kGutter);
    const int top = kGutter + (i / columns) * (cellHeight + kGutter);
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) sheet.setPixel(left + x, top + y, p.pixel(x, y));
    }
  }
  return sheet;
}

RgbPicture enlarged(const RgbPicture& picture, int zoom) {
  if (zoom <= 1) return picture;
  RgbPicture large;
  large.width = picture.width * zoom;
  large.height = picture.height * zoom;
  large.rgb.resize(std::size_t(large.width) * large.height * 3);
  const std::size_t rowBytes = std::size_t(large.width) * 3;
  for (int y = 0; y < picture.height; ++y) {
    std::uint8_t* row = large.rgb.data() + std::size_t(y) * zoom * rowBytes;
    const std::uint8_t* from = picture.rgb.data() + std::size_t(y) * picture.width * 3;
    for (int x = 0; x < large.width; ++x) std::memcpy(row + x * 3, from + x / zoom * 3, 3);
    for (int copy = 1; copy < zoom; ++copy) std::memcpy(row + copy * rowBytes, row, rowBytes);
  }
  return large;
}

RgbPicture sideBySide(const RgbPicture& left, const RgbPicture& right) {
  RgbPicture both;
  both.width = left.width + right.width;
  both.height = std::max(left.height, right.height);
  both.rgb.assign(std::size_t(both.width) * both.height * 3, 0);
  for (const auto& [picture, offset] : {std::pair{&left, 0}, std::pair{&right, left.width}}) {
    for (int y = 0; y < picture->height; ++y) {
      std::memcpy(both.rgb.data() + (std::size_t(y) * both.width + offset) * 3,
                  picture->rgb.data() + std::size_t(y) * picture->width * 3,
                  std::size_t(picture->width) * 3);
    }
  }
  return both;
}

}  // namespace vantrel::inspect
