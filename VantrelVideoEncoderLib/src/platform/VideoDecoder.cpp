#include "platform/VideoDecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "platform/FfmpegHandles.h"
#include "platform/MediaLimits.h"
#include "platform/PictureConverter.h"
#include "platform/PictureOrientation.h"
#include "platform/StreamExtent.h"

namespace vantrel {

namespace {

// A request this far past the current picture may seek when the stream has no
// index to say where its key frames are.
constexpr int kUnindexedSeekSeconds = 10;
// With an index, a key frame between the current picture and the target makes
// a seek worthwhile once the target is at least this far ahead.
constexpr int kIndexedSeekSeconds = 1;
// How often a seek that landed after its target is retried further back.
constexpr int kSeekRetries = 3;

// The display width of a stored width under a sample aspect ratio, rounded to
// whole pixels; the stored width when the ratio is unknown or 1:1.
std::int64_t displayWidth(int storedWidth, AVRational sampleAspect) {
  if (sampleAspect.num <= 0 || sampleAspect.den <= 0 || sampleAspect.num == sampleAspect.den) {
    return storedWidth;
  }
  return std::max<std::int64_t>(
      1, av_rescale(storedWidth, sampleAspect.num, sampleAspect.den));
}

// The orientation the stream's display matrix asks for (a rotated phone clip),
// or the first picture's own when the stream has none.
PictureOrientation displayOrientation(const AVStream* stream, const AVFrame* picture) {
  const ffmpeg::SideData streamSide = ffmpeg::streamSideData(stream, AV_PKT_DATA_DISPLAYMATRIX);
  const std::uint8_t* matrix =
      streamSide.size >= 9 * sizeof(std::int32_t) ? streamSide.data : nullptr;
  if (matrix == nullptr) {
    const AVFrameSideData* side =
        av_frame_get_side_data(picture, AV_FRAME_DATA_DISPLAYMATRIX);
    if (side != nullptr && side->size >= 9 * sizeof(std::int32_t)) matrix = side->data;
  }
  return orientationFromDisplayMatrix(reinterpret_cast<const std::int32_t*>(matrix));
}

}  // namespace

struct VideoDecoder::State {
  ffmpeg::OpenedStream opened;
  VideoStreamFacts facts;
  ffmpeg::PacketPtr packet{av_packet_alloc()};
  // current: the picture last answered; lookahead: the next one decoded.
  ffmpeg::FramePtr current{av_frame_alloc()};
  ffmpeg::FramePtr lookahead{av_frame_alloc()};
  bool haveCurrent = false;
  bool haveLookahead = false;
  std::int64_t currentTime = 0;
  std::int64_t currentDuration = 0;
  std::int64_t lookaheadTime = 0;
  std::int64_t lookaheadDuration = 0;
  bool inputEnded = false;  // end of input sent to the decoder
  bool drained = false;     // the decoder has given its last picture
  bool packetHeld = false;  // a packet waits until the decoder takes it
  std::int64_t lastTime = AV_NOPTS_VALUE;
  std::int64_t lastPacketTime = AV_NOPTS_VALUE;  // of the last packet fed to the decoder
  bool timesFromPackets = false;  // AVI: a picture's time is its packet's stored position
  // AVI with a codec whose every picture stands alone (MJPEG, DV, ...): a
  // packet whose picture a later one replaces before skipTarget is not decoded.
  bool skipSuperseded = false;
  std::int64_t skipTarget = AV_NOPTS_VALUE;  // the request being answered
  std::int64_t frameUnits = 1;    // one frame's length in stream units (a guess)
  std::int64_t secondUnits = 1;   // one second in stream units
  ffmpeg::PictureConverter converter;
  double statedPeak = 0.0;  // cd/m^2 from the stream's HDR metadata, 0 when none
  // The converted picture's size (display shape, not yet turned), how it is
  // turned for display, and the bitmap it is converted into first when it is.
  int pictureWidth = 0;
  int pictureHeight = 0;
  PictureOrientation orientation;
  std::vector<std::uint8_t> unoriented;
  std::uint64_t serial = 0;  // of the current picture
  int seeks = 0;
  int decoded = 0;
  int skipped = 0;
  int systemError = 0;

