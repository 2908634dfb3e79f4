#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ToolOptions.h"
#include "PictureConversion.h"
#include "engine/MovieEncoder.h"
#include "image/FrameImage.h"
#include "image/Placement.h"
#include "sources/VideoStreamSourceAVI.h"
#include "sources/VideoStreamSourceQT.h"

namespace vantrel::inspect {

// Rebuilds, frame by frame, the handheld samples the converter made from a
// source video before compressing them, so that a movie's decoded frames can be
// compared with them. The source is opened through the converter's own source
// kinds (AVI kind first, movie kind second), so its pictures are read exactly
// as the converter reads them (HDR sources turned into SDR included), and an
// engine plans the movie and places the picture; each frame is then composed
// with the encode driver's own steps (image/PicturePlacement.h) and converted
// into the handheld layout.
class SourceComposer {
 public:
  SourceComposer();
  ~SourceComposer();
  SourceComposer(const SourceComposer&) = delete;
  SourceComposer& operator=(const SourceComposer&) = delete;

  // Opens the video of path and plans the movie with settings, from
  // settings.startSeconds on as the converter's -start takes it. Returns an
  // empty string, or the text of what went wrong (the source's own message, or
  // a start past the end of the source).
  std::string open(const std::string& path, const ShapingSettings& settings);

  // What the plan gives: output frames and frames per second at the settings.
  int plannedFrameCount() const { return frameCount; }
  double plannedFps() const { return fps; }
  // The source frame that movie frame movieFrame was made from.
  int sourceFrameFor(int movieFrame) const;

  // Composes movie frame movieFrame for a movie of layout and writes its
  // samples (frameWidth x storedHeight bytes, top row first) into samples; the
  // 8-bit layouts take their colours from palette (entries 1 to 254), as the
  // converter's colour lookup did. The first frame composed fixes the placement.
  // Returns an empty string, or the text of what went wrong.
  std::string composeFrame(int movieFrame, const SampleLayout& layout,
                           const std::array<std::uint32_t, 256>& palette,
                           std::vector<std::uint8_t>& samples);

  // The picture of the frame last composed as it stood before its colours were
  // reduced: the screen (frameWidth x screenHeight of layout), with the source
  // placed, cropped, rotated and flipped as the movie places it, in full colour,
  // or for a gray movie in the gray the converter makes of it (each pixel its
  // luma, (77 R + 150 G + 29 B + 128) >> 8).
  RgbPicture placedPicture(const SampleLayout& layout) const;

  // Whether the movie is gray: its frames are then composed as the converter
  // composes a grayscale movie of their layout (the gray ramp of the palette,
  // or gray pictures in the truecolor layouts). Starts as settings.grayscale.
  void setGray(bool on) { gray = on; }
  bool isGray() const { return gray; }

 private:
  void prepareColours(const SampleLayout& layout, const std::array<std::uint32_t, 256>& palette);

  // Declared before the engine, which closes its selection when destroyed.
  VideoStreamSourceAVI aviKind;
  VideoStreamSourceQT movieKind;
  VideoSourceList videoKinds;
  AudioSourceList audioKinds;
  std::unique_ptr<MovieEncoder> engine;
  std::string messages;  // message boxes of the source kinds

  ShapingSettings shaping;
  bool gray = false;
  double fps = 0.0;
  int frameCount = 0;
  double frameStep = 1.0;
  int firstFrame = 0;
  int sourceStart = 0;

  std::unique_ptr<FrameImage> sourceFrame;
  std::vector<std::uint32_t> sourcePixels;
  std::vector<std::uint32_t> workPixels;
  FrameImage sourceImage;
  FrameImage workImage;
  std::vector<std::uint32_t> grayPixels;  // the gray working image, when asked for
  FrameImage grayImage;
  int workWidth = 0;
  int workHeight = 0;
  bool placed = false;
  Placement placement;

  std::vector<std::uint8_t> colourMap;
  std::array<std::uint32_t, 256> mappedPalette{};
  bool mappedFineGrid = false;
};

}  // namespace vantrel::inspect
