#pragma once

// Writes small compressed clips with libavformat/libavcodec: MJPEG, MPEG-4,
// H.264 or PNG pictures (the test, demo or texture pattern of TestClips.h) and
// PCM, AAC or MP3 sound (a sine tone), in any container libavformat can write
// (AVI, MP4, MOV, Matroska; "image2pipe" with one PNG picture makes a PNG
// still). Used by the tests and by the demo clip program.

#include <cstdint>
#include <functional>
#include <string>

namespace vantrel::test {

enum class ClipVideo { None, Mjpeg, Mpeg4, H264, Png };
enum class ClipAudio { None, Pcm16, Aac, Mp3 };
enum class ClipPattern { FrameNumber, MovingBars, MovingTexture, RichMotion };

struct EncodedClip {
  std::string container = "avi";  // libavformat muxer: avi, mp4, mov, matroska
  ClipVideo video = ClipVideo::Mjpeg;
  ClipPattern pattern = ClipPattern::FrameNumber;
  // When set, the pictures come from it instead of the pattern: the colour
  // 0x00RRGGBB of frame frameIndex at (x, y), y counted from the top row.
  std::function<std::uint32_t(int frameIndex, int x, int y)> pixels;
  int width = 128;
  int height = 96;
  int frames = 24;
  int fpsNum = 24;  // frames per second = fpsNum / fpsDen
  int fpsDen = 1;
  int keyFrameInterval = 12;
  int bFrames = 0;  // MPEG-4 only: B-frames between reference frames (stored out of order)
  // H.264 only: x264's constant rate factor; higher spends fewer bits, which
  // also makes the clip cheaper to decode.
  int h264Crf = 16;
  // H.264 only: x264's "fastdecode" tuning (no CABAC, no deblocking filter),
  // which phones and cameras use for cheap playback.
  bool h264FastDecode = false;
  // How players are told to show the pictures: turned clockwise by this many
  // degrees (0, 90, 180, 270; stored as a display matrix, MP4 and MOV only),
  // then mirrored left to right when mirrored.
  int rotation = 0;
  bool mirrored = false;
  int sampleAspectNum = 0;  // sample aspect ratio num:den; 0 stores none
  int sampleAspectDen = 1;
  // False writes packets without a duration, as pictures from a filter graph
  // that carry none are written: the container then knows no length for the last one.
  bool packetDurations = true;
  // MP4 and MOV: the index (moov) before the pictures, as files meant for
  // playing while they download are written.
  bool fastStart = false;
  ClipAudio audio = ClipAudio::None;
  int sampleRate = 44100;
  int channels = 2;
  double audioSeconds = 0.0;  // sound length; 0 = as long as the pictures
  double toneHz = 1000.0;
  double toneAmplitude = 0.5;  // of full scale, the same in every channel
  // A second audio stream of the same kind with a tone of this frequency
  // (0: none). The stream marked default is the second when secondIsDefault,
  // else the first.
  double secondToneHz = 0.0;
  bool secondIsDefault = false;
};

// True when this FFmpeg build has an encoder for the choice.
bool clipEncoderAvailable(ClipVideo video);
bool clipEncoderAvailable(ClipAudio audio);

// Writes the clip to path. Returns an empty string on success, otherwise what
// failed (the file may then be incomplete).
std::string writeEncodedClip(const std::string& path, const EncodedClip& shape);

}  // namespace vantrel::test