  MediaStatus receive(AVFrame* into, std::int64_t& time, std::int64_t& duration);
  MediaStatus seek(std::int64_t time);
  bool worthSeeking(std::int64_t target) const;
  bool superseded(const AVPacket& read) const;
  void promoteLookahead();
};

// Decodes the next picture in presentation order, feeding packets as needed.
MediaStatus VideoDecoder::State::receive(AVFrame* into, std::int64_t& time,
                                         std::int64_t& duration) {
  AVCodecContext* decoder = opened.decoder.get();
  while (true) {
    int error = avcodec_receive_frame(decoder, into);
    if (error == 0) break;
    if (error == AVERROR_EOF) {
      drained = true;
      return MediaStatus::PastEnd;
    }
    if (error != AVERROR(EAGAIN)) {
      return ffmpeg::statusFromError(error, MediaStatus::ReadFailed, &systemError);
    }
    if (inputEnded) {
      drained = true;
      return MediaStatus::PastEnd;
    }
    if (!packetHeld) {
      error = av_read_frame(opened.input.get(), packet.get());
      if (error == AVERROR_EOF) {
        avcodec_send_packet(decoder, nullptr);  // drain the pictures still held
        inputEnded = true;
        continue;
      }
      if (error == AVERROR(EAGAIN)) continue;
      if (error < 0) {
        return ffmpeg::statusFromError(error, MediaStatus::ReadFailed, &systemError);
      }
      if (superseded(*packet)) {
        ++skipped;
        av_packet_unref(packet.get());
        continue;
      }
    }
    packetHeld = false;
    // An empty packet (a dropped frame in AVI) would tell the decoder to drain.
    if (packet->stream_index == opened.stream->index && packet->size > 0) {
      error = avcodec_send_packet(decoder, packet.get());
      if (error == AVERROR(EAGAIN)) {
        packetHeld = true;  // sent again once the decoder has given out a picture
        continue;
      }
      if (packet->dts != AV_NOPTS_VALUE) lastPacketTime = packet->dts;
      // A damaged packet costs its own picture only.
      if (error < 0 && error != AVERROR_INVALIDDATA) {
        av_packet_unref(packet.get());
        return ffmpeg::statusFromError(error, MediaStatus::ReadFailed, &systemError);
      }
    }
    av_packet_unref(packet.get());
  }
  ++decoded;
  time = timesFromPackets ? into->pkt_dts : into->best_effort_timestamp;
  // Pictures without a time, or with one that runs backwards, follow the last
  // picture; the first ones after a seek (those a drain gives out at the end of
  // the file) follow the last packet fed.
  if (time == AV_NOPTS_VALUE || (lastTime != AV_NOPTS_VALUE && time < lastTime)) {
    if (lastTime != AV_NOPTS_VALUE) {
      time = lastTime + frameUnits;
    } else if (lastPacketTime != AV_NOPTS_VALUE) {
      time = lastPacketTime + frameUnits;
    } else {
      time = facts.origin;
    }
  }
  lastTime = time;
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
  duration = into->duration > 0 ? into->duration : 0;
#else
  duration = into->pkt_duration > 0 ? into->pkt_duration : 0;  // FFmpeg 5.1's name
#endif
  return MediaStatus::Ok;
}

MediaStatus VideoDecoder::State::seek(std::int64_t time) {
  ++seeks;
  AVFormatContext* input = opened.input.get();
  int error = av_seek_frame(input, opened.stream->index, time, AVSEEK_FLAG_BACKWARD);
  if (error < 0) {
    // No usable index: start again from the first byte and decode forward.
    error = av_seek_frame(input, opened.stream->index, 0,
                          AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD);
  }
  avcodec_flush_buffers(opened.decoder.get());
  haveCurrent = haveLookahead = false;
  inputEnded = drained = packetHeld = false;
  av_packet_unref(packet.get());
  lastTime = AV_NOPTS_VALUE;
  lastPacketTime = AV_NOPTS_VALUE;
  return error < 0 ? ffmpeg::statusFromError(error, MediaStatus::ReadFailed, &systemError)
                   : MediaStatus::Ok;
}

bool VideoDecoder::State::worthSeeking(std::int64_t target) const {
  if (!haveCurrent && !haveLookahead) return false;
  const std::int64_t position = haveLookahead ? lookaheadTime : currentTime;
  if (target <= position) return false;
  AVStream* stream = opened.stream;
  if (avformat_index_get_entries_count(stream) > 1) {
    if (target - position < kIndexedSeekSeconds * secondUnits) return false;
    const AVIndexEntry* key =
        avformat_index_get_entry_from_timestamp(stream, target, AVSEEK_FLAG_BACKWARD);
    return key && key->timestamp > position;
  }
  return target - position > kUnindexedSeekSeconds * secondUnits;
}

// True when the picture of a packet just read would only be replaced by a later
// one before the request is answered: the index knows a non-empty packet of the
// stream after it and not after the target. Only pictures that decode on their
// own may be left out, and only where a picture's time is its packet's.
bool VideoDecoder::State::superseded(const AVPacket& read) const {
  if (!skipSuperseded || skipTarget == AV_NOPTS_VALUE) return false;
  if (read.stream_index != opened.stream->index || read.size <= 0) return false;
  if (read.dts == AV_NOPTS_VALUE || read.dts >= skipTarget) return false;
  const AVIndexEntry* last = avformat_index_get_entry_from_timestamp(
      opened.stream, skipTarget, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
  return last && last->size > 0 && last->timestamp > read.dts &&
         last->timestamp <= skipTarget;
}

void VideoDecoder::State::promoteLookahead() {
  ++serial;
  std::swap(current, lookahead);
  currentTime = lookaheadTime;
  currentDuration = lookaheadDuration;
  haveCurrent = true;
  haveLookahead = false;
}

VideoDecoder::VideoDecoder() = default;
VideoDecoder::~VideoDecoder() = default;

MediaStatus VideoDecoder::open(const char* path, bool riffOnly) {
  close();
  auto fresh = std::make_unique<State>();
  if (!fresh->packet || !fresh->current || !fresh->lookahead)
    return MediaStatus::OutOfMemory;
  MediaStatus status = ffmpeg::openStream(
      path, AVMEDIA_TYPE_VIDEO, 0,
      riffOnly ? ffmpeg::Containers::RiffOnly : ffmpeg::Containers::Any, true,
      fresh->opened, &fresh->systemError);
  if (status != MediaStatus::Ok) {
    lastSystemError = fresh->systemError;
    return status;
  }
  AVStream* stream = fresh->opened.stream;
  const AVCodecParameters* parameters = stream->codecpar;
  VideoStreamFacts& facts = fresh->facts;
  facts.width = parameters->width;  // the delivered size follows the first picture
  facts.height = parameters->height;
  facts.timeBaseNum = stream->time_base.num;
  facts.timeBaseDen = stream->time_base.den;
  facts.origin = ffmpeg::movieOrigin(fresh->opened.input.get(), stream);
  const std::int64_t end = ffmpeg::streamEnd(fresh->opened.input.get(), stream);
  facts.end = end == AV_NOPTS_VALUE ? -1 : end;
  facts.storedFrames = stream->nb_frames > 0 ? stream->nb_frames : -1;
  facts.container = fresh->opened.input->iformat->name;
  facts.codec = fresh->opened.decoder->codec->name;
  fresh->timesFromPackets = facts.container == "avi";
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(parameters->codec_id);
  fresh->skipSuperseded = fresh->timesFromPackets && descriptor &&
                          (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) != 0;
  AVRational rate =
      stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) {
    facts.pictureRateNum = rate.num;
    facts.pictureRateDen = rate.den;
    fresh->frameUnits =
        std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(rate), stream->time_base));
  }
  fresh->secondUnits =
      std::max<std::int64_t>(1, av_rescale_q(1, AVRational{1, 1}, stream->time_base));
  if (facts.width <= 0 || facts.height <= 0) return MediaStatus::UnknownFormat;

  // The first picture proves that the stream decodes and fixes where it starts.
  status = fresh->receive(fresh->lookahead.get(), fresh->lookaheadTime,
                          fresh->lookaheadDuration);
  if (status != MediaStatus::Ok) {
    lastSystemError = fresh->systemError;
    return status == MediaStatus::PastEnd ? MediaStatus::ReadFailed : status;
  }
  fresh->promoteLookahead();
  facts.firstPicture = fresh->currentTime;

  // Pictures are delivered as players show them: at the display width the
  // sample aspect ratio gives, then turned as the display matrix says.
  const std::int64_t shownWidth = displayWidth(
      parameters->width,
      av_guess_sample_aspect_ratio(fresh->opened.input.get(), stream, fresh->current.get()));
  if (shownWidth > kMaxPictureSide ||
      shownWidth * parameters->height > kMaxPicturePixels) {
    return MediaStatus::PictureTooLarge;
  }
  fresh->pictureWidth = int(shownWidth);
  fresh->pictureHeight = parameters->height;
  fresh->orientation = displayOrientation(stream, fresh->current.get());
  fresh->statedPeak = ffmpeg::statedPeak(stream);
  const bool turned = fresh->orientation.swapsSides();
  facts.width = turned ? fresh->pictureHeight : fresh->pictureWidth;
  facts.height = turned ? fresh->pictureWidth : fresh->pictureHeight;

  const ffmpeg::IndexedPackets indexed =
      ffmpeg::indexedPackets(fresh->opened.input.get(), stream);
  if (fresh->timesFromPackets) {
    // A damaged AVI header may claim any length; the index holds what is there.
    if (indexed.heldEntries > 0) {
      facts.storedFrames =
          std::max<std::int64_t>(0, indexed.lastHeldTime - indexed.firstTime + 1);
      if (indexed.cut) facts.statedFrames = indexed.lastTime - indexed.firstTime + 1;
    }
    // Without a usable index (lost with the end of a file cut short, or never
    // written) the pictures are counted.
    if (indexed.entries < 2 && stream->nb_frames > 1) {
      const std::int64_t counted = ffmpeg::countStoredFrames(path, stream->index);
      if (counted > 0) facts.storedFrames = counted;
      if (counted > 0 && counted < stream->nb_frames) {
        facts.statedFrames = stream->nb_frames;
      }
    }
  } else if (indexed.cut) {
    // A file cut short: its pictures end with the last one whose data it holds.
    facts.statedFrames = facts.storedFrames;
    facts.storedFrames = std::max(indexed.heldEntries, 1);
    facts.statedEnd = facts.end;
    const std::int64_t heldEnd =
        indexed.heldEntries > 0 ? indexed.lastHeldTime + fresh->frameUnits : facts.end;
    if (facts.end < 0 || heldEnd < facts.end) {
      facts.end = std::max(heldEnd, facts.firstPicture + fresh->frameUnits);
    }
  } else if (facts.container.starts_with("matroska") && ffmpeg::matroskaSegmentCut(path)) {
    // A Matroska file cut short lost its index with its end: its pictures end
    // with the last whole one read.
    const std::int64_t heldEnd =
        ffmpeg::lastWholePacketEnd(path, stream->index, fresh->frameUnits);
    if (heldEnd != AV_NOPTS_VALUE && (facts.end < 0 || heldEnd < facts.end)) {
      facts.statedEnd = facts.end;
      facts.end = std::max(heldEnd, facts.firstPicture + fresh->frameUnits);
    }
  } else {
    // A last picture with a display time of its own (MP4, MOV, Matroska) may
    // end after the container's figure when the pictures carried no duration.
    const std::int64_t pictureEnd = ffmpeg::lastPictureEnd(
        path, stream->index, facts.end >= 0 ? facts.end : INT64_MAX, fresh->frameUnits);
    if (pictureEnd != AV_NOPTS_VALUE && pictureEnd > facts.end) facts.end = pictureEnd;
  }
  // A stream of one picture (a still image, a one-frame clip): one stored
  // frame, or an end within one picture's time of the first picture.
  facts.onePicture =
      facts.storedFrames >= 0
          ? facts.storedFrames == 1
          : facts.end >= 0 && facts.end - facts.firstPicture <= fresh->frameUnits;
  state = std::move(fresh);
  return MediaStatus::Ok;
}

void VideoDecoder::close() { state.reset(); }

bool VideoDecoder::isOpen() const { return state != nullptr; }

int VideoDecoder::systemError() const {
  return state ? state->systemError : lastSystemError;
}

const VideoStreamFacts& VideoDecoder::facts() const {
  static const VideoStreamFacts kClosed;
  return state ? state->facts : kClosed;
}

MediaStatus VideoDecoder::decodePictureAt(std::int64_t time) {
  if (!state) return MediaStatus::NotOpen;
  State& s = *state;
  const std::int64_t target = std::max(time, s.facts.firstPicture);
  s.skipTarget = target;
  bool mustSeek = (s.haveCurrent && target < s.currentTime) ||
                  (!s.haveCurrent && s.haveLookahead && target < s.lookaheadTime &&
                   s.lookaheadTime > s.facts.firstPicture) ||
                  s.worthSeeking(target);
  std::int64_t seekTime = target;
  for (int attempt = 0;; ++attempt) {
    if (mustSeek) {
      if (MediaStatus status = s.seek(seekTime); status != MediaStatus::Ok) return status;
      mustSeek = false;
    }
    while (true) {
      if (s.haveLookahead && s.lookaheadTime <= target) {
        s.promoteLookahead();
        continue;
      }
      if (s.haveCurrent) {
        // The current picture is the answer once the next one is known to come
        // later, or its own duration reaches past the target.
        if (s.haveLookahead || s.drained) return MediaStatus::Ok;
        if (s.currentDuration > 0 && s.currentTime + s.currentDuration > target) {
          return MediaStatus::Ok;
        }
      } else if (s.haveLookahead) {
        // The first picture after a seek lies beyond the target: the seek
        // landed too late. Retry further back; at the stream's first picture,
        // or when out of retries, that picture is the answer.
        if (s.lookaheadTime <= s.facts.firstPicture || attempt >= kSeekRetries) {
          s.promoteLookahead();
          return MediaStatus::Ok;
        }
        static constexpr int kBackSeconds[kSeekRetries] = {2, 10, 0};
        seekTime = kBackSeconds[attempt] > 0
                       ? target - kBackSeconds[attempt] * s.secondUnits
                       : s.facts.firstPicture;
        mustSeek = true;
        break;
      }
      MediaStatus status =
          s.receive(s.lookahead.get(), s.lookaheadTime, s.lookaheadDuration);
      if (status == MediaStatus::Ok) {
        s.haveLookahead = true;
      } else if (status == MediaStatus::PastEnd) {
        if (!s.haveCurrent) return MediaStatus::PastEnd;
      } else {
        return status;
      }
    }
  }
}

std::int64_t VideoDecoder::currentPictureTime() const {
  return state && state->haveCurrent ? state->currentTime : 0;
}

std::uint64_t VideoDecoder::currentPictureSerial() const {
  return state ? state->serial : 0;
}

MediaStatus VideoDecoder::copyPicture(int bitsPerPixel, std::vector<std::uint8_t>& bits) {
  if (!state) return MediaStatus::NotOpen;
  State& s = *state;
  if (!s.haveCurrent) return MediaStatus::PastEnd;
  if (s.orientation.isIdentity()) {
    return s.converter.convert(s.current.get(), s.pictureWidth, s.pictureHeight, bitsPerPixel,
                               s.statedPeak, bits);
  }
  if (MediaStatus status = s.converter.convert(s.current.get(), s.pictureWidth,
                                               s.pictureHeight, bitsPerPixel, s.statedPeak,
                                               s.unoriented);
      status != MediaStatus::Ok) {
    return status;
  }
  const int bytesPerPixel = bitsPerPixel / 8;
  const auto strideOf = [bitsPerPixel](int width) {
    return bitsPerPixel == 32 ? width * 4 : (width * 3 + 3) & ~3;
  };
  const int stride = strideOf(s.facts.width);
  bits.assign(std::size_t(stride) * s.facts.height, 0);
  orientBitmap(s.unoriented.data(), s.pictureWidth, s.pictureHeight, strideOf(s.pictureWidth),
               bytesPerPixel, s.orientation, bits.data(), stride);
  return MediaStatus::Ok;
}

int VideoDecoder::seekCount() const { return state ? state->seeks : 0; }

int VideoDecoder::decodedPictureCount() const { return state ? state->decoded : 0; }

int VideoDecoder::skippedPictureCount() const { return state ? state->skipped : 0; }

}  // namespace vantrel
